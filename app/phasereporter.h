#pragma once

#include "app/auditpane.h"
#include "audit/progress.h"
#include "platform/mainthread.h"

#include <atomic>
#include <memory>

namespace zelvora {

// Hands an audit's phase texts and counts of entries seen from its worker to the window's phase
// label, through the main thread's queue, in the order the worker reports them; and tells the engine
// when the user has cancelled the audit.
class PhaseReporter final : public Progress
{
public:
    explicit PhaseReporter(AuditPane *pane, std::shared_ptr<const std::atomic<bool>> cancel = {})
        : m_pane(pane), m_cancel(std::move(cancel))
    {}

    void phase(const QString &text) override
    {
        AuditPane *pane = m_pane;
        postToMainThread(pane, [pane, text] { pane->showPhase(text); });
    }
    void entriesSeen(qint64 total) override
    {
        AuditPane *pane = m_pane;
        postToMainThread(pane, [pane, total] { pane->showEntriesSeen(total); });
    }
    bool isCancelled() const override { return m_cancel && m_cancel->load(std::memory_order_relaxed); }

private:
    AuditPane *m_pane;
    std::shared_ptr<const std::atomic<bool>> m_cancel;
};

} // namespace zelvora
