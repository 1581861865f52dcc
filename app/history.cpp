// What each audit adds beside its lists: its problems, and the changes since the previous audit of the
// same inputs, both made on the audit's worker and shown once its result is.
#include "app/problemsview.h"
#include "app/qkappdelegate.h"

#include <QDateTime>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

void addHistory(ResultNotes &notes, const QString &key, const AuditRecord &record)
{
    HistoryOutcome outcome = recordAudit(key, record);
    notes.changes = std::move(outcome.changes);
    // The audit stands; only the comparison with the next one is at stake.
    if (!outcome.warning.isEmpty())
        notes.text += (notes.text.isEmpty() ? u""_s : u"\n"_s) + u"Changes are not tracked: %1"_s.arg(outcome.warning);
}

} // namespace

void QKAppDelegate::addRomExtras(ResultNotes &notes, const AuditInputs &inputs, const RomAudit &audit)
{
    notes.problems = std::make_shared<const std::vector<Problem>>(romProblems(inputs, audit));
    addHistory(notes, historyKey(inputs, u"roms"), auditRecord(audit.lists, QDateTime::currentDateTimeUtc()));
}

void QKAppDelegate::addVideoExtras(ResultNotes &notes, const AuditInputs &inputs, const VideoAudit &audit)
{
    notes.problems = std::make_shared<const std::vector<Problem>>(videoProblems(inputs, audit));
    addHistory(notes, historyKey(inputs, inputs.availableRomsOnly ? u"videos-available" : u"videos"),
               auditRecord(audit.lists, QDateTime::currentDateTimeUtc()));
}

void QKAppDelegate::setProblemsPane(Audit audit, ProblemsPane *pane)
{
    m_problemsPanes[std::size_t(audit)] = pane;
}

void QKAppDelegate::showExtras(Audit audit, const ResultNotes &notes)
{
    m_problems[std::size_t(audit)] = notes.problems;
    if (ProblemsPane *pane = problemsPane(audit)) {
        pane->setProblems(notes.problems);
        pane->setChanges(notes.changes);
    }
}

} // namespace zelvora
