#include "app/phaserow.h"

#include "platform/busyindicator.h"
#include "platform/resultview.h"

#include <QColor>
#include <QLabel>
#include <QPalette>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

void setContainerBackground(ResultView *view, const QColor &color)
{
    QWidget *container = view->parentWidget();
    QPalette palette = container->palette();
    palette.setColor(QPalette::Window, color);
    container->setPalette(palette);
    container->setAutoFillBackground(true);
}

} // namespace

void PhaseRow::beginBusyLook(Audit audit, ResultView *view)
{
    m_busy[std::size_t(audit)] = true;
    view->setHidden(true);
    setContainerBackground(view, QColor::fromRgbF(0.9F, 0.9F, 0.9F, 1.0F));
    if (m_runningAudits++ == 0)
        m_indicator->startAnimation();
    m_label->setHidden(false);
}

void PhaseRow::endBusyLook(Audit audit, ResultView *view)
{
    m_busy[std::size_t(audit)] = false;
    // The other audit may still be working; it keeps the phase text and the indicator. A cancelled
    // audit's "Cancelled" stays until it runs again.
    if (--m_runningAudits == 0)
        m_indicator->stopAnimation();
    m_label->setHidden(m_runningAudits == 0 && m_phases[0].isEmpty() && m_phases[1].isEmpty());
    setContainerBackground(view, Qt::white);
}

void PhaseRow::forgetUnlessRunning(Audit audit)
{
    if (!m_busy[std::size_t(audit)])
        m_phases[std::size_t(audit)].clear();
}

void PhaseRow::showEntriesSeen(Audit audit, qint64 total)
{
    if (m_phases[std::size_t(audit)].isEmpty())
        return;
    m_seen[std::size_t(audit)] = total;
    showPhase(audit, m_phases[std::size_t(audit)], false);
}

void PhaseRow::showPhase(Audit audit, const QString &text, bool newPhase)
{
    m_phases[std::size_t(audit)] = text;
    // As the command line counts them: the entries seen in the current phase.
    if (newPhase)
        m_seen[std::size_t(audit)] = -1;
    const auto shown = [this](Audit a) {
        const QString &phase = m_phases[std::size_t(a)];
        const qint64 seen = m_seen[std::size_t(a)];
        return seen < 0 || phase.isEmpty() ? phase : u"%1 %2 entries"_s.arg(phase, groupedCount(seen));
    };
    const QString roms = shown(Audit::Roms);
    const QString videos = shown(Audit::Videos);
    // With no phase left the label is hidden and keeps its last text.
    if (!roms.isEmpty() && !videos.isEmpty())
        m_label->setText(u"Roms: %1 · Videos: %2"_s.arg(roms, videos));
    else if (!roms.isEmpty() || !videos.isEmpty())
        m_label->setText(roms.isEmpty() ? videos : roms);
}

} // namespace zelvora
