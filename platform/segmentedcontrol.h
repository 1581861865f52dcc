#pragma once

#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QHBoxLayout;
class QToolButton;

namespace zelvora {

// A row of exclusive segments, at most one selected. Only a user's click sends `activated`; setting
// the selection or a segment's enabled state from code sends nothing.
class SegmentedControl : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QStringList segmentLabels READ segmentLabels WRITE setSegmentLabels)
    Q_PROPERTY(int selectedSegment READ selectedSegment WRITE setSelectedSegment)

public:
    explicit SegmentedControl(QWidget *parent = nullptr);

    QStringList segmentLabels() const;
    // Replaces all segments; the new ones start enabled and unselected.
    void setSegmentLabels(const QStringList &labels);
    int segmentCount() const;

    // -1 when no segment is selected.
    int selectedSegment() const;
    // An index outside the segments clears the selection.
    void setSelectedSegment(int segment);

    // Changes one segment's text only; its state and the selection stay.
    void setLabelForSegment(const QString &label, int segment);

    void setEnabledForSegment(bool enabled, int segment);
    // The segment's own state, whatever the state of the control as a whole.
    bool isEnabledForSegment(int segment) const;

    // The segment's button, for tests that click it like a user.
    QToolButton *segmentButton(int segment) const;

Q_SIGNALS:
    void activated(int segment);

protected:
    // The arrow keys move the focus between the enabled segments; Return and Enter click, like Space.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void focusEnabledSegment(int from, int step) const;

    QHBoxLayout *m_layout;
    QButtonGroup *m_group;
};

} // namespace zelvora
