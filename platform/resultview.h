#pragma once

#include "platform/resultlines.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPoint>
#include <QString>
#include <compare>
#include <functional>
#include <memory>
#include <unordered_map>
#include <utility>

class QMenu;
class QTextDocument;
class QTextLayout;

namespace zelvora {

// A read-only view of one result text, read line by line from a ResultLines source. All lines have
// the same height and only the visible ones are made and laid out, so a list of 1,000,000 names
// shows as fast as one of ten and costs the view nothing per line; a text document would build a
// block per line first. The text can be selected with the mouse and the keyboard and copied.
//
// The class is split over three files: resultviewtext.cpp (sources, positions, words, selected
// text), resultview.cpp (the widget, scroll ranges, painting) and resultviewinput.cpp (caret, keys,
// mouse, timers).
class ResultView : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(QString placeholderText READ placeholderText WRITE setPlaceholderText)

public:
    // A place between two characters: a line and a UTF-16 column in it.
    struct Position
    {
        qsizetype line = 0;
        qsizetype column = 0;
        // NOLINTNEXTLINE(modernize-use-nullptr): a false finding in the defaulted comparison
        auto operator<=>(const Position &) const = default;
    };

    explicit ResultView(QWidget *parent = nullptr);
    ~ResultView() override;
    Q_DISABLE_COPY_MOVE(ResultView)

    // Replaces the whole text, clears the selection and scrolls to the top. Reads a few thousand
    // length hints and at most a few hundred lines, whatever the number of lines. A null source or
    // one without lines shows an empty text.
    void setLines(std::shared_ptr<const ResultLines> lines);
    // setLines with the lines of `text` (see makeStringLines); string() then gives `text` as given.
    void setString(const QString &text);
    // The source's whole text; a source other than a string's builds it on each call.
    QString string() const { return m_lines->text(); }

    // The shown lines; an empty text is one empty line.
    qsizetype lineCount() const { return m_lineCount; }
    QString line(qsizetype index) const;

    // Shown in place of an empty text.
    QString placeholderText() const { return m_placeholderText; }
    void setPlaceholderText(const QString &text);

    // The selection runs from the anchor to the cursor, which has the caret.
    Position anchorPosition() const { return m_anchor; }
    Position cursorPosition() const { return m_cursor; }
    // Positions outside the text are moved to its nearest place.
    void setSelection(Position anchor, Position cursor);
    bool hasSelection() const { return m_anchor != m_cursor; }
    // The selected text with its lines joined by LF, as a copy gives it.
    QString selectedText() const;
    void selectAll();
    void copy() const;

    // The text position under a point of the viewport, and the viewport rectangle of a line.
    Position positionAt(QPoint point) const;
    QRect lineRect(qsizetype line) const;

    // Copy and Select All, as the view's right-click menu shows them; the caller owns the menu.
    QMenu *createStandardContextMenu(QWidget *parent = nullptr);

    // The tooltip of a line (empty: none), asked for as the pointer rests on it.
    void setLineToolTip(std::function<QString(qsizetype line)> toolTip) { m_lineToolTip = std::move(toolTip); }

Q_SIGNALS:
    // Sent before the right-click menu shows, for the line it was opened on; a receiver connected
    // directly may add its own items to `menu`.
    void contextMenuAboutToShow(QMenu *menu, qsizetype line);

public:
    // The shown lines as a plain text document, one block per line, for readers of the display.
    // Built on request and dropped by the next setLines: painting never needs it.
    QTextDocument *document() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    enum class Move {
        NextChar,
        PreviousChar,
        NextWord,
        PreviousWord,
        StartOfLine,
        EndOfLine,
        NextLine,
        PreviousLine,
        NextPage,
        PreviousPage,
        StartOfDocument,
        EndOfDocument,
    };

    qsizetype lineLength(qsizetype index) const;
    Position endOfText() const;
    Position clamped(Position position) const;
    // The lines whose widths size the horizontal range before they are shown.
    QList<qsizetype> widthSamples() const;
    // The word at `position`, or the gap between words it is in, as a double click selects it.
    std::pair<Position, Position> wordAround(Position position) const;
    QTextLayout &layoutOf(qsizetype index) const;
    qreal cursorX(Position position) const;
    Position moved(Position from, Move move) const;

    void moveCursor(Position to, bool keepAnchor);
    void selectWordAt(Position position);
    void selectLineAt(Position position);
    void extendSelectionTo(QPoint point);
    void ensureCursorVisible();
    void noteLineWidth(qreal width) const;
    void estimateContentWidth();
    void fontChanged();
    void updateScrollBars();
    void restartCaretBlink();
    void publishSelection() const;
    int visibleLineCount() const;
    QPoint contentOffset() const;

    // Never null; its count and emptiness are read once, as the source never changes.
    std::shared_ptr<const ResultLines> m_lines;
    qsizetype m_lineCount = 1;
    bool m_empty = true;
    QString m_placeholderText;
    int m_lineHeight = 1;
    // The widest line laid out or measured so far; the horizontal scroll range follows it.
    mutable qreal m_contentWidth = 0;
    mutable bool m_contentWidthGrew = false;
    // Layouts of the lines painted lately, dropped when the text or the font changes.
    mutable std::unordered_map<qsizetype, std::unique_ptr<QTextLayout>> m_layouts;
    mutable std::unique_ptr<QTextDocument> m_document;

    Position m_anchor;
    Position m_cursor;
    // The caret's x while moving up and down, so a short line in between does not pull it left.
    qreal m_stickyX = -1;
    bool m_caretShown = false;
    QBasicTimer m_caretBlink;

    bool m_selecting = false;
    bool m_mightDrag = false;
    QPoint m_pressPoint;
    QPoint m_lastMousePoint;
    QBasicTimer m_autoScroll;
    std::function<QString(qsizetype)> m_lineToolTip;
    QBasicTimer m_tripleClick;
    QPoint m_tripleClickPoint;
};

} // namespace zelvora
