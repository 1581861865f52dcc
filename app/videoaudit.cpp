#include "app/phasereporter.h"
#include "app/qkappdelegate.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

namespace zelvora {

void QKAppDelegate::auditVideos(QObject *)
{
    if (m_auditingVideos)
        return;
    // The check box is read once, here: toggling it during the run changes nothing of this run.
    const AuditInputs inputs = snapshotInputs();

    m_auditingVideos = true;
    videosResultControl()->setEnabled(false);
    Q_EMIT videosAuditRunningChanged(true);

    beginBusyLook(videosResultView());
    startInBackground([this, inputs] { auditVideosInBackground(inputs); });
}

void QKAppDelegate::auditVideosInBackground(const AuditInputs &inputs)
{
    PhaseReporter progress(this);
    std::optional<VideoAudit> audit = runVideoAudit(inputs, progress);
    std::optional<VideoResults> results;
    if (audit)
        results = std::move(audit->lists);
    else
        postToMainThread(this, [this] { showInvalidRomsListAlert(); });
    postToMainThread(this,
                     [this, results = std::move(results)]() mutable { didFinishAuditVideos(std::move(results)); });
}

void QKAppDelegate::didFinishAuditVideos(std::optional<VideoResults> results)
{
    if (results) {
        m_validVideos = std::move(results->valid);
        m_unknownVideos = std::move(results->unknown);
        m_missingVideos = std::move(results->missing);
        m_extraVideos = std::move(results->extra);
    }

    endBusyLook(videosResultView());
    videosResultControl()->setEnabled(true);
    didClickVideosResultControl(videosResultControl());
    videosResultView()->setHidden(false);

    m_auditingVideos = false;
    Q_EMIT videosAuditRunningChanged(false);
}

} // namespace zelvora
