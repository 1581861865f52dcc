#include "app/phasereporter.h"
#include "app/qkappdelegate.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QLabel>
#include <utility>

namespace zelvora {

void QKAppDelegate::auditVideos(QObject *)
{
    if (m_auditingVideos)
        return;
    // The check box is read once, here: toggling it during the run changes nothing of this run.
    const AuditInputs inputs = snapshotInputs();

    m_auditingVideos = true;
    // Sent first: the window notes which of the audit's controls has the focus before they lose it.
    Q_EMIT videosAuditRunningChanged(true);
    videosResultControl()->setEnabled(false);

    showPhase(Audit::Videos, {});
    beginBusyLook(videosResultView());
    auto cancel = didStartAudit(Audit::Videos, inputs);
    startAudit(
        QStringLiteral("video audit"),
        [this, inputs, cancel = std::move(cancel)] { auditVideosInBackground(inputs, cancel); },
        [this] { didFinishAuditVideos({}); });
}

void QKAppDelegate::auditVideosInBackground(const AuditInputs &inputs, std::shared_ptr<const std::atomic<bool>> cancel)
{
    PhaseReporter progress(this, Audit::Videos, std::move(cancel));
    const std::optional<QString> dirWarning = zelvoraDirWarning(inputs.zelvoraDir);
    RomsListFault listFault{};
    // The window always shows the possible matches, so its walk gathers the other formats too.
    AuditInputs withOtherFormats = inputs;
    withOtherFormats.otherFormats = true;
    std::optional<VideoAudit> done = runVideoAudit(withOtherFormats, progress, &listFault);
    std::shared_ptr<const VideoAudit> audit;
    ResultNotes notes;
    std::shared_ptr<const NearMisses> nearMisses;
    // A cancelled audit is not shown, nor are its faults.
    if (progress.isCancelled())
        done.reset();
    else if (isShowable(done ? &done->walk : nullptr, inputs.romsListPath, listFault)) {
        notes = resultNotes(inputs.zelvoraDir, dirWarning, done->walk);
        audit = std::make_shared<const VideoAudit>(std::move(*done));
        nearMisses = std::make_shared<const NearMisses>(findVideoNearMisses(*audit));
        if (progress.isCancelled())
            audit.reset();
    }
    postToMainThread(this, [this, audit = std::move(audit), notes = std::move(notes),
                            nearMisses = std::move(nearMisses)] { didFinishAuditVideos(audit, notes, nearMisses); });
}

void QKAppDelegate::didFinishAuditVideos(const std::shared_ptr<const VideoAudit> &result, const ResultNotes &notes,
                                         const std::shared_ptr<const NearMisses> &nearMisses)
{
    // Cancelled, even if the worker finished first: the earlier results stay.
    const bool cancelled = wasCancelled(Audit::Videos);
    const std::shared_ptr<const VideoAudit> audit = cancelled ? nullptr : result;
    if (audit) {
        showNotes(videosNotesLabel(), notes);
        // The lists first; the problems and the changes follow, found from the audit kept alive here.
        startExtras(Audit::Videos, notes,
                    [inputs = pane(Audit::Videos).runningInputs, audit](const std::atomic<bool> &superseded) {
                        return videoExtras(inputs, *audit, superseded);
                    });
        m_validVideos = SharedNameList(audit, audit->lists.valid);
        m_missingVideos = SharedNameList(audit, audit->lists.missing);
        m_extraVideos = SharedNameList(audit, audit->lists.extra);
        m_unknownVideos = SharedNameList(audit, audit->lists.unknown);
        m_videosLines = {};
        m_videoAudit = audit;
        showNearMisses(Audit::Videos, audit, nearMisses);
        m_hasVideoResults = true;
    }

    if (cancelled)
        showCancelled(Audit::Videos);
    else
        showPhase(Audit::Videos, {});
    endBusyLook(videosResultView());
    videosResultControl()->setEnabled(true);
    didClickVideosResultControl(videosResultControl());
    if (audit)
        didShowResults(Audit::Videos);
    videosResultView()->setHidden(false);

    m_auditingVideos = false;
    Q_EMIT videosAuditRunningChanged(false);
}

} // namespace zelvora
