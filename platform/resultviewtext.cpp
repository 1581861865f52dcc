// The text side of ResultView: the string source, which splits one QString at its line ends, and the
// view's text model on top of any source: its lines, positions clamped into them, the selection and
// its text, the word a double click takes, the lines sampled for the horizontal range, and the text
// document built for readers of the display. Nothing here reads more lines than the caller asked
// for, except a copy or a document of the whole text.

#include "platform/resultview.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <utility>
#include <vector>

namespace zelvora {

namespace {

// Lines measured for the horizontal range (the longest of those sampled, up to a length any name
// has); any other line widens the range when it is first laid out.
constexpr qsizetype kWidthSamples = 256;
constexpr qsizetype kLongestSample = 4096;
// Lines whose length hints are read for that: the first ones and some spread over the rest.
constexpr qsizetype kHeadSamples = 1000;
constexpr qsizetype kSpreadSamples = 3000;

// Of `count` lines whose k-th is `entry(k)` = (index, length), those worth measuring: the widest
// line is nearly always among the longest, and measuring all would cost what laying them out costs.
template <typename Entry> QList<qsizetype> longestOf(qsizetype count, const Entry &entry)
{
    qsizetype longest = 0;
    for (qsizetype k = 0; k < count; ++k)
        if (const qsizetype length = entry(k).second; length <= kLongestSample)
            longest = std::max(longest, length);
    const qsizetype threshold = longest - longest / 4;
    QList<qsizetype> chosen;
    for (qsizetype k = 0; k < count && chosen.size() < kWidthSamples; ++k)
        if (const auto [index, length] = entry(k); length >= threshold && length <= kLongestSample)
            chosen.append(index);
    return chosen;
}

class StringLines final : public ResultLines
{
public:
    explicit StringLines(QString text) : m_text(std::move(text))
    {
        const QChar *chars = m_text.constData();
        const qsizetype size = m_text.size();
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
            m_starts.push_back(i + 1);
        }
        // Every length is known now; the view would only see a sample of them.
        m_longLines = longestOf(lineCount(), [this](qsizetype i) { return std::pair(i, lineLengthHint(i)); });
    }

    qsizetype lineCount() const override { return qsizetype(m_starts.size()); }
    QString line(qsizetype index) const override
    {
        if (index < 0 || index >= lineCount())
            return {};
        const qsizetype start = m_starts[std::size_t(index)];
        return m_text.sliced(start, lineEnd(index) - start);
    }
    qsizetype lineLengthHint(qsizetype index) const override { return lineEnd(index) - m_starts[std::size_t(index)]; }
    QList<qsizetype> longLines() const override { return m_longLines; }
    QString text() const override { return m_text; }

private:
    qsizetype lineEnd(qsizetype index) const
    {
        const std::size_t next = std::size_t(index) + 1;
        if (next == m_starts.size())
            return m_text.size();
        const qsizetype nextStart = m_starts[next];
        // A CR LF pair is one line end.
        if (m_text.at(nextStart - 1) == u'\n' && nextStart - 2 >= m_starts[std::size_t(index)] &&
            m_text.at(nextStart - 2) == u'\r')
            return nextStart - 2;
        return nextStart - 1;
    }

    QString m_text;
    // Where each line starts in m_text; a line ends at the next line's start less its line end.
    std::vector<qsizetype> m_starts{0};
    QList<qsizetype> m_longLines;
};

} // namespace

std::shared_ptr<const ResultLines> makeStringLines(const QString &text)
{
    return std::make_shared<const StringLines>(text);
}

QString ResultView::line(qsizetype index) const
{
    if (index < 0 || index >= m_lineCount)
        return {};
    return m_lines->line(index);
}

qsizetype ResultView::lineLength(qsizetype index) const
{
    // A shown line has its text in its layout already.
    if (const auto found = m_layouts.find(index); found != m_layouts.end())
        return found->second->text().size();
    return line(index).size();
}

ResultView::Position ResultView::endOfText() const
{
    return Position{m_lineCount - 1, lineLength(m_lineCount - 1)};
}

ResultView::Position ResultView::clamped(Position position) const
{
    position.line = std::clamp<qsizetype>(position.line, 0, m_lineCount - 1);
    position.column = std::clamp<qsizetype>(position.column, 0, lineLength(position.line));
    return position;
}

QList<qsizetype> ResultView::widthSamples() const
{
    QList<qsizetype> candidates = m_lines->longLines();
    const qsizetype head = std::min(m_lineCount, kHeadSamples);
    const qsizetype rest = m_lineCount - head;
    const qsizetype spread = std::min(rest, kSpreadSamples);
    candidates.reserve(candidates.size() + head + spread);
    for (qsizetype i = 0; i < head; ++i)
        candidates.append(i);
    for (qsizetype k = 0; k < spread; ++k)
        candidates.append(head + rest * k / spread);
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());

    // A source's own suggestions might lie outside its lines.
    candidates.removeIf([this](qsizetype index) { return index < 0 || index >= m_lineCount; });
    std::vector<qsizetype> hints;
    hints.reserve(std::size_t(candidates.size()));
    for (const qsizetype index : candidates)
        hints.push_back(m_lines->lineLengthHint(index));
    return longestOf(candidates.size(), [&](qsizetype k) { return std::pair(candidates[k], hints[std::size_t(k)]); });
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
        return line(from.line).sliced(from.column, to.column - from.column);
    QString text = line(from.line).sliced(from.column);
    for (qsizetype i = from.line + 1; i < to.line; ++i)
        text.append(u'\n').append(line(i));
    text.append(u'\n').append(line(to.line).first(to.column));
    return text;
}

void ResultView::selectAll()
{
    setSelection(Position{}, endOfText());
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

std::pair<ResultView::Position, ResultView::Position> ResultView::wordAround(Position position) const
{
    const QString text = line(position.line);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text.constData(), text.size());
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
    return {Position{position.line, start}, Position{position.line, end}};
}

QTextDocument *ResultView::document() const
{
    if (!m_document) {
        m_document = std::make_unique<QTextDocument>();
        m_document->setUndoRedoEnabled(false);
        m_document->setDefaultFont(font());
        QTextCursor cursor(m_document.get());
        for (qsizetype i = 0; i < m_lineCount; ++i) {
            if (i > 0)
                cursor.insertBlock();
            cursor.insertText(line(i));
        }
    }
    return m_document.get();
}

} // namespace zelvora
