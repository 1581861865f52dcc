// The filter over a shown list: the names it lets through, against a plain text comparison, and what
// the window shows of them.
#include "app/namefilter.h"
#include "apptestfixture.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <random>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

NamePositions reference(const std::vector<QByteArray> &names, const QString &needle)
{
    NamePositions found;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (QString::fromUtf8(names[i]).toCaseFolded().contains(needle.toCaseFolded()))
            found.push_back(qint32(i));
    return found;
}

TEST(NameFilter, MatchesAPlainCaseFoldedComparisonAndNarrowsTheSame)
{
    // Random names from a small alphabet so that texts match often, with names beyond ASCII among them.
    const QStringList pieces{u"a"_s, u"B"_s, u"c"_s, u"Ä"_s, u"ä"_s, u"ß"_s, u"."_s, u"zip"_s, u"K"_s, u"1"_s};
    std::mt19937 random(11);
    std::vector<QByteArray> storage;
    for (int i = 0; i < 20000; ++i) {
        QString name;
        for (int n = int(random() % 8); n >= 0; --n)
            name += pieces[qsizetype(random() % std::size_t(pieces.size()))];
        storage.push_back(name.toUtf8());
    }
    NameList names;
    for (const QByteArray &name : storage)
        names.emplace_back(name.constData(), std::size_t(name.size()));

    const QString needles[] = {u"a"_s,
                               u"ab"_s,
                               u"AB"_s,
                               u"abc"_s,
                               u"ä"_s,
                               u"Ä"_s,
                               u"ss"_s,
                               u"ß"_s,
                               u".ZIP"_s,
                               u"k"_s,
                               u"\u212A"_s /* Kelvin sign, folds to k */,
                               u"zz"_s};
    for (const QString &needle : needles) {
        SCOPED_TRACE(needle.toStdString());
        const NamePositions all = filterNames(names, needle);
        EXPECT_EQ(all, reference(storage, needle));
        // Narrowing from the matches of a shorter text gives what a fresh run gives.
        const NamePositions wider = filterNames(names, needle.left(1));
        EXPECT_EQ(filterNames(names, needle, &wider), all);
    }
    EXPECT_EQ(filterNames(names, QString()).size(), names.size());
}

TEST(NameFilter, LinesShowOnlyTheMatchesOfALargeList)
{
    std::vector<QByteArray> storage;
    for (int i = 0; i < 300000; ++i)
        storage.push_back(QByteArray("game") + QByteArray::number(i) + ".zip");
    auto names = std::make_shared<NameList>();
    for (const QByteArray &name : storage)
        names->emplace_back(name.constData(), std::size_t(name.size()));
    const auto matched = std::make_shared<const NamePositions>(filterNames(*names, u"E29999"_s));
    ASSERT_EQ(matched->size(), 11U); // game29999 and game299990 .. game299999

    const NameListLines lines(u"Found %lu valid roms:\r\n\r\n%@"_s, SharedNameList(names, *names), matched);
    EXPECT_EQ(lines.shownCount(), 11);
    EXPECT_EQ(lines.lineCount(), 2 + 11);
    EXPECT_EQ(lines.line(0), u"Found 300000 valid roms:"_s);
    EXPECT_EQ(lines.line(2), u"game29999.zip"_s);
    EXPECT_EQ(lines.nameIndexAt(3), 299990);
    EXPECT_EQ(lines.nameIndexAt(1), -1);
    EXPECT_TRUE(lines.text().startsWith(u"Found 300000 valid roms:\r\n\r\ngame29999.zip\r\ngame299990.zip\r\n"_s));
    EXPECT_EQ(lines.text().count(u"\r\n"_s), lines.lineCount() - 1);
}

class ResultFilterTest : public AppTest
{
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        zelvora.writeList("alpha\nbeta\ngamma\n");
        for (const char *name : {"alpha.zip", "beta.zip", "Alpine.zip", "zeta.zip"})
            zelvora.tree.file(u"roms/"_s + QString::fromUtf8(name));
        launchWith(zelvora.tree.path(), zelvora.listPath());
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    void typeFilter(const QString &text)
    {
        QSignalSpy spy(&controller, &QKAppDelegate::filterApplied);
        QLineEdit *field = controller.pane(QKAppDelegate::Audit::Roms).widgets().filter;
        field->setText(text);
        if (!text.trimmed().isEmpty()) {
            ASSERT_TRUE(spy.wait(20000)) << "the filter did not finish";
        }
    }

    ZelvoraTree zelvora;
};

TEST_F(ResultFilterTest, CaptionSaysHowManyOfTheListAreShown)
{
    clickAuditRoms();
    clickSegment(ui().romsResultControl, 2); // unknown: Alpine.zip, zeta.zip
    const struct
    {
        QString text;
        int segment;
        QString shown; // the caption's end
        QStringList names;
    } cases[] = {
        {u"ALP"_s, 2, u"showing 1 of 2"_s, {u"Alpine.zip"_s}},
        {u"alpi"_s, 2, u"showing 1 of 2"_s, {u"Alpine.zip"_s}},
        {u"alpx"_s, 2, u"showing 0 of 2"_s, {}},
        {u"a"_s, 0, u"showing 2 of 2"_s, {u"alpha.zip"_s, u"beta.zip"_s}},
        {u"alp"_s, 1, u"showing 0 of 1"_s, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        if (ui().romsResultControl->selectedSegment() != c.segment) {
            QSignalSpy spy(&controller, &QKAppDelegate::filterApplied);
            clickSegment(ui().romsResultControl, c.segment);
            ASSERT_TRUE(spy.wait(20000));
        }
        typeFilter(c.text);
        const QString caption = controller.pane(QKAppDelegate::Audit::Roms).widgets().caption->text();
        EXPECT_TRUE(caption.endsWith(c.shown)) << caption.toStdString();
        const auto lines = controller.pane(QKAppDelegate::Audit::Roms).shownLines();
        QStringList shown;
        for (qsizetype i = 0; i < lines->lineCount(); ++i)
            if (lines->nameIndexAt(i) >= 0)
                shown.append(lines->names().text(lines->nameIndexAt(i)));
        EXPECT_EQ(shown, c.names);
        EXPECT_EQ(ui().romsResultView->lineCount(), lines->lineCount());
    }
    typeFilter(QString());
    EXPECT_FALSE(controller.pane(QKAppDelegate::Audit::Roms).widgets().caption->text().contains(u"showing"_s));
}

} // namespace
} // namespace zelvora::test
