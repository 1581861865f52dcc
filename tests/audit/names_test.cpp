#include "audit/names.h"

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
    QStringList names{u"b.zip"_s, u"A.zip"_s, u"a.zip"_s, u"C.zip"_s, u"b.zip"_s};
    sortNames(names);
    ASSERT_EQ(names.size(), 5);
    EXPECT_EQ(names[0].toLower(), u"a.zip");
    EXPECT_EQ(names[1].toLower(), u"a.zip");
    EXPECT_EQ(names[2], u"b.zip");
    EXPECT_EQ(names[3], u"b.zip");
    EXPECT_EQ(names[4], u"C.zip");
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
    QStringList names{QString::fromUtf16(c.name)};
    setExtensionOfFilenames(QString::fromUtf16(c.extension), names);
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(names[0], QString::fromUtf16(c.expected));
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
    QStringList names{u"game"_s, u"game 2"_s};
    setExtensionOfFilenames(u"zip"_s, names);
    EXPECT_EQ(names, (QStringList{u"game.zip"_s, u"game 2.zip"_s}));
    QStringList empty;
    setExtensionOfFilenames(u"zip"_s, empty);
    EXPECT_TRUE(empty.isEmpty());
}

TEST(Names, PathExtension)
{
    EXPECT_EQ(pathExtension(u"a/b.c/file.ZiP"), u"ZiP");
    EXPECT_EQ(pathExtension(u"a.b/file"), u"");
    EXPECT_EQ(pathExtension(u".zip"), u"");
    EXPECT_EQ(pathExtension(u"game."), u"");
}

} // namespace
} // namespace zelvora
