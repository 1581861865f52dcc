// The input side of ResultView: caret moves by character, word, line, page and document, the keys
// that make them (Shift selects), mouse selection by press, drag, double click (a word) and triple
// click (a line), dragging the selection out, auto-scroll while a drag is outside the view, Control
// and the wheel to zoom, the right-click menu, and the caret's blink. Each move reads only the lines
// it passes through; the source's text is read in resultviewtext.cpp.

#include "platform/resultview.h"

#include <QApplication>
#include <QDrag>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextLayout>
#include <QToolTip>
#include <algorithm>

namespace zelvora {

namespace {

constexpr int kAutoScrollMs = 50;

} // namespace

ResultView::Position ResultView::moved(Position from, Move move) const
{
    const QTextLayout &layout = layoutOf(from.line);
    const qsizetype length = layout.text().size();
    const qsizetype lastLine = m_lineCount - 1;
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
        return endOfText();
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
    const auto [start, end] = wordAround(position);
    m_anchor = start;
    moveCursor(end, true);
}

void ResultView::selectLineAt(Position position)
{
    m_anchor = Position{position.line, 0};
    // With its line end, as a triple click in a text edit takes it.
    moveCursor(position.line + 1 < m_lineCount ? Position{position.line + 1, 0}
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
    const bool extend = event->modifiers().testFlag(Qt::ShiftModifier);
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
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
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
    selectAllAction->setEnabled(!m_empty);
    connect(selectAllAction, &QAction::triggered, this, [this] {
        selectAll();
        publishSelection();
    });
    return menu;
}

void ResultView::contextMenuEvent(QContextMenuEvent *event)
{
    const std::unique_ptr<QMenu> menu(createStandardContextMenu(this));
    // From the keyboard the menu is about the caret's line.
    const qsizetype line = event->reason() == QContextMenuEvent::Mouse ? positionAt(event->pos()).line : m_cursor.line;
    Q_EMIT contextMenuAboutToShow(menu.get(), line);
    menu->exec(event->globalPos());
}

bool ResultView::viewportEvent(QEvent *event)
{
    auto *help = event->type() == QEvent::ToolTip ? dynamic_cast<QHelpEvent *>(event) : nullptr;
    if (help && m_lineToolTip) {
        const Position at = positionAt(help->pos());
        const QString tip = lineRect(at.line).contains(help->pos()) ? m_lineToolTip(at.line) : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport(), lineRect(at.line));
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
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

} // namespace zelvora
