// The widget side of ResultView: taking a new source, the layouts of the lines shown (cached by line
// index), the line height and the content width behind the scroll ranges, keeping the caret in view,
// mapping points to text positions, and painting the visible lines with the selection, the caret and
// the placeholder. The source's lines are read in resultviewtext.cpp; caret, keys and mouse live in
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

ResultView::ResultView(QWidget *parent) : QAbstractScrollArea(parent), m_lines(makeStringLines(QString()))
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    fontChanged();
}

ResultView::~ResultView() = default;

void ResultView::setLines(std::shared_ptr<const ResultLines> lines)
{
    if (!lines || lines->lineCount() < 1)
        lines = makeStringLines(QString());
    m_lines = std::move(lines);
    m_lineCount = m_lines->lineCount();
    m_empty = m_lineCount == 1 && m_lines->line(0).isEmpty();

    m_layouts.clear();
    m_document.reset();
    m_anchor = m_cursor = Position{};
    m_stickyX = -1;
    estimateContentWidth();
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

void ResultView::setString(const QString &text)
{
    setLines(makeStringLines(text));
}

void ResultView::setPlaceholderText(const QString &text)
{
    m_placeholderText = text;
    if (m_empty)
        viewport()->update();
}

QPoint ResultView::contentOffset() const
{
    return {kMargin - horizontalScrollBar()->value(), kMargin - verticalScrollBar()->value()};
}

ResultView::Position ResultView::positionAt(QPoint point) const
{
    const QPoint offset = contentOffset();
    const int y = point.y() - offset.y();
    const qsizetype index = std::min(y < 0 ? 0 : qsizetype(y / m_lineHeight), m_lineCount - 1);
    const QTextLine textLine = layoutOf(index).lineAt(0);
    return Position{index, textLine.xToCursor(point.x() - offset.x(), QTextLine::CursorBetweenCharacters)};
}

QRect ResultView::lineRect(qsizetype line) const
{
    const qint64 top = contentOffset().y() + qint64(line) * m_lineHeight;
    return {0, int(std::clamp<qint64>(top, std::numeric_limits<int>::min() / 2, std::numeric_limits<int>::max() / 2)),
            viewport()->width(), m_lineHeight};
}

QTextLayout &ResultView::layoutOf(qsizetype index) const
{
    // Layouts are held by pointer: a reference stays good while more are added.
    if (const auto found = m_layouts.find(index); found != m_layouts.end())
        return *found->second;
    auto layout = std::make_unique<QTextLayout>(line(index), font(), viewport());
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
    for (const qsizetype index : widthSamples()) {
        QTextLayout layout(line(index), font(), viewport());
        layOutOneLine(layout);
        noteLineWidth(layout.lineAt(0).naturalTextWidth());
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
    const qint64 height = 2 * qint64(kMargin) + qint64(m_lineCount) * m_lineHeight;
    // One pixel more for the caret after the last character.
    const qint64 width = 2 * qint64(kMargin) + qint64(std::ceil(m_contentWidth)) + 1;
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
        vertical->setValue(clampToInt(top + m_lineHeight - height + (m_cursor.line == m_lineCount - 1 ? kMargin : 0)));

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
    const qsizetype last = std::min<qsizetype>(m_lineCount - 1, (area.bottom() - offset.y()) / m_lineHeight);

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
            const qsizetype end = i == to.line ? to.column : layout.text().size();
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

    if (m_empty && !m_placeholderText.isEmpty()) {
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
