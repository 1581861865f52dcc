#include "platform/busyindicator.h"

namespace zelvora {

BusyIndicator::BusyIndicator(QWidget *parent) : QProgressBar(parent)
{
    setTextVisible(false);
    setRange(0, 1);
    QSizePolicy policy = sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    hide();
}

void BusyIndicator::startAnimation()
{
    // An empty range is Qt's busy animation.
    setRange(0, 0);
    show();
    m_animating = true;
}

void BusyIndicator::stopAnimation()
{
    setRange(0, 1);
    hide();
    m_animating = false;
}

} // namespace zelvora
