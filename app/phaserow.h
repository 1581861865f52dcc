#pragma once

#include "app/auditpane.h"
#include "platform/busyindicator.h"

#include <QLabel>
#include <QPointer>
#include <QString>
#include <array>

namespace zelvora {

// The one phase text and busy indicator both audits share: each running audit's latest phase is
// shown, with the entries seen in it, and the indicator turns until the last one finishes.
class PhaseRow
{
public:
    void setLabel(QLabel *label) { m_label = label; }
    void setIndicator(BusyIndicator *indicator) { m_indicator = indicator; }

    // The view is hidden and its background greyed while its audit runs.
    void beginBusyLook(Audit audit, ResultView *view);
    void endBusyLook(Audit audit, ResultView *view);
    // `text` empty: the audit has no phase (any more).
    void showPhase(Audit audit, const QString &text, bool newPhase = true);
    void showEntriesSeen(Audit audit, qint64 total);
    // The other audit's "Cancelled" is old news once a new audit runs.
    void forgetUnlessRunning(Audit audit);

private:
    QPointer<QLabel> m_label;
    QPointer<BusyIndicator> m_indicator;
    std::array<QString, 2> m_phases;      // by Audit
    std::array<qint64, 2> m_seen{-1, -1}; // by Audit: entries seen in its phase, -1 none yet
    std::array<bool, 2> m_busy{};         // by Audit
    int m_runningAudits = 0;
};

} // namespace zelvora
