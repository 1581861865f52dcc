#include "app/phasereporter.h"
#include "app/qkappdelegate.h"
#include "platform/alert.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QString>

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
    startInBackground([this, inputs] { auditRomsInBackground(inputs); });
}

void QKAppDelegate::auditRomsInBackground(const AuditInputs &inputs)
{
    PhaseReporter progress(this);
    std::optional<RomResults> results = runRomAudit(inputs, progress);
    if (!results)
        postToMainThread(this, [this] { showInvalidRomsListAlert(); });
    postToMainThread(this, [this, results = std::move(results)]() mutable { didFinishAuditRoms(std::move(results)); });
}

void QKAppDelegate::didFinishAuditRoms(std::optional<RomResults> results)
{
    if (results) {
        m_validRoms = std::move(results->valid);
        m_unknownRoms = std::move(results->unknown);
        m_missingRoms = std::move(results->missing);
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
