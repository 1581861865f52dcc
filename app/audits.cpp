// The controller's audit operations, handed to the pane of each audit.
#include "app/qkappdelegate.h"

namespace zelvora {

void QKAppDelegate::auditRoms(QObject *)
{
    if (const std::optional<AuditInputs> inputs = snapshotInputs(); inputs && !m_roms.isAuditing())
        m_roms.start(*inputs);
}

void QKAppDelegate::auditRomsInBackground(const AuditInputs &inputs, std::shared_ptr<const std::atomic<bool>> cancel)
{
    m_roms.runInBackground(inputs, std::move(cancel));
}

void QKAppDelegate::didFinishAuditRoms(const std::shared_ptr<const RomAudit> &result, const ResultNotes &notes,
                                       const std::shared_ptr<const NearMisses> &nearMisses)
{
    m_roms.finish(PaneResult{KeptAudit{result, {}}, notes, nearMisses, nullptr});
}

void QKAppDelegate::auditVideos(QObject *)
{
    // The check box is read once, here: toggling it during the run changes nothing of this run.
    if (const std::optional<AuditInputs> inputs = snapshotInputs(); inputs && !m_videos.isAuditing())
        m_videos.start(*inputs);
}

void QKAppDelegate::auditVideosInBackground(const AuditInputs &inputs, std::shared_ptr<const std::atomic<bool>> cancel)
{
    m_videos.runInBackground(inputs, std::move(cancel));
}

void QKAppDelegate::didFinishAuditVideos(const std::shared_ptr<const VideoAudit> &result, const ResultNotes &notes,
                                         const std::shared_ptr<const NearMisses> &nearMisses)
{
    m_videos.finish(PaneResult{KeptAudit{{}, result}, notes, nearMisses, nullptr});
}

void QKAppDelegate::showInvalidRomsListAlert(const QString &listPath, RomsListFault fault)
{
    zelvora::showInvalidRomsListAlert(m_services.alert, listPath, fault);
}

void QKAppDelegate::showIncompleteWalkAlert(const WalkReport &walk)
{
    zelvora::showIncompleteWalkAlert(m_services.alert, walk);
}

void QKAppDelegate::cancelAudit(Audit audit)
{
    pane(audit).cancel();
}

void QKAppDelegate::cancelAudits()
{
    m_roms.cancel();
    m_videos.cancel();
}

} // namespace zelvora
