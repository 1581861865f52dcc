// What the two audits share: the inputs taken at the start, the busy look, the phase text and the
// worker threads.
#include "app/phasereporter.h"
#include "app/qkappdelegate.h"
#include "platform/alert.h"
#include "platform/busyindicator.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"

#include <QCheckBox>
#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <new>

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

void PhaseReporter::phase(const QString &text)
{
    QKAppDelegate *controller = m_controller;
    postToMainThread(controller, [controller, audit = m_audit, text] { controller->showPhase(audit, text); });
}

void PhaseReporter::entriesSeen(qint64 total)
{
    QKAppDelegate *controller = m_controller;
    postToMainThread(controller, [controller, audit = m_audit, total] { controller->showEntriesSeen(audit, total); });
}

AuditInputs QKAppDelegate::snapshotInputs() const
{
    return AuditInputs{zelvoraDirPathTextField()->text(), romsListPathTextField()->text(),
                       checkAvailableRomVideosOnly()->isChecked()};
}

void QKAppDelegate::beginBusyLook(ResultView *view)
{
    view->setHidden(true);
    setContainerBackground(view, QColor::fromRgbF(0.9F, 0.9F, 0.9F, 1.0F));
    if (m_runningAudits++ == 0)
        progressIndicator()->startAnimation();
    progressLabel()->setHidden(false);
}

void QKAppDelegate::endBusyLook(ResultView *view)
{
    // The other audit may still be working; it keeps the phase text and the indicator. A cancelled
    // audit's "Cancelled" stays until it runs again.
    if (--m_runningAudits == 0)
        progressIndicator()->stopAnimation();
    progressLabel()->setHidden(m_runningAudits == 0 && m_phases[0].isEmpty() && m_phases[1].isEmpty());
    setContainerBackground(view, Qt::white);
}

void QKAppDelegate::showEntriesSeen(Audit audit, qint64 total)
{
    // Only while the audit runs: a count posted before its end must not outlive it.
    if (!(audit == Audit::Roms ? m_auditingRoms : m_auditingVideos) || m_phases[std::size_t(audit)].isEmpty())
        return;
    m_seen[std::size_t(audit)] = total;
    showPhase(audit, m_phases[std::size_t(audit)], false);
}

void QKAppDelegate::showPhase(Audit audit, const QString &text, bool newPhase)
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
        progressLabel()->setText(u"Roms: %1 · Videos: %2"_s.arg(roms, videos));
    else if (!roms.isEmpty() || !videos.isEmpty())
        progressLabel()->setText(roms.isEmpty() ? videos : roms);
}

void QKAppDelegate::showNotes(QLabel *label, const ResultNotes &notes)
{
    label->setText(notes.text);
    label->setToolTip(notes.toolTip);
    label->setHidden(notes.text.isEmpty());
}

bool QKAppDelegate::isShowable(const WalkReport *walk, const QString &listPath, RomsListFault fault)
{
    if (!walk)
        postToMainThread(this, [this, listPath, fault] { showInvalidRomsListAlert(listPath, fault); });
    else if (!walk->isComplete())
        postToMainThread(this, [this, report = *walk] { showIncompleteWalkAlert(report); });
    return walk != nullptr && walk->isComplete();
}

void QKAppDelegate::startInBackground(std::function<void()> work)
{
    startOnPool(m_workers, std::move(work));
}

void QKAppDelegate::startAudit(const QString &audit, std::function<void()> work, std::function<void()> failed)
{
    startInBackground([this, audit, work = std::move(work), failed = std::move(failed)] {
        try {
            work();
        } catch (const std::bad_alloc &) {
            // Posted apart, as the other alerts of an audit are: the window finishes behind the alert.
            postToMainThread(this, [this, audit] { showOutOfMemoryAlert(audit); });
            postToMainThread(this, failed);
        }
    });
}

void QKAppDelegate::showOutOfMemoryAlert(const QString &audit)
{
    m_alert.runModal(
        AlertMessage{u"Out of memory"_s,
                     u"The %1 ran out of memory and could not finish. The earlier results are kept."_s.arg(audit),
                     u"OK"_s,
                     AlertMessage::Style::Critical,
                     {}});
}

} // namespace zelvora
