#include "platform/resultview.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextCursor>
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
constexpr int kAutoScrollMs = 50;
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

void ResultView::setString(const QString &text)
{
    m_string = text;
    m_lineStarts.clear();
    m_lineStarts.push_back(0);
    const QChar *chars = m_string.constData();
    const qsizetype size = m_string.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = chars[i].unicode();
        // Nearly every character lies between CR and the two Unicode separators.
        if ((c > u'\r' && c < 0x2028) || c > 0x2029)
            continue;
        if (c == u'\r') {
            if (i + 1 < size && chars[i + 1] == u'\n')
                ++i;
        } else if (c != u'\n' && c < 0x2028) {
            continue;
        }
        m_lineStarts.push_back(i + 1);
    }

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

QStringView ResultView::line(qsizetype index) const
{
    if (index < 0 || index >= lineCount())
        return {};
    const qsizetype start = m_lineStarts[std::size_t(index)];
    return QStringView(m_string).sliced(start, lineEnd(index) - start);
}

qsizetype ResultView::lineEnd(qsizetype index) const
{
    const std::size_t next = std::size_t(index) + 1;
    if (next == m_lineStarts.size())
        return m_string.size();
    const qsizetype nextStart = m_lineStarts[next];
    // A CR LF pair is one line end.
    if (m_string.at(nextStart - 1) == u'\n' && nextStart - 2 >= m_lineStarts[std::size_t(index)] &&
        m_string.at(nextStart - 2) == u'\r')
        return nextStart - 2;
    return nextStart - 1;
}

void ResultView::setPlaceholderText(const QString &text)
{
    m_placeholderText = text;
    if (m_string.isEmpty())
        viewport()->update();
}

ResultView::Position ResultView::clamped(Position position) const
{
    position.line = std::clamp<qsizetype>(position.line, 0, lineCount() - 1);
    position.column = std::clamp<qsizetype>(position.column, 0, lineLength(position.line));
    return position;
}

void ResultView::setSelection(Position anchor, Position cursor)
{
    m_anchor = clamped(anchor);
    m_cursor = clamped(cursor);
    m_stickyX = -1;
    restartCaretBlink();
    viewport()->update();
}

QString ResultView::selectedText() const
{
    if (!hasSelection())
        return {};
    const auto [from, to] = std::minmax(m_anchor, m_cursor);
    if (from.line == to.line)
        return line(from.line).sliced(from.column, to.column - from.column).toString();
    QString text;
    text.reserve(m_lineStarts[std::size_t(to.line)] + to.column - m_lineStarts[std::size_t(from.line)] - from.column);
    text.append(line(from.line).sliced(from.column));
    for (qsizetype i = from.line + 1; i < to.line; ++i)
        text.append(u'\n').append(line(i));
    text.append(u'\n').append(line(to.line).first(to.column));
    return text;
}

void ResultView::selectAll()
{
    const qsizetype last = lineCount() - 1;
    setSelection(Position{}, Position{last, lineLength(last)});
}

void ResultView::copy() const
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void ResultView::publishSelection() const
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
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

ResultView::Position ResultView::moved(Position from, Move move) const
{
    const QTextLayout &layout = layoutOf(from.line);
    const qsizetype length = lineLength(from.line);
    const qsizetype lastLine = lineCount() - 1;
    switch (move) {
    case Move::NextChar:
    case Move::NextWord:
        if (from.column < length) {
            const auto mode = move == Move::NextChar ? QTextLayout::SkipCharacters : QTextLayout::SkipWords;
            return Position{from.line, layout.nextCursorPosition(int(from.column), mode)};
        }
        return from.line < lastLine ? Position{from.line + 1, 0} : from;
    case Move::PreviousChar:
    case Move::PreviousWord:
        if (from.column > 0) {
            const auto mode = move == Move::PreviousChar ? QTextLayout::SkipCharacters : QTextLayout::SkipWords;
            return Position{from.line, layout.previousCursorPosition(int(from.column), mode)};
        }
        return from.line > 0 ? Position{from.line - 1, lineLength(from.line - 1)} : from;
    case Move::StartOfLine:
        return Position{from.line, 0};
    case Move::EndOfLine:
        return Position{from.line, length};
    case Move::StartOfDocument:
        return Position{};
    case Move::EndOfDocument:
        return Position{lastLine, lineLength(lastLine)};
    case Move::NextLine:
    case Move::PreviousLine:
    case Move::NextPage:
    case Move::PreviousPage:
        break;
    }

    const bool page = move == Move::NextPage || move == Move::PreviousPage;
    const bool down = move == Move::NextLine || move == Move::NextPage;
    const qsizetype step = page ? std::max(1, visibleLineCount() - 1) : 1;
    // Past the first or the last line the caret goes to that line's start or end.
    if (down && from.line == lastLine)
        return Position{lastLine, length};
    if (!down && from.line == 0)
        return Position{};
    const qsizetype target = std::clamp<qsizetype>(from.line + (down ? step : -step), 0, lastLine);
    const qreal x = m_stickyX >= 0 ? m_stickyX : cursorX(from);
    return Position{target, layoutOf(target).lineAt(0).xToCursor(x, QTextLine::CursorBetweenCharacters)};
}

void ResultView::moveCursor(Position to, bool keepAnchor)
{
    m_cursor = clamped(to);
    if (!keepAnchor)
        m_anchor = m_cursor;
    restartCaretBlink();
    ensureCursorVisible();
    viewport()->update();
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

void ResultView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        publishSelection();
        return;
    }

    static constexpr struct
    {
        QKeySequence::StandardKey key;
        Move move;
        bool select;
    } keyMoves[] = {
        {QKeySequence::MoveToNextChar, Move::NextChar, false},
        {QKeySequence::SelectNextChar, Move::NextChar, true},
        {QKeySequence::MoveToPreviousChar, Move::PreviousChar, false},
        {QKeySequence::SelectPreviousChar, Move::PreviousChar, true},
        {QKeySequence::MoveToNextWord, Move::NextWord, false},
        {QKeySequence::SelectNextWord, Move::NextWord, true},
        {QKeySequence::MoveToPreviousWord, Move::PreviousWord, false},
        {QKeySequence::SelectPreviousWord, Move::PreviousWord, true},
        {QKeySequence::MoveToStartOfLine, Move::StartOfLine, false},
        {QKeySequence::SelectStartOfLine, Move::StartOfLine, true},
        {QKeySequence::MoveToStartOfBlock, Move::StartOfLine, false},
        {QKeySequence::SelectStartOfBlock, Move::StartOfLine, true},
        {QKeySequence::MoveToEndOfLine, Move::EndOfLine, false},
        {QKeySequence::SelectEndOfLine, Move::EndOfLine, true},
        {QKeySequence::MoveToEndOfBlock, Move::EndOfLine, false},
        {QKeySequence::SelectEndOfBlock, Move::EndOfLine, true},
        {QKeySequence::MoveToNextLine, Move::NextLine, false},
        {QKeySequence::SelectNextLine, Move::NextLine, true},
        {QKeySequence::MoveToPreviousLine, Move::PreviousLine, false},
        {QKeySequence::SelectPreviousLine, Move::PreviousLine, true},
        {QKeySequence::MoveToNextPage, Move::NextPage, false},
        {QKeySequence::SelectNextPage, Move::NextPage, true},
        {QKeySequence::MoveToPreviousPage, Move::PreviousPage, false},
        {QKeySequence::SelectPreviousPage, Move::PreviousPage, true},
        {QKeySequence::MoveToStartOfDocument, Move::StartOfDocument, false},
        {QKeySequence::SelectStartOfDocument, Move::StartOfDocument, true},
        {QKeySequence::MoveToEndOfDocument, Move::EndOfDocument, false},
        {QKeySequence::SelectEndOfDocument, Move::EndOfDocument, true},
    };
    for (const auto &keyMove : keyMoves) {
        if (!event->matches(keyMove.key))
            continue;
        const bool page = keyMove.move == Move::NextPage || keyMove.move == Move::PreviousPage;
        const bool keepsX = page || keyMove.move == Move::NextLine || keyMove.move == Move::PreviousLine;
        const qreal x = keepsX ? (m_stickyX >= 0 ? m_stickyX : cursorX(m_cursor)) : -1;
        const Position to = moved(m_cursor, keyMove.move);
        if (page) {
            // The page turns with the caret, which keeps its place on the screen.
            QScrollBar *vertical = verticalScrollBar();
            vertical->setValue(vertical->value() + int(to.line - m_cursor.line) * m_lineHeight);
        }
        moveCursor(to, keyMove.select);
        m_stickyX = x;
        if (keyMove.select)
            publishSelection();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void ResultView::selectWordAt(Position position)
{
    const QStringView text = line(position.line);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text.data(), text.size());
    finder.setPosition(position.column);
    qsizetype start = position.column;
    if (!finder.isAtBoundary() || !(finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem) ||
        position.column == text.size())
        start = finder.toPreviousBoundary();
    start = std::max<qsizetype>(start, 0);
    finder.setPosition(start);
    qsizetype end = finder.toNextBoundary();
    if (end < 0)
        end = text.size();
    m_anchor = Position{position.line, start};
    moveCursor(Position{position.line, end}, true);
}

void ResultView::selectLineAt(Position position)
{
    m_anchor = Position{position.line, 0};
    // With its line end, as a triple click in a text edit takes it.
    moveCursor(position.line + 1 < lineCount() ? Position{position.line + 1, 0}
                                               : Position{position.line, lineLength(position.line)},
               true);
}

void ResultView::extendSelectionTo(QPoint point)
{
    moveCursor(positionAt(point), true);
}

void ResultView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    const Position at = positionAt(point);
    m_stickyX = -1;
    m_lastMousePoint = point;
    if (m_tripleClick.isActive() &&
        (point - m_tripleClickPoint).manhattanLength() < QApplication::startDragDistance()) {
        m_tripleClick.stop();
        selectLineAt(at);
        return;
    }
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const auto [from, to] = std::minmax(m_anchor, m_cursor);
    if (!extend && hasSelection() && from <= at && at < to) {
        // A press in the selection may start dragging it out.
        m_mightDrag = true;
        m_pressPoint = point;
        return;
    }
    moveCursor(at, extend);
    m_selecting = true;
}

void ResultView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (m_mightDrag) {
        if ((point - m_pressPoint).manhattanLength() < QApplication::startDragDistance())
            return;
        m_mightDrag = false;
        auto *data = new QMimeData;
        data->setText(selectedText());
        auto *drag = new QDrag(this);
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction);
        return;
    }
    if (!m_selecting || !(event->buttons() & Qt::LeftButton))
        return;
    m_lastMousePoint = point;
    extendSelectionTo(point);
    // Outside the view the selection goes on growing while the text scrolls.
    if (viewport()->rect().contains(point))
        m_autoScroll.stop();
    else if (!m_autoScroll.isActive())
        m_autoScroll.start(kAutoScrollMs, this);
}

void ResultView::mouseReleaseEvent(QMouseEvent *event)
{
    m_autoScroll.stop();
    if (m_mightDrag) {
        // A click in the selection that dragged nothing.
        m_mightDrag = false;
        moveCursor(positionAt(event->position().toPoint()), false);
    }
    if (m_selecting) {
        m_selecting = false;
        publishSelection();
    }
}

void ResultView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    m_mightDrag = false;
    m_selecting = false;
    selectWordAt(positionAt(point));
    publishSelection();
    m_tripleClickPoint = point;
    m_tripleClick.start(QApplication::doubleClickInterval(), this);
}

void ResultView::wheelEvent(QWheelEvent *event)
{
    // A read-only text view zooms with the Control key, as a plain text edit does.
    if (event->modifiers() & Qt::ControlModifier) {
        QFont zoomed = font();
        const qreal size = zoomed.pointSizeF() + event->angleDelta().y() / 120.0;
        if (size > 0) {
            zoomed.setPointSizeF(size);
            setFont(zoomed);
        }
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

QMenu *ResultView::createStandardContextMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    const auto withShortcut = [](const QString &text, QKeySequence::StandardKey key) {
        const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
        return shortcut.isEmpty() ? text : text + u'\t' + shortcut;
    };
    QAction *copyAction = menu->addAction(withShortcut(tr("&Copy"), QKeySequence::Copy));
    copyAction->setObjectName(QStringLiteral("edit-copy"));
    copyAction->setEnabled(hasSelection());
    connect(copyAction, &QAction::triggered, this, [this] { copy(); });
    menu->addSeparator();
    QAction *selectAllAction = menu->addAction(withShortcut(tr("Select All"), QKeySequence::SelectAll));
    selectAllAction->setObjectName(QStringLiteral("select-all"));
    selectAllAction->setEnabled(!m_string.isEmpty());
    connect(selectAllAction, &QAction::triggered, this, [this] {
        selectAll();
        publishSelection();
    });
    return menu;
}

void ResultView::contextMenuEvent(QContextMenuEvent *event)
{
    const std::unique_ptr<QMenu> menu(createStandardContextMenu(this));
    menu->exec(event->globalPos());
}

void ResultView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    restartCaretBlink();
    viewport()->update();
}

void ResultView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    restartCaretBlink();
    viewport()->update();
}

void ResultView::restartCaretBlink()
{
    if (!hasFocus()) {
        m_caretBlink.stop();
        m_caretShown = false;
        return;
    }
    m_caretShown = true;
    const int flashTime = QApplication::cursorFlashTime();
    if (flashTime >= 2)
        m_caretBlink.start(flashTime / 2, this);
    else
        m_caretBlink.stop();
}

void ResultView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_caretBlink.timerId()) {
        m_caretShown = !m_caretShown;
        viewport()->update(lineRect(m_cursor.line));
    } else if (event->timerId() == m_autoScroll.timerId()) {
        extendSelectionTo(m_lastMousePoint);
    } else if (event->timerId() == m_tripleClick.timerId()) {
        m_tripleClick.stop();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

QTextDocument *ResultView::document() const
{
    if (!m_document) {
        m_document = std::make_unique<QTextDocument>();
        m_document->setUndoRedoEnabled(false);
        m_document->setDefaultFont(font());
        QTextCursor cursor(m_document.get());
        for (qsizetype i = 0; i < lineCount(); ++i) {
            if (i > 0)
                cursor.insertBlock();
            cursor.insertText(line(i).toString());
        }
    }
    return m_document.get();
}

} // namespace zelvora
