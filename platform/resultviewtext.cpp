// The text side of ResultView: splitting the text at its line ends into line starts, the lines
// and their lengths, positions clamped into the text, the selection and its text, the word a double
// click takes, and the text document built for readers of the display.

#include "platform/resultview.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

namespace zelvora {

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
