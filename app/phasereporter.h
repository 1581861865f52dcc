#pragma once

#include "app/qkappdelegate.h"
#include "audit/progress.h"

#include <atomic>
#include <memory>

namespace zelvora {

// Hands an audit's phase texts and counts of entries seen from its worker to the window's phase
// label, through the main thread's queue, in the order the worker reports them; and tells the engine
// when the user has cancelled the audit.
class PhaseReporter final : public Progress
{
public:
    PhaseReporter(QKAppDelegate *controller, QKAppDelegate::Audit audit,
                  std::shared_ptr<const std::atomic<bool>> cancel = {})
        : m_controller(controller), m_audit(audit), m_cancel(std::move(cancel))
    {}

    void phase(const QString &text) override;
    void entriesSeen(qint64 total) override;
    bool isCancelled() const override { return m_cancel && m_cancel->load(std::memory_order_relaxed); }

private:
    QKAppDelegate *m_controller;
    QKAppDelegate::Audit m_audit;
    std::shared_ptr<const std::atomic<bool>> m_cancel;
};

} // namespace zelvora
