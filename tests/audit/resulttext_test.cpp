#include "audit/resulttext.h"
#include "support/nametexts.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

QString formatResultText(QStringView format, const QStringList &names)
{
    const NameBlock block = test::blockOf(names);
    return QString::fromUtf8(zelvora::formatResultText(format, test::viewsOf(block)));
}

TEST(ResultText, FillsCountAndJoinsWithCrLf)
{
    const QStringList three{u"a.zip"_s, u"b.zip"_s, u"c.zip"_s};
    EXPECT_EQ(formatResultText(romViewFormat(RomList::Missing), three),
              u"Found 3 missing roms:\r\n\r\na.zip\r\nb.zip\r\nc.zip"_s);
    EXPECT_EQ(formatResultText(romViewFormat(RomList::Missing), {}), u"Found 0 missing roms:\r\n\r\n"_s);
    EXPECT_EQ(formatResultText(videoViewFormat(VideoList::Valid), {u"x.xmv"_s}),
              u"Found 1 videos with valid filename:\r\n\r\nx.xmv"_s);
}

TEST(ResultText, NamesThatLookLikePlaceholdersStayLiteral)
{
    EXPECT_EQ(formatResultText(u"Found %lu missing roms:\r\n\r\n%@", {u"%lu %@.zip"_s}),
              u"Found 1 missing roms:\r\n\r\n%lu %@.zip"_s);
}

TEST(ResultText, EveryFormatToTheCharacter)
{
    const QStringList names{u"n"_s};
    struct Row
    {
        QStringView format;
        QString expected;
    };
    const Row rows[] = {
        {romViewFormat(RomList::Valid), u"Found 1 roms with valid filename:\r\n\r\nn"_s},
        {romViewFormat(RomList::Missing), u"Found 1 missing roms:\r\n\r\nn"_s},
        {romViewFormat(RomList::Unknown),
         u"Found 1 unknown archives:\r\n(warning, these could be necessary ones too, like neogeo.zip)\r\n\r\nn"_s},
        {romFileFormat(RomList::Valid), u"Found 1 roms with valid filename:\r\n\r\nn"_s},
        {romFileFormat(RomList::Missing), u"Found 1 missing roms:\r\n\r\nn"_s},
        {romFileFormat(RomList::Unknown),
         u"Found 1 roms with unknown filename:\r\n(warning, these could be necessary archives too, like "
         u"neogeo.zip)\r\n\r\nn"_s},
        {videoViewFormat(VideoList::Valid), u"Found 1 videos with valid filename:\r\n\r\nn"_s},
        {videoViewFormat(VideoList::Missing), u"Found 1 missing videos:\r\n\r\nn"_s},
        {videoViewFormat(VideoList::Extra), u"Found 1 videos for missing roms:\r\n\r\nn"_s},
        {videoViewFormat(VideoList::Unknown), u"Found 1 videos with unknown filename:\r\n\r\nn"_s},
    };
    for (const Row &row : rows)
        EXPECT_EQ(formatResultText(row.format, names), row.expected);
    for (int i = 0; i < kVideoListCount; ++i)
        EXPECT_EQ(videoFileFormat(VideoList(i)), videoViewFormat(VideoList(i)));
}

TEST(ResultText, ControlCharactersInNamesCannotMakeOrForgeLines)
{
    struct Row
    {
        QString name;
        QString shown;
    };
    const Row rows[] = {
        {u"plain \u00e9.zip"_s, u"plain \u00e9.zip"_s},
        {u"a\r\nFound 1 roms with valid filename:\r\n\r\nb.zip"_s,
         u"a\\u{000D}\\u{000A}Found 1 roms with valid filename:\\u{000D}\\u{000A}\\u{000D}\\u{000A}b.zip"_s},
        {u"\x1b[2Jx\x7f.zip"_s, u"\\u{001B}[2Jx\\u{007F}.zip"_s},
        {u"c1\u0085\u009f.zip"_s, u"c1\\u{0085}\\u{009F}.zip"_s},
        {u"ls\u2028ps\u2029.zip"_s, u"ls\\u{2028}ps\\u{2029}.zip"_s},
        {u"tab\there"_s, u"tab\\u{0009}here"_s},
        {u"\uFEFFgame1.zip"_s, u"\uFEFFgame1.zip"_s},
    };
    QStringList names;
    QString expected = u"Found %1 missing roms:\r\n\r\n"_s.arg(std::size(rows));
    for (const Row &row : rows) {
        names.append(row.name);
        expected += (names.size() > 1 ? u"\r\n"_s : QString()) + row.shown;
        const QByteArray bytes = row.name.toUtf8();
        EXPECT_EQ(nameText(std::string_view(bytes.constData(), std::size_t(bytes.size()))), row.shown);
    }
    const QString text = formatResultText(romFileFormat(RomList::Missing), names);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(text.count(u"\r\n"_s), 2 + names.size() - 1) << "one line per name";
}

TEST(ResultText, FileNamesAndKeys)
{
    EXPECT_EQ(romFileName(RomList::Valid), u"valid_roms.txt");
    EXPECT_EQ(romFileName(RomList::Missing), u"missing_roms.txt");
    EXPECT_EQ(romFileName(RomList::Unknown), u"unknown_roms.txt");
    EXPECT_EQ(videoFileName(VideoList::Valid), u"valid_videos.txt");
    EXPECT_EQ(videoFileName(VideoList::Missing), u"missing_videos.txt");
    EXPECT_EQ(videoFileName(VideoList::Extra), u"extra_videos.txt");
    EXPECT_EQ(videoFileName(VideoList::Unknown), u"unknown_videos.txt");
    EXPECT_EQ(videoListKey(VideoList::Extra), u"extra");
    EXPECT_EQ(romListKey(RomList::Unknown), u"unknown");
}

} // namespace
} // namespace zelvora
