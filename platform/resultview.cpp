// The widget side of ResultView: the layouts of the lines shown (cached by line index), the line
// height and the content width behind the scroll ranges, keeping the caret in view, mapping points
// to text positions, and painting the visible lines with the selection, the caret and the
// placeholder. The text is split in resultviewtext.cpp; caret, keys and mouse live in
// resultviewinput.cpp.

#include "platform/resultview.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace zelvora {

namespace {

// The space around the text, as the text document of a plain text edit has it.
constexpr int kMargin = 10;
// Lines measured for the horizontal scroll range when a text is set (the longest ones, up to a
// length any name has); any other line widens the range when it is first laid out.
constexpr qsizetype kWidthSamples = 256;
constexpr qsizetype kLongestSample = 4096;
// Layouts kept between paints; beyond that all are dropped before the next paint.
constexpr std::size_t kLayoutCacheLimit = 512;
constexpr int kHorizontalStep = 20;

int clampToInt(qint64 value)
{
    return int(std::clamp<qint64>(value, 0, std::numeric_limits<int>::max()));
}

void layOutOneLine(QTextLayout &layout)
{
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    // The line ends were split off and nothing wraps, so one line holds the whole text.
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setPosition(QPointF(0, 0));
    layout.endLayout();
}

} // namespace

ResultView::ResultView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    fontChanged();
}

ResultView::~ResultView() = default;

void ResultView::setPlaceholderText(const QString &text)
{
    m_placeholderText = text;
    if (m_string.isEmpty())
        viewport()->update();
}

QPoint ResultView::contentOffset() const
{
    return QPoint(kMargin - horizontalScrollBar()->value(), kMargin - verticalScrollBar()->value());
}

ResultView::Position ResultView::positionAt(QPoint point) const
{
    const QPoint offset = contentOffset();
    const int y = point.y() - offset.y();
    const qsizetype index = std::min(y < 0 ? 0 : qsizetype(y / m_lineHeight), lineCount() - 1);
    const QTextLine textLine = layoutOf(index).lineAt(0);
    return Position{index, textLine.xToCursor(point.x() - offset.x(), QTextLine::CursorBetweenCharacters)};
}

QRect ResultView::lineRect(qsizetype line) const
{
    const qint64 top = contentOffset().y() + qint64(line) * m_lineHeight;
    return QRect(0,
                 int(std::clamp<qint64>(top, std::numeric_limits<int>::min() / 2, std::numeric_limits<int>::max() / 2)),
                 viewport()->width(), m_lineHeight);
}

QTextLayout &ResultView::layoutOf(qsizetype index) const
{
    // Layouts are held by pointer: a reference stays good while more are added.
    if (const auto found = m_layouts.find(index); found != m_layouts.end())
        return *found->second;
    auto layout = std::make_unique<QTextLayout>(line(index).toString(), font(), viewport());
    layOutOneLine(*layout);
    noteLineWidth(layout->lineAt(0).naturalTextWidth());
    return *m_layouts.emplace(index, std::move(layout)).first->second;
}

qreal ResultView::cursorX(Position position) const
{
    return layoutOf(position.line).lineAt(0).cursorToX(int(position.column));
}

void ResultView::noteLineWidth(qreal width) const
{
    if (width <= m_contentWidth)
        return;
    m_contentWidth = width;
    m_contentWidthGrew = true;
}

void ResultView::estimateContentWidth()
{
    m_contentWidth = 0;
    qsizetype longest = 0;
    for (qsizetype i = 0; i < lineCount(); ++i) {
        if (const qsizetype length = lineLength(i); length <= kLongestSample)
            longest = std::max(longest, length);
    }
    // The widest line is nearly always among the longest; measuring all would cost what laying
    // them all out costs.
    const qsizetype threshold = longest - longest / 4;
    qsizetype measured = 0;
    for (qsizetype i = 0; i < lineCount() && measured < kWidthSamples; ++i) {
        if (const qsizetype length = lineLength(i); length < threshold || length > kLongestSample)
            continue;
        QTextLayout layout(line(i).toString(), font(), viewport());
        layOutOneLine(layout);
        noteLineWidth(layout.lineAt(0).naturalTextWidth());
        ++measured;
    }
}

void ResultView::fontChanged()
{
    m_lineHeight = std::max(1, int(std::ceil(QFontMetricsF(font(), viewport()).height())));
    m_layouts.clear();
    estimateContentWidth();
    updateScrollBars();
    viewport()->update();
}

void ResultView::updateScrollBars()
{
    m_contentWidthGrew = false;
    const QSize area = viewport()->size();
    const qint64 height = 2 * kMargin + qint64(lineCount()) * m_lineHeight;
    // One pixel more for the caret after the last character.
    const qint64 width = 2 * kMargin + qint64(std::ceil(m_contentWidth)) + 1;
    QScrollBar *vertical = verticalScrollBar();
    vertical->setRange(0, clampToInt(height - area.height()));
    vertical->setPageStep(area.height());
    vertical->setSingleStep(m_lineHeight);
    QScrollBar *horizontal = horizontalScrollBar();
    horizontal->setRange(0, clampToInt(width - area.width()));
    horizontal->setPageStep(area.width());
    horizontal->setSingleStep(kHorizontalStep);
}

void ResultView::ensureCursorVisible()
{
    if (m_contentWidthGrew)
        updateScrollBars();
    QScrollBar *vertical = verticalScrollBar();
    const qint64 top = kMargin + qint64(m_cursor.line) * m_lineHeight;
    const int height = viewport()->height();
    if (m_cursor.line == 0)
        vertical->setValue(0);
    else if (top < vertical->value())
        vertical->setValue(clampToInt(top));
    else if (top + m_lineHeight > vertical->value() + height)
        vertical->setValue(clampToInt(top + m_lineHeight - height + (m_cursor.line == lineCount() - 1 ? kMargin : 0)));

    QScrollBar *horizontal = horizontalScrollBar();
    const qreal x = kMargin + cursorX(m_cursor);
    const int width = viewport()->width();
    if (x - kMargin < horizontal->value())
        horizontal->setValue(int(x) - kMargin);
    else if (x + 1 > horizontal->value() + width)
        horizontal->setValue(int(std::ceil(x)) + 1 + kMargin - width);
}

int ResultView::visibleLineCount() const
{
    return std::max(1, viewport()->height() / m_lineHeight);
}

void ResultView::paintEvent(QPaintEvent *event)
{
    if (m_layouts.size() > kLayoutCacheLimit)
        m_layouts.clear();

    QPainter painter(viewport());
    const QPalette &colors = palette();
    const QRect area = event->rect();
    const QPoint offset = contentOffset();
    const qsizetype first = std::max<qsizetype>(0, (area.top() - offset.y()) / m_lineHeight);
    const qsizetype last = std::min<qsizetype>(lineCount() - 1, (area.bottom() - offset.y()) / m_lineHeight);

    const auto [from, to] = std::minmax(m_anchor, m_cursor);
    QTextCharFormat selected;
    selected.setBackground(colors.brush(QPalette::Highlight));
    selected.setForeground(colors.brush(QPalette::HighlightedText));
    const qreal lineEndWidth = QFontMetricsF(font(), viewport()).horizontalAdvance(u' ');

    painter.setPen(colors.color(QPalette::Text));
    for (qsizetype i = first; i <= last; ++i) {
        QTextLayout &layout = layoutOf(i);
        const QPointF at(offset.x(), offset.y() + qreal(i) * m_lineHeight);
        QList<QTextLayout::FormatRange> selections;
        if (hasSelection() && from.line <= i && i <= to.line) {
            const qsizetype start = i == from.line ? from.column : 0;
            const qsizetype end = i == to.line ? to.column : lineLength(i);
            if (end > start)
                selections.append(QTextLayout::FormatRange{int(start), int(end - start), selected});
            if (i < to.line) // the line end is selected too
                painter.fillRect(
                    QRectF(at.x() + layout.lineAt(0).naturalTextWidth(), at.y(), lineEndWidth, m_lineHeight),
                    colors.brush(QPalette::Highlight));
        }
        layout.draw(&painter, at, selections);
        if (m_caretShown && i == m_cursor.line)
            layout.drawCursor(&painter, at, int(m_cursor.column), 1);
    }

    if (m_string.isEmpty() && !m_placeholderText.isEmpty()) {
        painter.setPen(colors.color(QPalette::PlaceholderText));
        painter.drawText(viewport()->rect().adjusted(kMargin, kMargin, -kMargin, -kMargin),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_placeholderText);
    }

    // A line laid out for the first time may be the widest yet; the scroll range follows after the paint.
    if (m_contentWidthGrew) {
        m_contentWidthGrew = false;
        QMetaObject::invokeMethod(this, &ResultView::updateScrollBars, Qt::QueuedConnection);
    }
}

void ResultView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ResultView::scrollContentsBy(int dx, int dy)
{
    viewport()->scroll(dx, dy);
}

void ResultView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fontChanged();
}

} // namespace zelvora
