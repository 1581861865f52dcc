#include "audit/names/names.h"
#include "audit/names/namesort.h"
#include "support/nametexts.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

struct CompareCase
{
    const char16_t *a;
    const char16_t *b;
    int expected;
};

class CompareTest : public ::testing::TestWithParam<CompareCase>
{};

TEST_P(CompareTest, OrdersLastComponentsWithoutRegardToCase)
{
    const CompareCase &c = GetParam();
    EXPECT_EQ(compareSringsCaseInsensitive(QStringView(c.a), QStringView(c.b)), c.expected);
    EXPECT_EQ(compareSringsCaseInsensitive(QStringView(c.b), QStringView(c.a)), -c.expected) << "not antisymmetric";
}

INSTANTIATE_TEST_SUITE_P(Names, CompareTest,
                         ::testing::Values(CompareCase{u"a/b/game1.zip", u"GAME1.ZIP", 0},
                                           CompareCase{u"game1.zip", u"GAME2.zip", -1},
                                           CompareCase{u"GAME1.zip", u"game2.ZIP", -1},
                                           CompareCase{u"\u00C9lan.zip", u"\u00E9lan.zip", 0},
                                           CompareCase{u"\u0394elta", u"\u03B4ELTA", 0},
                                           CompareCase{u"game 2.zip", u"game.zip", -1}, // a space sorts before a dot
                                           CompareCase{u"b", u"a/c", -1}, CompareCase{u"dir/", u"DIR", 0},
                                           CompareCase{u"", u"a", -1}, CompareCase{u"same", u"same", 0}));

TEST(Names, LastPathComponent)
{
    EXPECT_EQ(lastPathComponent(u"a/b/game1.zip"), u"game1.zip");
    EXPECT_EQ(lastPathComponent(u"game1.zip"), u"game1.zip");
    EXPECT_EQ(lastPathComponent(u"a/b/"), u"b");
    EXPECT_EQ(lastPathComponent(u"/"), u"/");
    EXPECT_EQ(lastPathComponent(u""), u"");
}

TEST(Names, SortKeepsDuplicatesAndIgnoresCase)
{
    const QStringList names = test::sortedTexts({u"b.zip"_s, u"A.zip"_s, u"a.zip"_s, u"C.zip"_s, u"b.zip"_s});
    ASSERT_EQ(names.size(), 5);
    EXPECT_EQ(names[0].toLower(), u"a.zip");
    EXPECT_EQ(names[1].toLower(), u"a.zip");
    EXPECT_EQ(names[2], u"b.zip");
    EXPECT_EQ(names[3], u"b.zip");
    EXPECT_EQ(names[4], u"C.zip");
}

TEST(Names, SortAgreesWithTheComparisonAcrossUnicode)
{
    // Letters whose folding is unusual, plus characters outside the basic plane (some with case).
    const std::u32string pool = U"aAbB zZ._-/\u00DF\u1E9E\u212AkK\u03A3\u03C3\u03C2\u0130\u0131iI\u017Fs\u00C9\u00E9"
                                U"\u0416\u0436\U00010400\U00010428\U0001F3AE\uFFFD\u00B5\u039C";
    for (quint32 seed : {7u, 8u, 9u, 10u}) {
        const auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
        QStringList names;
        // Small lists are sorted directly, large ones through buckets first: both ways are covered.
        const int count = seed % 2 ? 500 : 6000;
        for (int i = 0; i < count; ++i) {
            std::u32string name;
            const int length = int(next() % 6);
            for (int k = 0; k < length; ++k)
                name.push_back(pool[next() % pool.size()]);
            names.append(QString::fromStdU32String(name));
        }
        for (qsizetype i = 1; i < names.size(); ++i) {
            const QStringView a = lastPathComponent(names[i - 1]);
            const QStringView b = lastPathComponent(names[i]);
            const int qtOrder = a.compare(b, Qt::CaseInsensitive);
            ASSERT_EQ(compareSringsCaseInsensitive(names[i - 1], names[i]), (qtOrder > 0) - (qtOrder < 0))
                << names[i - 1].toStdString() << " against " << names[i].toStdString();
        }
        names = test::sortedTexts(names);
        for (qsizetype i = 1; i < names.size(); ++i)
            ASSERT_LE(compareSringsCaseInsensitive(names[i - 1], names[i]), 0)
                << names[i - 1].toStdString() << " before " << names[i].toStdString();
    }
}

TEST(Names, LargeSortIsAPermutationInOrder)
{
    // Large enough to be sorted in two halves and merged.
    QStringList names;
    quint32 seed = 99;
    for (int i = 0; i < 120'000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        names.append(QString::number(seed % 5000) + (seed & 0x100 ? u"x\u00C9"_s : u"X\u00E9"_s));
    }
    QStringList expected = names;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const QString &a, const QString &b) { return compareSringsCaseInsensitive(a, b) < 0; });
    names = test::sortedTexts(names);
    ASSERT_EQ(names.size(), expected.size());
    for (qsizetype i = 0; i < names.size(); ++i)
        ASSERT_EQ(compareSringsCaseInsensitive(names[i], expected[i]), 0) << i;
    QStringList a = names, b = expected;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b) << "names lost or duplicated";
}

TEST(Names, FindSortedNameFindsEveryNameAndNoOther)
{
    // Case variants of one name lie together; each is found by its own bytes, an absent variant by
    // one of them, and a name no variant matches not at all.
    const std::u32string pool = U"aAbB._\u00C9\u00E9\u212AkK\u00DF";
    quint32 seed = 5;
    const auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    NameBlock names;
    std::vector<QByteArray> absent;
    for (int i = 0; i < 4000; ++i) {
        std::u32string name;
        for (int k = 1 + int(next() % 5); k > 0; --k)
            name.push_back(pool[next() % pool.size()]);
        const QByteArray bytes = QString::fromStdU32String(name).toUtf8();
        if (i % 4 == 0)
            absent.push_back(bytes + "~");
        else
            names.append(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    }
    const NameBlock sorted = sortNameBlock(names);
    for (qsizetype i = 0; i < sorted.size(); ++i) {
        const qsizetype found = findSortedName(sorted, sorted.at(i));
        ASSERT_GE(found, 0) << i;
        ASSERT_EQ(sorted.at(found), sorted.at(i)) << i;
        const QByteArray upper =
            QString::fromUtf8(sorted.at(i).data(), qsizetype(sorted.at(i).size())).toUpper().toUtf8();
        const qsizetype variant =
            findSortedName(sorted, std::string_view(upper.constData(), std::size_t(upper.size())));
        if (variant >= 0) {
            EXPECT_EQ(compareNameComponents(sorted.at(variant), sorted.at(i)), 0) << i;
        }
    }
    for (const QByteArray &name : absent)
        EXPECT_EQ(findSortedName(sorted, std::string_view(name.constData(), std::size_t(name.size()))), -1);
    EXPECT_EQ(findSortedName(NameBlock(), "a"), -1);
}

struct ExtensionCase
{
    const char16_t *name;
    const char16_t *extension;
    const char16_t *expected;
};

class SetExtensionTest : public ::testing::TestWithParam<ExtensionCase>
{};

TEST_P(SetExtensionTest, ReplacesTheLastExtension)
{
    const ExtensionCase &c = GetParam();
    NameBlock names = test::blockOf({QString::fromUtf16(c.name)});
    setExtensionOfFilenames(QString::fromUtf16(c.extension), names);
    EXPECT_EQ(test::textsOf(names), QStringList{QString::fromUtf16(c.expected)});
}

INSTANTIATE_TEST_SUITE_P(Names, SetExtensionTest,
                         ::testing::Values(ExtensionCase{u"game1", u"zip", u"game1.zip"},
                                           ExtensionCase{u"game1.zip", u"zip", u"game1.zip"},
                                           ExtensionCase{u"game1.ZIP", u"zip", u"game1.zip"},
                                           ExtensionCase{u"game1.7z", u"zip", u"game1.zip"},
                                           ExtensionCase{u"ver1.1", u"zip", u"ver1.zip"},
                                           ExtensionCase{u"game1.zip", u"xmv", u"game1.xmv"},
                                           ExtensionCase{u".hidden", u"zip", u".hidden.zip"},
                                           ExtensionCase{u" game1 ", u"zip", u" game1 .zip"},
                                           ExtensionCase{u"a.b/game", u"zip", u"a.b/game.zip"},
                                           ExtensionCase{u"a/.rc", u"zip", u"a/.rc.zip"},
                                           ExtensionCase{u"game1.tar.zip", u"zip", u"game1.tar.zip"}));

TEST(Names, SetExtensionKeepsOrderAndEmptyLists)
{
    NameBlock names = test::blockOf({u"game"_s, u"game 2"_s});
    setExtensionOfFilenames(u"zip"_s, names);
    EXPECT_EQ(test::textsOf(names), (QStringList{u"game.zip"_s, u"game 2.zip"_s}));
    NameBlock empty;
    setExtensionOfFilenames(u"zip"_s, empty);
    EXPECT_TRUE(empty.isEmpty());
}

} // namespace
} // namespace zelvora
