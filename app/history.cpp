// What each audit adds beside its lists: its problems, and the changes since the previous audit of the
// same inputs. They are found on a worker once the lists are shown, and shown only while the result
// they belong to still is.
#include "app/problemsview.h"
#include "app/qkappdelegate.h"
#include "platform/mainthread.h"

#include <QDateTime>
#include <new>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

AuditExtras history(const QString &key, const AuditRecord &record)
{
    HistoryOutcome outcome = recordAudit(key, record);
    AuditExtras extras;
    extras.changes = std::move(outcome.changes);
    // The audit stands; only the comparison with the next one is at stake.
    if (!outcome.warning.isEmpty())
        extras.warning = u"Changes are not tracked: %1"_s.arg(outcome.warning);
    return extras;
}

} // namespace

// The history is kept even for a result already replaced: the user saw it, and the next audit
// compares with it. Its problems, the slow part, are left to the result that replaced it.
AuditExtras QKAppDelegate::romExtras(const AuditInputs &inputs, const RomAudit &audit,
                                     const std::atomic<bool> &superseded)
{
    AuditExtras extras =
        history(historyKey(inputs, u"roms"), auditRecord(audit.lists, QDateTime::currentDateTimeUtc()));
    if (!superseded.load(std::memory_order_relaxed))
        extras.problems = std::make_shared<const std::vector<Problem>>(romProblems(inputs, audit));
    return extras;
}

AuditExtras QKAppDelegate::videoExtras(const AuditInputs &inputs, const VideoAudit &audit,
                                       const std::atomic<bool> &superseded)
{
    AuditExtras extras = history(historyKey(inputs, inputs.availableRomsOnly ? u"videos-available" : u"videos"),
                                 auditRecord(audit.lists, QDateTime::currentDateTimeUtc()));
    if (!superseded.load(std::memory_order_relaxed))
        extras.problems = std::make_shared<const std::vector<Problem>>(videoProblems(inputs, audit));
    return extras;
}

void QKAppDelegate::setProblemsPane(Audit audit, ProblemsPane *pane)
{
    m_problemsPanes[std::size_t(audit)] = pane;
}

void QKAppDelegate::startExtras(Audit audit, const ResultNotes &notes, ExtrasWork work)
{
    ExtrasRun &extras = m_extras[std::size_t(audit)];
    if (extras.superseded)
        extras.superseded->store(true, std::memory_order_relaxed);
    extras.superseded = std::make_shared<std::atomic<bool>>(false);
    extras.notes = notes;
    extras.pending = true;
    const quint64 run = ++extras.run;
    m_problems[std::size_t(audit)].reset();
    if (ProblemsPane *pane = problemsPane(audit))
        pane->setPending();
    Q_EMIT extrasPendingChanged(int(audit), true);

    // One at a time per audit, in the order of the results: the history of one result is written
    // before the next one reads it.
    startOnPool(m_extrasWorkers[std::size_t(audit)], [this, audit, run, superseded = extras.superseded,
                                                      work = std::move(work)] {
        AuditExtras found;
        try {
            found = work(*superseded);
        } catch (const std::bad_alloc &) {
            found = AuditExtras{{}, {}, u"Problems and changes could not be found: out of memory"_s};
        }
        postToMainThread(this, [this, audit, run, found = std::move(found)] { didFindExtras(audit, run, found); });
    });
}

void QKAppDelegate::didFindExtras(Audit audit, quint64 run, const AuditExtras &found)
{
    ExtrasRun &extras = m_extras[std::size_t(audit)];
    // Those of a result the window no longer shows.
    if (run != extras.run)
        return;
    extras.pending = false;
    m_problems[std::size_t(audit)] = found.problems;
    if (!found.warning.isEmpty()) {
        ResultNotes notes = extras.notes;
        notes.text += (notes.text.isEmpty() ? u""_s : u"\n"_s) + found.warning;
        showNotes(audit == Audit::Roms ? romsNotesLabel() : videosNotesLabel(), notes);
    }
    if (ProblemsPane *pane = problemsPane(audit)) {
        pane->setProblems(found.problems);
        pane->setChanges(found.changes);
    }
    Q_EMIT extrasPendingChanged(int(audit), false);
}

void QKAppDelegate::stopExtras()
{
    for (ExtrasRun &extras : m_extras) {
        if (extras.superseded)
            extras.superseded->store(true, std::memory_order_relaxed);
    }
    for (QThreadPool &workers : m_extrasWorkers)
        workers.waitForDone();
}

} // namespace zelvora
