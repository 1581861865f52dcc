#include "platform/segmentedcontrol.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QToolButton>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

// A segment is never narrower than its label, nor than a common width: a window too narrow for the
// labels gets wider instead of clipping them.
void fitLabel(QAbstractButton *button)
{
    constexpr int kNarrowest = 72;
    button->setMinimumWidth(std::max(kNarrowest, button->sizeHint().width()));
}

// Joined segments with rounded outer ends; the selected one in the highlight colour.
const QString kStyleSheet = uR"(
QToolButton {
    border: 1px solid palette(dark);
    border-left-width: 0px;
    background: palette(button);
    padding: 3px 14px;
}
QToolButton[segmentPosition="first"], QToolButton[segmentPosition="only"] {
    border-left-width: 1px;
    border-top-left-radius: 5px;
    border-bottom-left-radius: 5px;
}
QToolButton[segmentPosition="last"], QToolButton[segmentPosition="only"] {
    border-top-right-radius: 5px;
    border-bottom-right-radius: 5px;
}
QToolButton:hover { background: palette(light); }
QToolButton:pressed { background: palette(midlight); }
QToolButton:checked {
    background: palette(highlight);
    color: palette(highlighted-text);
}
QToolButton:focus {
    border: 2px solid palette(highlight);
    padding: 2px 13px;
}
QToolButton:checked:focus {
    border-color: palette(shadow);
    text-decoration: underline;
}
QToolButton:disabled { color: palette(mid); }
QToolButton:checked:disabled { background: palette(midlight); color: palette(dark); }
)"_s;

QString positionOf(int segment, int count)
{
    if (count == 1)
        return u"only"_s;
    if (segment == 0)
        return u"first"_s;
    return segment == count - 1 ? u"last"_s : u"middle"_s;
}

} // namespace

SegmentedControl::SegmentedControl(QWidget *parent)
    : QWidget(parent), m_layout(new QHBoxLayout(this)), m_group(new QButtonGroup(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_group->setExclusive(true);
    connect(m_group, &QButtonGroup::idClicked, this, &SegmentedControl::activated);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    setStyleSheet(kStyleSheet);
}

QStringList SegmentedControl::segmentLabels() const
{
    QStringList labels;
    for (int i = 0; i < segmentCount(); ++i)
        labels.append(segmentButton(i)->text());
    return labels;
}

void SegmentedControl::setLabelForSegment(const QString &label, int segment)
{
    if (QAbstractButton *button = m_group->button(segment)) {
        button->setText(label);
        fitLabel(button);
    }
}

void SegmentedControl::setSegmentLabels(const QStringList &labels)
{
    const QList<QAbstractButton *> old = m_group->buttons();
    for (QAbstractButton *button : old) {
        m_group->removeButton(button);
        delete button;
    }
    for (int i = 0; i < labels.size(); ++i) {
        auto *button = new QToolButton(this);
        button->setText(labels.at(i));
        button->setCheckable(true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        fitLabel(button);
        button->setProperty("segmentPosition", positionOf(i, int(labels.size())));
        button->installEventFilter(this);
        m_group->addButton(button, i);
        m_layout->addWidget(button);
    }
}

int SegmentedControl::segmentCount() const
{
    return int(m_group->buttons().size());
}

int SegmentedControl::selectedSegment() const
{
    return m_group->checkedId();
}

void SegmentedControl::setSelectedSegment(int segment)
{
    if (QAbstractButton *button = m_group->button(segment)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group never unchecks its last button by itself.
    m_group->setExclusive(false);
    if (QAbstractButton *checked = m_group->checkedButton())
        checked->setChecked(false);
    m_group->setExclusive(true);
}

void SegmentedControl::setEnabledForSegment(bool enabled, int segment)
{
    if (QAbstractButton *button = m_group->button(segment))
        button->setEnabled(enabled);
}

bool SegmentedControl::isEnabledForSegment(int segment) const
{
    const QAbstractButton *button = m_group->button(segment);
    return button != nullptr && button->isEnabledTo(this);
}

bool SegmentedControl::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *button = qobject_cast<QAbstractButton *>(watched);
    const int segment = button ? m_group->id(button) : -1;
    if (segment < 0)
        return QWidget::eventFilter(watched, event);
    const auto *key = dynamic_cast<QKeyEvent *>(event);
    if (!key)
        return QWidget::eventFilter(watched, event);
    switch (key->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        focusEnabledSegment(segment, -1);
        return true;
    case Qt::Key_Right:
    case Qt::Key_Down:
        focusEnabledSegment(segment, +1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        button->click();
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void SegmentedControl::focusEnabledSegment(int from, int step) const
{
    // Disabled segments are passed over; the ends do not wrap around.
    for (int segment = from + step; segment >= 0 && segment < segmentCount(); segment += step) {
        if (segmentButton(segment)->isEnabled()) {
            segmentButton(segment)->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

QToolButton *SegmentedControl::segmentButton(int segment) const
{
    return qobject_cast<QToolButton *>(m_group->button(segment));
}

} // namespace zelvora
