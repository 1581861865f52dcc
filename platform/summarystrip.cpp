// Paints the stacked bar and its legend; the counts are also the widget's tooltip and accessible text,
// so they can be read without telling colours apart.
#include "platform/summarystrip.h"

#include <QEvent>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

constexpr int kBarHeight = 8;
constexpr int kGap = 4;
constexpr int kSwatch = 10;
constexpr int kLegendSpacing = 16;

QString groupedCount(qint64 count)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(count);
}

} // namespace

SummaryStrip::SummaryStrip(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void SummaryStrip::setParts(const QList<Part> &parts)
{
    m_parts = parts;
    QStringList lines;
    for (const Part &part : parts)
        lines.append(u"%1: %2"_s.arg(part.label, groupedCount(part.count)));
    setToolTip(lines.join(u'\n'));
    setAccessibleDescription(lines.join(u", "_s));
    updateGeometry();
    update();
}

QSize SummaryStrip::sizeHint() const
{
    return {200, kBarHeight + kGap + fontMetrics().height()};
}

QSize SummaryStrip::minimumSizeHint() const
{
    return {40, sizeHint().height()};
}

void SummaryStrip::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

void SummaryStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bar(0.5, 0.5, width() - 1.0, kBarHeight - 1.0);
    qint64 total = 0;
    for (const Part &part : std::as_const(m_parts))
        total += part.count;

    QPainterPath outline;
    outline.addRoundedRect(bar, 3, 3);
    painter.save();
    painter.setClipPath(outline);
    painter.fillRect(bar, palette().color(QPalette::Midlight));
    if (total > 0) {
        qreal x = bar.left();
        qint64 before = 0;
        for (const Part &part : std::as_const(m_parts)) {
            // Edges from the running sum, so the parts always end exactly at the bar's end.
            before += part.count;
            const qreal end = bar.left() + bar.width() * qreal(before) / qreal(total);
            painter.fillRect(QRectF(x, bar.top(), end - x, bar.height()), part.color);
            x = end;
        }
    }
    painter.restore();
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawPath(outline);

    const QFontMetrics metrics = fontMetrics();
    const int textTop = kBarHeight + kGap;
    int x = 0;
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const Part &part : std::as_const(m_parts)) {
        const QString text = u"%1 %2"_s.arg(part.label, groupedCount(part.count));
        const int swatchTop = textTop + (metrics.height() - kSwatch) / 2;
        painter.fillRect(QRect(x, swatchTop, kSwatch, kSwatch), part.color);
        x += kSwatch + 4;
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(x, textTop, width() - x, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter, text);
        x += metrics.horizontalAdvance(text) + kLegendSpacing;
    }
}

} // namespace zelvora
