#pragma once

#include "app/qkappdelegate.h"
#include "audit/progress.h"

namespace zelvora {

// Hands an audit's phase texts from its worker to the window's phase label, through the main
// thread's queue, in the order the worker reports them.
class PhaseReporter final : public Progress
{
public:
    PhaseReporter(QKAppDelegate *controller, QKAppDelegate::Audit audit) : m_controller(controller), m_audit(audit) {}

    void phase(const QString &text) override;
    void entriesSeen(qint64) override {}

private:
    QKAppDelegate *m_controller;
    QKAppDelegate::Audit m_audit;
};

} // namespace zelvora
