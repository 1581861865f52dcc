#include "app/phasereporter.h"
#include "app/qkappdelegate.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <utility>

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
    std::optional<VideoAudit> done = runVideoAudit(inputs, progress);
    std::shared_ptr<const VideoAudit> audit;
    if (isShowable(done ? &done->walk : nullptr))
        audit = std::make_shared<const VideoAudit>(std::move(*done));
    postToMainThread(this, [this, audit = std::move(audit)] { didFinishAuditVideos(audit); });
}

void QKAppDelegate::didFinishAuditVideos(const std::shared_ptr<const VideoAudit> &audit)
{
    if (audit) {
        m_validVideos = SharedNameList(audit, audit->lists.valid);
        m_missingVideos = SharedNameList(audit, audit->lists.missing);
        m_extraVideos = SharedNameList(audit, audit->lists.extra);
        m_unknownVideos = SharedNameList(audit, audit->lists.unknown);
        m_videosLines = {};
    }

    endBusyLook(videosResultView());
    videosResultControl()->setEnabled(true);
    didClickVideosResultControl(videosResultControl());
    videosResultView()->setHidden(false);

    m_auditingVideos = false;
    Q_EMIT videosAuditRunningChanged(false);
}

} // namespace zelvora
