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
    startAudit(
        QStringLiteral("video audit"), [this, inputs] { auditVideosInBackground(inputs); },
        [this] { didFinishAuditVideos({}); });
}

void QKAppDelegate::auditVideosInBackground(const AuditInputs &inputs)
{
    PhaseReporter progress(this);
    std::optional<VideoAudit> audit = runVideoAudit(inputs, progress);
    std::optional<VideoResults> results;
    VideoTexts texts;
    if (audit) {
        results = std::move(audit->lists);
        for (int list = 0; list < kVideoListCount; ++list)
            texts[std::size_t(list)] = videoViewText(*results, VideoList(list));
    } else {
        postToMainThread(this, [this] { showInvalidRomsListAlert(); });
    }
    postToMainThread(this, [this, results = std::move(results), texts = std::move(texts)]() mutable {
        didFinishAuditVideos(std::move(results), std::move(texts));
    });
}

void QKAppDelegate::didFinishAuditVideos(std::optional<VideoResults> results, VideoTexts texts)
{
    if (results) {
        VideoResults earlier{std::exchange(m_validVideos, std::move(results->valid)),
                             std::exchange(m_missingVideos, std::move(results->missing)),
                             std::exchange(m_extraVideos, std::move(results->extra)),
                             std::exchange(m_unknownVideos, std::move(results->unknown))};
        VideoTexts earlierTexts = std::exchange(m_videosTexts, std::move(texts));
        // Freeing 100,000 names takes the main thread longer than a frame; a worker has the time.
        startInBackground([earlier = std::move(earlier), earlierTexts = std::move(earlierTexts)] {});
    }

    endBusyLook(videosResultView());
    videosResultControl()->setEnabled(true);
    didClickVideosResultControl(videosResultControl());
    videosResultView()->setHidden(false);

    m_auditingVideos = false;
    Q_EMIT videosAuditRunningChanged(false);
}

} // namespace zelvora
