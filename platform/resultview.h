#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPoint>
#include <QString>
#include <QStringView>
#include <compare>
#include <memory>
#include <unordered_map>
#include <vector>

class QMenu;
class QTextDocument;
class QTextLayout;

namespace zelvora {

// A read-only view of one result text. It keeps the text exactly as given (CR LF line ends and
// all), which is what `string()` returns, and shows one line per line end (CR LF, LF, CR, U+2028 or
// U+2029). All lines have the same height and only the visible ones are laid out, so a list of
// 100,000 names shows as fast as one of ten; a text document would build a block per line first.
// The text can be selected with the mouse and the keyboard and copied.
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
        auto operator<=>(const Position &) const = default;
    };

    explicit ResultView(QWidget *parent = nullptr);
    ~ResultView() override;

    // Replaces the whole text, clears the selection and scrolls to the top.
    void setString(const QString &text);
    QString string() const { return m_string; }

    // The shown lines; an empty text is one empty line.
    qsizetype lineCount() const { return qsizetype(m_lineStarts.size()); }
    QStringView line(qsizetype index) const;

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

    // The shown lines as a plain text document, one block per line, for readers of the display.
    // Built on request and dropped by the next setString: painting never needs it.
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

    qsizetype lineEnd(qsizetype index) const;
    qsizetype lineLength(qsizetype index) const { return lineEnd(index) - m_lineStarts[std::size_t(index)]; }
    Position clamped(Position position) const;
    QTextLayout &layoutOf(qsizetype index) const;
    qreal cursorX(Position position) const;
    Position moved(Position from, Move move) const;
    Position wordStartBefore(Position from) const;
    Position wordEndAfter(Position from) const;

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

    QString m_string;
    // Where each line starts in m_string; a line ends at the next line's start less its line end.
    std::vector<qsizetype> m_lineStarts{0};
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
    QBasicTimer m_tripleClick;
    QPoint m_tripleClickPoint;
};

} // namespace zelvora
