#include "app/phasereporter.h"
#include "app/qkappdelegate.h"
#include "platform/alert.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QString>
#include <utility>

using namespace Qt::StringLiterals;

namespace zelvora {

void QKAppDelegate::auditRoms(QObject *)
{
    if (m_auditingRoms)
        return;
    const AuditInputs inputs = snapshotInputs();

    // The lists stay readable during the run (the worker fills lists of its own), but a view or a
    // save of the old results while new ones are coming would only mislead.
    m_auditingRoms = true;
    romsResultControl()->setEnabled(false);
    Q_EMIT romsAuditRunningChanged(true);

    beginBusyLook(romsResultView());
    startAudit(
        u"rom audit"_s, [this, inputs] { auditRomsInBackground(inputs); }, [this] { didFinishAuditRoms({}); });
}

void QKAppDelegate::auditRomsInBackground(const AuditInputs &inputs)
{
    PhaseReporter progress(this);
    std::optional<RomResults> results = runRomAudit(inputs, progress);
    RomTexts texts;
    if (results) {
        for (int list = 0; list < kRomListCount; ++list)
            texts[std::size_t(list)] = romViewText(*results, RomList(list));
    } else {
        postToMainThread(this, [this] { showInvalidRomsListAlert(); });
    }
    postToMainThread(this, [this, results = std::move(results), texts = std::move(texts)]() mutable {
        didFinishAuditRoms(std::move(results), std::move(texts));
    });
}

void QKAppDelegate::didFinishAuditRoms(std::optional<RomResults> results, RomTexts texts)
{
    if (results) {
        RomResults earlier{std::exchange(m_validRoms, std::move(results->valid)),
                           std::exchange(m_missingRoms, std::move(results->missing)),
                           std::exchange(m_unknownRoms, std::move(results->unknown))};
        RomTexts earlierTexts = std::exchange(m_romsTexts, std::move(texts));
        // Freeing 100,000 names takes the main thread longer than a frame; a worker has the time.
        startInBackground([earlier = std::move(earlier), earlierTexts = std::move(earlierTexts)] {});
    }

    endBusyLook(romsResultView());
    romsResultControl()->setEnabled(true);
    didClickRomsResultControl(romsResultControl());
    romsResultView()->setHidden(false);

    m_auditingRoms = false;
    Q_EMIT romsAuditRunningChanged(false);
}

void QKAppDelegate::showInvalidRomsListAlert()
{
    m_alert.runModal(AlertMessage{u"Error"_s, u"Can't find supported roms list or it is too big."_s, u"OK"_s,
                                  AlertMessage::Style::Critical});
}

} // namespace zelvora
