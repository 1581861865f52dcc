#include "audit/names/names.h"
#include "audit/names/romslist.h"
#include "support/encodings.h"
#include "support/nametexts.h"
#include "support/reference.h"
#include "support/temptree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

QByteArray utf16(const QString &text, bool bigEndian)
{
    return test::encodeUtf16(text, bigEndian);
}

QByteArray utf32(const QString &text, bool bigEndian)
{
    return test::encodeUtf32(text, bigEndian);
}

struct DecodeCase
{
    const char *label;
    QByteArray bytes;
    std::optional<QString> expected;
};

class DecodeTest : public ::testing::TestWithParam<DecodeCase>
{};

TEST_P(DecodeTest, DetectsTheEncoding)
{
    EXPECT_EQ(decodeRomsListText(GetParam().bytes), GetParam().expected);
}

const QString kText = u"\u00C9lan\r\nZo\u00EB \U0001F3AE"_s;

INSTANTIATE_TEST_SUITE_P(
    RomsList, DecodeTest,
    ::testing::Values(DecodeCase{"utf8_plain", kText.toUtf8(), kText},
                      DecodeCase{"utf8_bom_dropped", "\xEF\xBB\xBF" + kText.toUtf8(), kText},
                      DecodeCase{"utf8_bom_then_invalid", QByteArray("\xEF\xBB\xBF\xC3"), std::nullopt},
                      DecodeCase{"utf16le", "\xFF\xFE" + utf16(kText, false), kText},
                      DecodeCase{"utf16be", "\xFE\xFF" + utf16(kText, true), kText},
                      DecodeCase{"utf16_odd_length",
                                 QByteArray("\xFF\xFE"
                                            "a\x00"
                                            "b",
                                            5),
                                 std::nullopt},
                      DecodeCase{"utf16_lone_surrogate",
                                 QByteArray("\xFF\xFE"
                                            "\x00\xD8"
                                            "a\x00",
                                            6),
                                 std::nullopt},
                      DecodeCase{"utf32le", QByteArray("\xFF\xFE\x00\x00", 4) + utf32(kText, false), kText},
                      DecodeCase{"utf32be", QByteArray("\x00\x00\xFE\xFF", 4) + utf32(kText, true), kText},
                      DecodeCase{"utf32_out_of_range", QByteArray("\x00\x00\xFE\xFF\x00\x11\x00\x00", 8), std::nullopt},
                      DecodeCase{"bom_alone", QByteArray("\xFF\xFE"), QString()},
                      DecodeCase{"windows1252_fallback", QByteArray("caf\xE9 \x80 \x9F \x81"),
                                 u"caf\u00E9 \u20AC \u0178 \u0081"_s},
                      DecodeCase{"overlong_utf8_is_not_utf8", QByteArray("\xC0\xAF"), u"\u00C0\u00AF"_s},
                      DecodeCase{"encoded_surrogate_is_not_utf8", QByteArray("\xED\xA0\x80"), u"\u00ED\u00A0\u20AC"_s},
                      DecodeCase{"nul_bytes_kept",
                                 QByteArray("a\x00"
                                            "b",
                                            3),
                                 QString(u"a\0b"_s)},
                      DecodeCase{"binary_with_nul_is_no_text", QByteArray("\x00\xFF\x13\x9C", 4), std::nullopt},
                      DecodeCase{"empty", QByteArray(), QString()}),
    [](const auto &info) { return std::string(info.param.label); });

// The list read as UTF-8 holds exactly the entries read as text, whatever the encoding and line ends.
TEST_P(DecodeTest, ReadAsUtf8GivesTheSameEntries)
{
    const QString lineEnds = u"a\nb\r\nc\u000Bd\u000Ce\u0085f\u2028g\u2029h\r\r\ni\u00852\u0085"_s;
    for (const QByteArray &bytes : {GetParam().bytes, GetParam().bytes + lineEnds.toUtf8(), lineEnds.toUtf8()}) {
        test::TempTree tree;
        tree.file(u"list.txt"_s, bytes);
        const std::optional<QString> decoded = decodeRomsListText(bytes);
        const std::optional<NameBlock> block = readRomsListBlock(tree.filePath(u"list.txt"_s));
        ASSERT_EQ(block.has_value(), decoded.has_value());
        if (!block)
            continue;
        const QStringList entries = test::referenceSplitLines(*decoded);
        EXPECT_EQ(test::textsOf(*block), entries);

        // Given an extension on the way, as the names are given one afterwards.
        const std::optional<NameBlock> renamed = readRomsListBlock(tree.filePath(u"list.txt"_s), "zip");
        ASSERT_TRUE(renamed.has_value());
        QStringList expected;
        for (const QString &entry : entries)
            expected.append(test::referenceWithExtension(entry, u"zip"_s));
        EXPECT_EQ(test::textsOf(*renamed), expected);
    }
}

// The entries of a list file holding `text`, in file order.
QStringList entriesOf(const QString &text)
{
    test::TempTree tree;
    tree.file(u"list.txt"_s, text.toUtf8());
    return test::textsOf(readRomsListBlock(tree.filePath(u"list.txt"_s)).value());
}

std::optional<QStringList> sortedEntries(const QString &path)
{
    const std::optional<NameBlock> names = cacheRomsListFile(path);
    return names ? std::optional(test::textsOf(*names)) : std::nullopt;
}

TEST(RomsList, SplitsOnEveryLineEndAndDropsEmptyPieces)
{
    EXPECT_EQ(entriesOf(u"b\na\r\n\r\nC"_s), (QStringList{u"b"_s, u"a"_s, u"C"_s}));
    EXPECT_EQ(entriesOf(u"1\u000B2\u000C3\u00854\u20285\u20296\r7"_s),
              (QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s}));
    EXPECT_EQ(entriesOf(u" game1 \n   \n\tx"_s), (QStringList{u" game1 "_s, u"   "_s, u"\tx"_s}));
    EXPECT_TRUE(entriesOf(u"\r\n\n\r"_s).isEmpty());
    EXPECT_EQ(entriesOf(u"dup\ndup"_s), (QStringList{u"dup"_s, u"dup"_s}));
    // A line's own leading U+FEFF is a character of the name, not a byte-order mark.
    EXPECT_EQ(entriesOf(u"a\n\uFEFFgame1"_s), (QStringList{u"a"_s, u"\uFEFFgame1"_s}));
}

TEST(RomsList, ReadsSortedEntries)
{
    test::TempTree tree;
    tree.file(u"list.txt"_s, "b\na\r\n\r\nC");
    EXPECT_EQ(sortedEntries(tree.filePath(u"list.txt"_s)), (QStringList{u"a"_s, u"b"_s, u"C"_s}));

    tree.file(u"empty.txt"_s);
    tree.file(u"newlines.txt"_s, "\r\n\r\n\n");
    EXPECT_EQ(sortedEntries(tree.filePath(u"empty.txt"_s)), QStringList());
    EXPECT_EQ(sortedEntries(tree.filePath(u"newlines.txt"_s)), QStringList());
}

TEST(RomsList, SizeLimitIsInclusive)
{
    test::TempTree tree;
    QByteArray atLimit(kRomsListMaxBytes, 'x');
    atLimit[0] = 'a';
    atLimit[1] = '\n';
    tree.file(u"at.txt"_s, atLimit);
    tree.file(u"over.txt"_s, atLimit + "x");
    const auto read = cacheRomsListFile(tree.filePath(u"at.txt"_s));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size(), 2);
    EXPECT_EQ(sortedEntries(tree.filePath(u"over.txt"_s)), std::nullopt);
}

TEST(RomsList, RefusesWhatIsNotARegularFile)
{
    test::TempTree tree;
    tree.file(u"real.txt"_s, "a\n");
    tree.symlink(tree.filePath(u"real.txt"_s), u"link.txt"_s);
    tree.dir(u"folder"_s);
    tree.fifo(u"fifo"_s);
    for (const QString &path : {tree.filePath(u"link.txt"_s), tree.filePath(u"folder"_s), tree.filePath(u"fifo"_s),
                                tree.filePath(u"absent.txt"_s), u"/dev/null"_s, QString()})
        EXPECT_EQ(sortedEntries(path), std::nullopt) << path.toStdString();
    EXPECT_TRUE(cacheRomsListFile(tree.filePath(u"real.txt"_s)).has_value());
}

TEST(RomsList, UndecodableTextIsRefused)
{
    test::TempTree tree;
    tree.file(u"bad.txt"_s, QByteArray("\xFF\xFE"
                                       "\x00\xDC",
                                       4));
    EXPECT_EQ(sortedEntries(tree.filePath(u"bad.txt"_s)), std::nullopt);
}

} // namespace
} // namespace zelvora
