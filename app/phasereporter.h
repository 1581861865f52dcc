#pragma once

#include "audit/progress.h"

namespace zelvora {

class QKAppDelegate;

// Hands an audit's phase texts from its worker to the window's phase label, through the main
// thread's queue, in the order the worker reports them.
class PhaseReporter final : public Progress
{
public:
    explicit PhaseReporter(QKAppDelegate *controller) : m_controller(controller) {}

    void phase(const QString &text) override;
    void entriesSeen(qint64) override {}

private:
    QKAppDelegate *m_controller;
};

} // namespace zelvora
