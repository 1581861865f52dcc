// What the two audits share: the inputs taken at the start, the busy look, the phase text and the
// worker threads.
#include "app/phasereporter.h"
#include "app/qkappdelegate.h"
#include "platform/busyindicator.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"

#include <QCheckBox>
#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

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
    postToMainThread(controller, [controller, text] { controller->showPhase(text); });
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
    // The other audit may still be working; it keeps the phase text and the indicator.
    if (--m_runningAudits == 0) {
        progressLabel()->setHidden(true);
        progressIndicator()->stopAnimation();
    }
    setContainerBackground(view, Qt::white);
}

// NOLINTNEXTLINE(readability-make-member-function-const): not const in meaning, it changes what the window shows
void QKAppDelegate::showPhase(const QString &text)
{
    progressLabel()->setText(text);
}

bool QKAppDelegate::isShowable(const WalkReport *walk)
{
    if (!walk)
        postToMainThread(this, [this] { showInvalidRomsListAlert(); });
    else if (!walk->isComplete())
        postToMainThread(this, [this, report = *walk] { showIncompleteWalkAlert(report); });
    return walk != nullptr && walk->isComplete();
}

void QKAppDelegate::startInBackground(std::function<void()> work)
{
    startOnPool(m_workers, std::move(work));
}

} // namespace zelvora
