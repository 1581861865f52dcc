#pragma once

// A thin strip that shows how a result splits into its lists: one stacked bar of their shares and,
// under it, each list's colour, name and count.

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

namespace zelvora {

class SummaryStrip : public QWidget
{
    Q_OBJECT

public:
    struct Part
    {
        QString label;
        qint64 count = 0;
        QColor color;
    };

    explicit SummaryStrip(QWidget *parent = nullptr);

    QList<Part> parts() const { return m_parts; }
    void setParts(const QList<Part> &parts);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QList<Part> m_parts;
};

} // namespace zelvora
