#include "app/phasereporter.h"
#include "app/qkappdelegate.h"
#include "platform/alert.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QDir>
#include <QFile>
#include <QLabel>
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
    // Sent first: the window notes which of the audit's controls has the focus before they lose it.
    Q_EMIT romsAuditRunningChanged(true);
    romsResultControl()->setEnabled(false);

    showPhase(Audit::Roms, {});
    beginBusyLook(romsResultView());
    auto cancel = didStartAudit(Audit::Roms, inputs);
    startAudit(
        u"rom audit"_s, [this, inputs, cancel = std::move(cancel)] { auditRomsInBackground(inputs, cancel); },
        [this] { didFinishAuditRoms({}); });
}

void QKAppDelegate::auditRomsInBackground(const AuditInputs &inputs, std::shared_ptr<const std::atomic<bool>> cancel)
{
    PhaseReporter progress(this, Audit::Roms, std::move(cancel));
    const std::optional<QString> dirWarning = zelvoraDirWarning(inputs.zelvoraDir);
    RomsListFault listFault{};
    // The window always shows the possible matches, so its walk gathers the other formats too.
    AuditInputs withOtherFormats = inputs;
    withOtherFormats.otherFormats = true;
    std::optional<RomAudit> done = runRomAudit(withOtherFormats, progress, &listFault);
    std::shared_ptr<const RomAudit> audit;
    ResultNotes notes;
    std::shared_ptr<const NearMisses> nearMisses;
    // A cancelled audit is not shown, nor are its faults.
    if (progress.isCancelled())
        done.reset();
    else if (isShowable(done ? &done->found.walk : nullptr, inputs.romsListPath, listFault)) {
        notes = resultNotes(inputs.zelvoraDir, dirWarning, done->found.walk);
        audit = std::make_shared<const RomAudit>(std::move(*done));
        nearMisses = std::make_shared<const NearMisses>(findRomNearMisses(*audit));
        if (progress.isCancelled())
            audit.reset();
    }
    postToMainThread(this, [this, audit = std::move(audit), notes = std::move(notes),
                            nearMisses = std::move(nearMisses)] { didFinishAuditRoms(audit, notes, nearMisses); });
}

void QKAppDelegate::didFinishAuditRoms(const std::shared_ptr<const RomAudit> &result, const ResultNotes &notes,
                                       const std::shared_ptr<const NearMisses> &nearMisses)
{
    // Cancelled, even if the worker finished first: the earlier results stay.
    const bool cancelled = wasCancelled(Audit::Roms);
    const std::shared_ptr<const RomAudit> audit = cancelled ? nullptr : result;
    if (audit) {
        showNotes(romsNotesLabel(), notes);
        // The lists first; the problems and the changes follow, found from the audit kept alive here.
        startExtras(Audit::Roms, notes,
                    [inputs = pane(Audit::Roms).runningInputs, audit](const std::atomic<bool> &superseded) {
                        return romExtras(inputs, *audit, superseded);
                    });
        // The earlier audit's names go with the last of its views, a few large blocks at once.
        m_validRoms = SharedNameList(audit, audit->lists.valid);
        m_missingRoms = SharedNameList(audit, audit->lists.missing);
        m_unknownRoms = SharedNameList(audit, audit->lists.unknown);
        m_romsLines = {};
        m_romAudit = audit;
        showNearMisses(Audit::Roms, audit, nearMisses);
        m_hasRomResults = true;
    }

    if (cancelled)
        showCancelled(Audit::Roms);
    else
        showPhase(Audit::Roms, {});
    endBusyLook(romsResultView());
    romsResultControl()->setEnabled(true);
    didClickRomsResultControl(romsResultControl());
    if (audit)
        didShowResults(Audit::Roms);
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
                                  u"The earlier results are kept.\n\n"_s + lines.join(u'\n'),
                                  u"OK"_s,
                                  AlertMessage::Style::Warning,
                                  {}});
}

void QKAppDelegate::showInvalidRomsListAlert(const QString &listPath, RomsListFault fault)
{
    const QString detail =
        listPath.isEmpty()
            ? u"No file named \"%1\" was found below the Zelvora directory."_s.arg(kRomsListFileName)
            : u"%1\n\nThe file is %2."_s.arg(QDir::toNativeSeparators(listPath), romsListFaultText(fault));
    m_alert.runModal(AlertMessage{u"Error"_s, u"Can't find supported roms list or it is too big."_s, u"OK"_s,
                                  AlertMessage::Style::Critical, detail});
}

} // namespace zelvora
