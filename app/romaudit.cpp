#include "app/phasereporter.h"
#include "app/qkappdelegate.h"
#include "platform/alert.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <cstring>
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
    startInBackground([this, inputs] { auditRomsInBackground(inputs); });
}

void QKAppDelegate::auditRomsInBackground(const AuditInputs &inputs)
{
    PhaseReporter progress(this);
    std::optional<RomAudit> done = runRomAudit(inputs, progress);
    std::shared_ptr<const RomAudit> audit;
    if (isShowable(done ? &done->found.walk : nullptr))
        audit = std::make_shared<const RomAudit>(std::move(*done));
    postToMainThread(this, [this, audit = std::move(audit)] { didFinishAuditRoms(audit); });
}

void QKAppDelegate::didFinishAuditRoms(const std::shared_ptr<const RomAudit> &audit)
{
    if (audit) {
        // The earlier audit's names go with the last of its views, a few large blocks at once.
        m_validRoms = SharedNameList(audit, audit->lists.valid);
        m_missingRoms = SharedNameList(audit, audit->lists.missing);
        m_unknownRoms = SharedNameList(audit, audit->lists.unknown);
        m_romsLines = {};
    }

    endBusyLook(romsResultView());
    romsResultControl()->setEnabled(true);
    didClickRomsResultControl(romsResultControl());
    romsResultView()->setHidden(false);

    m_auditingRoms = false;
    Q_EMIT romsAuditRunningChanged(false);
}

void QKAppDelegate::showIncompleteWalkAlert(const WalkReport &walk)
{
    QStringList lines;
    for (const UnreadFolder &folder : walk.failed)
        lines.append(
            u"%1: %2"_s.arg(QFile::decodeName(folder.path), QString::fromLocal8Bit(std::strerror(folder.error))));
    m_alert.runModal(AlertMessage{u"The folders could not be read completely."_s,
                                  u"The earlier results are kept.\n\n"_s + lines.join(u'\n'), u"OK"_s,
                                  AlertMessage::Style::Warning});
}

void QKAppDelegate::showInvalidRomsListAlert()
{
    m_alert.runModal(AlertMessage{u"Error"_s, u"Can't find supported roms list or it is too big."_s, u"OK"_s,
                                  AlertMessage::Style::Critical});
}

} // namespace zelvora
