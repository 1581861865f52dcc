// What each audit adds beside its lists: its problems, and the changes since the previous audit of the
// same inputs. They are found on a worker once the lists are shown, and shown only while the result
// they belong to still is.
#include "app/auditpane.h"
#include "app/problemsview.h"
#include "audit/checks/problems.h"
#include "audit/files/history.h"
#include "platform/mainthread.h"

#include <QDateTime>
#include <QLabel>
#include <new>

using namespace Qt::StringLiterals;

namespace zelvora {

// The session keeps the history even for a result already replaced: the user saw it, and the next audit
// compares with it. Its problems, the slow part, are left to the result that replaced it.
AuditExtras AuditPane::extras(AuditSession &session, const std::atomic<bool> &superseded)
{
    session.findExtras(&superseded);
    AuditOutcome &outcome = session.outcome();
    const bool roms = outcome.roms.audit != nullptr;
    HistoryOutcome &history = roms ? outcome.roms.history : outcome.videos.history;
    AuditExtras extras;
    extras.changes = std::move(history.changes);
    // The audit stands; only the comparison with the next one is at stake.
    if (!history.warning.isEmpty())
        extras.warning = u"Changes are not tracked: %1"_s.arg(history.warning);
    if (!superseded.load(std::memory_order_relaxed)) {
        extras.problems = std::make_shared<const std::vector<Problem>>(
            std::move(roms ? outcome.roms.problems : outcome.videos.problems));
    }
    return extras;
}

void AuditPane::startExtras(const ResultNotes &notes, std::shared_ptr<AuditSession> session)
{
    if (m_superseded)
        m_superseded->store(true, std::memory_order_relaxed);
    m_superseded = std::make_shared<std::atomic<bool>>(false);
    m_notes = notes;
    m_extrasPending = true;
    const quint64 run = ++m_extrasRun;
    m_problems.reset();
    if (ProblemsPane *pane = m_widgets.problems)
        pane->setPending();
    Q_EMIT extrasPendingChanged(true);

    // One at a time, in the order of the results: the history of one result is written before the
    // next one reads it.
    startOnPool(m_extrasWorkers, [this, run, superseded = m_superseded, session = std::move(session)] {
        AuditExtras found;
        try {
            found = extras(*session, *superseded);
        } catch (const std::bad_alloc &) {
            found = AuditExtras{{}, {}, u"Problems and changes could not be found: out of memory"_s};
        }
        postToMainThread(this, [this, run, found = std::move(found)] { didFindExtras(run, found); });
    });
}

void AuditPane::didFindExtras(quint64 run, const AuditExtras &found)
{
    // Those of a result the window no longer shows.
    if (run != m_extrasRun)
        return;
    m_extrasPending = false;
    m_problems = found.problems;
    if (!found.warning.isEmpty()) {
        ResultNotes notes = m_notes;
        notes.text += (notes.text.isEmpty() ? u""_s : u"\n"_s) + found.warning;
        showNotes(notes);
    }
    if (ProblemsPane *pane = m_widgets.problems) {
        pane->setProblems(found.problems);
        pane->setChanges(found.changes);
    }
    Q_EMIT extrasPendingChanged(false);
}

void AuditPane::setVerifiedProblems(quint64 result, std::shared_ptr<const std::vector<Problem>> problems)
{
    if (result != m_extrasRun || m_extrasPending)
        return;
    m_problems = std::move(problems);
    if (ProblemsPane *pane = m_widgets.problems)
        pane->setProblems(m_problems);
}

void AuditPane::showProblems() const
{
    if (ProblemsPane *pane = m_widgets.problems)
        pane->showProblems(true);
}

void AuditPane::stopExtras()
{
    if (m_superseded)
        m_superseded->store(true, std::memory_order_relaxed);
    m_extrasWorkers.waitForDone();
}

} // namespace zelvora
