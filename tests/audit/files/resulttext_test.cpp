#include "audit/files/resulttext.h"
#include "support/headers.h"
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

// The one place the product's formats are compared with the texts the tests expect (support/headers.h),
// to the character; every other test builds its expected text from those.
TEST(ResultText, EveryFormatToTheCharacter)
{
    const auto text = [](std::string_view format) {
        return QString::fromUtf8(format.data(), qsizetype(format.size()));
    };
    for (int i = 0; i < kRomListCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(romViewFormat(RomList(i)), text(test::headers::kRomView.at(std::size_t(i))));
        EXPECT_EQ(romFileFormat(RomList(i)), text(test::headers::kRomFile.at(std::size_t(i))));
    }
    for (int i = 0; i < kVideoListCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(videoViewFormat(VideoList(i)), text(test::headers::kVideo.at(std::size_t(i))));
        EXPECT_EQ(videoFileFormat(VideoList(i)), text(test::headers::kVideo.at(std::size_t(i))));
    }
}

// The tests' own filling of a format, checked once by hand.
TEST(ResultText, TheTestsFillAFormatAsAUserReadsIt)
{
    EXPECT_EQ(test::resultBytes(test::headers::kUnknownRomsFile, {"a.zip", "b.zip"}, "\n"),
              "Found 2 roms with unknown filename:\n(warning, these could be necessary archives too, like "
              "neogeo.zip)\n\na.zip\nb.zip");
    EXPECT_EQ(test::resultBytes(test::headers::kExtraVideos, {}), "Found 0 videos for missing roms:\r\n\r\n");
}

TEST(ResultText, FillsCountAndJoinsWithCrLf)
{
    const QStringList three{u"a.zip"_s, u"b.zip"_s, u"c.zip"_s};
    EXPECT_EQ(formatResultText(romViewFormat(RomList::Missing), three),
              test::resultText(test::headers::kMissingRoms, {"a.zip", "b.zip", "c.zip"}));
    EXPECT_EQ(formatResultText(romViewFormat(RomList::Missing), {}), test::resultText(test::headers::kMissingRoms, {}));
    EXPECT_EQ(formatResultText(videoViewFormat(VideoList::Valid), {u"x.xmv"_s}),
              test::resultText(test::headers::kValidVideos, {"x.xmv"}));
}

TEST(ResultText, NamesThatLookLikePlaceholdersStayLiteral)
{
    EXPECT_EQ(formatResultText(romViewFormat(RomList::Missing), {u"%lu %@.zip"_s}),
              test::resultText(test::headers::kMissingRoms, {"%lu %@.zip"}));
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
    std::vector<std::string> shown;
    for (const Row &row : rows) {
        names.append(row.name);
        shown.push_back(row.shown.toStdString());
        const QByteArray bytes = row.name.toUtf8();
        EXPECT_EQ(nameText(std::string_view(bytes.constData(), std::size_t(bytes.size()))), row.shown);
    }
    const QString text = formatResultText(romFileFormat(RomList::Missing), names);
    EXPECT_EQ(text, test::resultText(test::headers::kMissingRoms, {shown.begin(), shown.end()}));
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
