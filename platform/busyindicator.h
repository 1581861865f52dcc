#pragma once

#include <QProgressBar>

namespace zelvora {

// An indeterminate progress bar: only its animation is started and stopped, no value is ever shown.
// It is hidden while still, keeping its place in the layout.
class BusyIndicator : public QProgressBar
{
    Q_OBJECT

public:
    explicit BusyIndicator(QWidget *parent = nullptr);

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return m_animating; }

private:
    bool m_animating = false;
};

} // namespace zelvora
