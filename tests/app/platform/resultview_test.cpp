#include "platform/resultview.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

using Position = ResultView::Position;

// The lines a plain text edit shows for `text`: its document's blocks, each broken at U+2028.
QStringList linesOfATextEdit(const QString &text)
{
    QTextDocument document;
    document.setPlainText(text);
    QStringList lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        lines.append(block.text().split(QChar::LineSeparator));
    return lines;
}

// Lines made on request from `make`; counts what the view asks for, the property that keeps a list of
// a million names cheap, and fails a request outside its lines.
class CountingLines final : public ResultLines
{
public:
    CountingLines(qsizetype count, QString (*make)(qsizetype), QList<qsizetype> longLines = {})
        : m_count(count), m_make(make), m_longLines(std::move(longLines))
    {}
    qsizetype lineCount() const override { return m_count; }
    QString line(qsizetype index) const override
    {
        EXPECT_TRUE(index >= 0 && index < m_count) << "line " << index;
        ++made;
        return m_make(index);
    }
    qsizetype lineLengthHint(qsizetype index) const override
    {
        EXPECT_TRUE(index >= 0 && index < m_count) << "hint " << index;
        ++hinted;
        return 16;
    }
    QList<qsizetype> longLines() const override { return m_longLines; }

    mutable qsizetype made = 0;
    mutable qsizetype hinted = 0;

private:
    qsizetype m_count;
    QString (*m_make)(qsizetype);
    QList<qsizetype> m_longLines;
};

QString nameOfAMillion(qsizetype index)
{
    return index == 0 ? u"Found 1000000 missing roms:"_s : index == 1 ? QString() : u"game %1.zip"_s.arg(index);
}

QStringList linesOf(const ResultView &view)
{
    QStringList lines;
    for (qsizetype i = 0; i < view.lineCount(); ++i)
        lines.append(view.line(i));
    return lines;
}

class ResultViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view.resize(400, 200);
        view.show();
    }

    // A point in the middle of `line` at the viewport's x.
    QPoint pointIn(qsizetype line, int x) const { return QPoint(x, view.lineRect(line).center().y()); }
    // The viewport x of the place before `column` of `line`.
    int xOf(Position position) const
    {
        for (int x = 0; x < view.viewport()->width(); ++x)
            if (view.positionAt(pointIn(position.line, x)) == position)
                return x;
        ADD_FAILURE() << "no point shows column " << position.column << " of line " << position.line;
        return 0;
    }

    ResultView view;
};

TEST_F(ResultViewTest, ShowsTheLinesATextEditShowsAndKeepsTheTextAsGiven)
{
    const QString cases[] = {
        u""_s,
        u"a"_s,
        u"Found 1 missing roms:\r\n\r\nabc.zip"_s,
        u"a\nb\rc\r\nd"_s,
        u"a\r\r\nb"_s,
        u"a\r\n"_s,
        u"\n\r"_s,
        u"a\u2028b\u2029c"_s,
        u"tab\there\u0001"_s,
    };
    for (const QString &text : cases) {
        SCOPED_TRACE(text.toStdString());
        view.setString(text);
        EXPECT_EQ(view.string(), text);
        EXPECT_EQ(linesOf(view), linesOfATextEdit(text));
    }

    // Every short mix of line ends and letters, at random.
    const QChar alphabet[] = {u'a', u'\r', u'\n', QChar::LineSeparator, QChar::ParagraphSeparator, u'\t'};
    QRandomGenerator random(4);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        for (int length = random.bounded(9); length > 0; --length)
            text.append(alphabet[random.bounded(int(std::size(alphabet)))]);
        view.setString(text);
        ASSERT_EQ(linesOf(view), linesOfATextEdit(text)) << text.toStdString();
    }
}

TEST_F(ResultViewTest, DocumentHoldsOneBlockPerShownLine)
{
    view.setString(u"Found 2 videos:\r\n\r\na.xmv\rb.xmv"_s);
    QStringList blocks;
    for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next())
        blocks.append(block.text());
    EXPECT_EQ(blocks, linesOf(view));

    view.setString(u"x"_s);
    EXPECT_EQ(view.document()->blockCount(), 1) << "a new text makes a new document";
    EXPECT_EQ(view.document()->firstBlock().text(), u"x"_s);
}

TEST_F(ResultViewTest, SelectedTextJoinsItsLinesWithLf)
{
    view.setString(u"Found 2:\r\n\r\nabc\r\ndef"_s);
    const struct
    {
        const char *name;
        Position anchor;
        Position cursor;
        QString selected;
    } cases[] = {
        {"nothing", {2, 1}, {2, 1}, QString()},
        {"within a line", {2, 1}, {2, 3}, u"bc"_s},
        {"backwards", {2, 3}, {2, 1}, u"bc"_s},
        {"across lines", {0, 6}, {3, 2}, u"2:\n\nabc\nde"_s},
        {"a line with its end", {2, 0}, {3, 0}, u"abc\n"_s},
        {"outside the text is clamped", {-5, -1}, {99, 99}, u"Found 2:\n\nabc\ndef"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        view.setSelection(c.anchor, c.cursor);
        EXPECT_EQ(view.selectedText(), c.selected);
        EXPECT_EQ(view.hasSelection(), !c.selected.isEmpty());
        EXPECT_EQ(view.string(), u"Found 2:\r\n\r\nabc\r\ndef"_s) << "selecting changes no text";
    }

    view.setString(u"new"_s);
    EXPECT_FALSE(view.hasSelection()) << "a new text drops the selection";
}

TEST_F(ResultViewTest, KeysMoveTheCaretAndShiftSelects)
{
    // The short line in the middle must not pull the caret left on its way down.
    view.setString(u"abcdef\r\nab\r\nabcdef"_s);
    const struct
    {
        const char *name;
        Position from;
        QKeyCombination key;
        Position anchor;
        Position cursor;
    } cases[] = {
        {"right", {0, 1}, Qt::Key_Right, {0, 2}, {0, 2}},
        {"shift right", {0, 1}, Qt::ShiftModifier | Qt::Key_Right, {0, 1}, {0, 2}},
        {"right at a line end", {0, 6}, Qt::Key_Right, {1, 0}, {1, 0}},
        {"left at a line start", {1, 0}, Qt::Key_Left, {0, 6}, {0, 6}},
        {"shift end", {1, 1}, Qt::ShiftModifier | Qt::Key_End, {1, 1}, {1, 2}},
        {"home", {2, 4}, Qt::Key_Home, {2, 0}, {2, 0}},
        {"down on the last line", {2, 3}, Qt::Key_Down, {2, 6}, {2, 6}},
        {"up on the first line", {0, 3}, Qt::Key_Up, {0, 0}, {0, 0}},
        {"shift control end", {0, 2}, Qt::ShiftModifier | Qt::ControlModifier | Qt::Key_End, {0, 2}, {2, 6}},
        {"control home", {2, 2}, Qt::ControlModifier | Qt::Key_Home, {0, 0}, {0, 0}},
        {"control a", {1, 1}, Qt::ControlModifier | Qt::Key_A, {0, 0}, {2, 6}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        view.setSelection(c.from, c.from);
        QTest::keyClick(&view, c.key.key(), c.key.keyboardModifiers());
        EXPECT_EQ(view.anchorPosition(), c.anchor);
        EXPECT_EQ(view.cursorPosition(), c.cursor);
    }

    view.setSelection({0, 5}, {0, 5});
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(view.cursorPosition(), (Position{1, 2}));
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(view.cursorPosition(), (Position{2, 5})) << "the caret keeps its column past a short line";
    EXPECT_EQ(view.selectedText(), u"f\nab\nabcde"_s);
}

TEST_F(ResultViewTest, CopyPutsTheSelectionOnTheClipboard)
{
    view.setString(u"Found 2:\r\n\r\nabc\r\ndef"_s);
    QGuiApplication::clipboard()->setText(u"before"_s);

    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"before"_s) << "nothing selected, nothing copied";

    std::unique_ptr<QMenu> menu(view.createStandardContextMenu());
    QAction *copy = menu->findChild<QAction *>(u"edit-copy"_s);
    QAction *selectAll = menu->findChild<QAction *>(u"select-all"_s);
    ASSERT_TRUE(copy && selectAll);
    EXPECT_FALSE(copy->isEnabled());
    selectAll->trigger();
    menu.reset(view.createStandardContextMenu());
    copy = menu->findChild<QAction *>(u"edit-copy"_s);
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->isEnabled());
    copy->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"Found 2:\n\nabc\ndef"_s);

    view.setSelection({2, 0}, {3, 1});
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"abc\nd"_s);
}

TEST_F(ResultViewTest, MouseSelectsByDragWordAndLine)
{
    view.setString(u"Found 3 names:\r\n\r\nfirst.zip\r\nsecond one.zip\r\nthird.zip"_s);
    QWidget *viewport = view.viewport();
    const int farRight = viewport->width() - 2;

    QTest::mousePress(viewport, Qt::LeftButton, {}, pointIn(2, 1));
    QTest::mouseMove(viewport, pointIn(3, farRight));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, pointIn(3, farRight));
    EXPECT_EQ(view.selectedText(), u"first.zip\nsecond one.zip"_s) << "a drag";

    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, pointIn(4, farRight));
    EXPECT_EQ(view.selectedText(), u"first.zip\nsecond one.zip\nthird.zip"_s) << "a shift click extends it";

    QTest::mouseClick(viewport, Qt::LeftButton, {}, pointIn(3, 1));
    EXPECT_FALSE(view.hasSelection()) << "a click in the selection that drags nothing drops it";
    EXPECT_EQ(view.cursorPosition(), (Position{3, 0}));

    const QPoint inWord = pointIn(3, xOf({3, 9}));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, inWord);
    EXPECT_EQ(view.selectedText(), u"one"_s) << "a double click takes the word";
    QTest::mouseClick(viewport, Qt::LeftButton, {}, inWord);
    EXPECT_EQ(view.selectedText(), u"second one.zip\n"_s) << "a third click takes the line with its end";
}

TEST_F(ResultViewTest, ScrollRangesReachEveryLineOfALongList)
{
    QStringList names;
    for (int i = 0; i < 100000; ++i)
        names.append(u"game %1.zip"_s.arg(i));
    const QString wide = u"a much, much wider name than any other in this list of games, "_s.repeated(3) + u".zip"_s;
    names[50000] = wide;
    view.setString(u"Found 100000 roms:\r\n\r\n"_s + names.join(u"\r\n"));
    ASSERT_EQ(view.lineCount(), 100002);
    const QRect area = view.viewport()->rect();

    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(area.contains(view.lineRect(100001))) << "the caret's line is scrolled into view";
    QScrollBar *vertical = view.verticalScrollBar();
    vertical->setValue(vertical->maximum());
    EXPECT_TRUE(area.contains(view.lineRect(100001))) << "the last line is within the range";
    EXPECT_EQ(view.positionAt(QPoint(1, area.bottom())).line, 100001);

    // The wide line was never painted; its width still counts.
    vertical->setValue(vertical->value() + view.lineRect(50002).top());
    QScrollBar *horizontal = view.horizontalScrollBar();
    horizontal->setValue(horizontal->maximum());
    EXPECT_EQ(view.positionAt(pointIn(50002, area.right() - 2)), (Position{50002, wide.size()}));

    vertical->setValue(0);
    EXPECT_EQ(view.positionAt(QPoint(1, 1)).line, 0);
}

TEST_F(ResultViewTest, AMillionLinesAreMadeOnlyWhenShownSelectedOrCopied)
{
    constexpr qsizetype kCount = 1000002;
    auto lines = std::make_shared<CountingLines>(kCount, nameOfAMillion);
    view.setLines(lines);
    const QImage firstPage = view.viewport()->grab().toImage();
    // Whatever the count: a sample of hints, a few hundred lines measured, a page painted.
    EXPECT_LT(lines->hinted, 10000);
    EXPECT_LT(lines->made, 1000);

    // The first page looks as the same lines given as one string look.
    QStringList head;
    for (qsizetype i = 0; i < 100; ++i)
        head.append(nameOfAMillion(i));
    ResultView reference;
    reference.resize(view.size());
    reference.show();
    reference.setString(head.join(u"\r\n"));
    EXPECT_EQ(firstPage, reference.viewport()->grab().toImage());

    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    view.viewport()->grab();
    EXPECT_EQ(view.cursorPosition(), (Position{kCount - 1, 16}));
    EXPECT_EQ(view.positionAt(QPoint(1, view.viewport()->rect().bottom())).line, kCount - 1);
    view.setSelection({kCount - 3, 5}, {kCount - 1, 4});
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"999999.zip\ngame 1000000.zip\ngame"_s);
    EXPECT_LT(lines->made, 2000) << "scrolling to the end and copying three lines made only those";

    view.selectAll();
    const QString all = view.selectedText();
    EXPECT_TRUE(all.startsWith(u"Found 1000000 missing roms:\n\ngame 2.zip\ngame 3.zip\n"_s));
    EXPECT_TRUE(all.endsWith(u"\ngame 1000001.zip"_s));
    EXPECT_EQ(all.count(u'\n'), kCount - 1);
    EXPECT_EQ(view.string(), QString(all).replace(u'\n', u"\r\n"_s)) << "the whole text joins by CR LF";
}

TEST_F(ResultViewTest, SourcesWithNoLinesOrStrayLongLinesAreSafe)
{
    const auto abc = +[](qsizetype index) { return QString(QChar(char16_t(u'a' + index))); };
    const struct
    {
        const char *name;
        std::shared_ptr<const ResultLines> lines;
        QStringList shown;
    } cases[] = {
        {"null", nullptr, {QString()}},
        {"no lines", std::make_shared<CountingLines>(0, abc), {QString()}},
        {"long lines outside the source",
         std::make_shared<CountingLines>(3, abc, QList<qsizetype>{-1, 3, 99}),
         {u"a"_s, u"b"_s, u"c"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        view.setLines(c.lines);
        view.selectAll();
        view.viewport()->grab();
        EXPECT_EQ(linesOf(view), c.shown);
        EXPECT_EQ(view.string(), c.shown.join(u"\r\n"));
        EXPECT_EQ(view.selectedText(), c.shown.join(u'\n'));
    }
}

TEST_F(ResultViewTest, ControlWheelZoomsLikeATextEdit)
{
    QFont font = view.font();
    font.setPointSizeF(13.0);
    view.setFont(font);
    view.setString(u"a\nb"_s);
    const int lineHeight = view.lineRect(1).top() - view.lineRect(0).top();

    QWheelEvent wheel(QPointF(10, 10), view.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.viewport(), &wheel);

    EXPECT_DOUBLE_EQ(view.font().pointSizeF(), 15.0);
    EXPECT_GT(view.lineRect(1).top() - view.lineRect(0).top(), lineHeight);
}

} // namespace
} // namespace zelvora::test
