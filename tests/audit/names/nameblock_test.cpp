#include "audit/names/nameblock.h"
#include "audit/names/names.h"
#include "support/nametexts.h"
#include "support/reference.h"

#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>
#include <random>
#include <string>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

using test::textsOf;

NameBlock blockOfBytes(const std::vector<std::string> &names)
{
    NameBlock block;
    for (const std::string &name : names)
        block.append(name);
    return block;
}

TEST(NameBlock, SetExtensionRenamesAsTheListsAreRenamed)
{
    // File names hold no separator; otherwise every case of the list rule applies to them too.
    const std::vector<std::string> names = {"ver1.1",   "game",  ".hidden",      "a.b.c", "trail.",
                                            "Élan.ZIP", "x.zip", "\xff\xfe.zip", "..",    "é",
                                            "\xc3.tar", "a..b",  "space .zip ",  ".a.b",  ""};
    NameBlock block = blockOfBytes(names);
    block.setExtension("xmv");

    QStringList expected;
    for (const std::string &name : names)
        expected.append(test::referenceWithExtension(QString::fromUtf8(name.data(), qsizetype(name.size())), u"xmv"_s));
    EXPECT_EQ(textsOf(block), expected);
}

TEST(NameBlock, GrowsAndCopiesWithoutLosingAName)
{
    // Enough names for the storage to grow many times, from small to remapped sizes.
    NameBlock block;
    std::vector<std::string> names;
    for (int i = 0; i < 300'000; ++i) {
        names.push_back(i % 1000 == 0 ? std::string() : "name \xc3\xa9 " + std::to_string(i));
        block.append(names.back());
    }
    NameBlock copy = block;
    block.append(std::string_view("after the copy"));
    NameBlock joined;
    joined.append(copy);
    joined.append(copy);
    ASSERT_EQ(copy.size(), qsizetype(names.size()));
    ASSERT_EQ(joined.size(), 2 * copy.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_EQ(copy.at(qsizetype(i)), names[i]) << i;
        ASSERT_EQ(joined.at(qsizetype(i + names.size())), names[i]) << i;
    }
    EXPECT_EQ(copy.text(1), u"name \u00e9 1"_s);
    EXPECT_EQ(block.text(block.size() - 1), u"after the copy"_s);
}

TEST(NameBlock, ReorderedLaysNamesOutInTheGivenOrder)
{
    for (const int count : {0, 1, 7, 150'000}) { // the last one is copied on two cores
        SCOPED_TRACE(count);
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i)
            names.push_back(std::string(std::size_t(i % 13), 'x') + std::to_string(i));
        std::vector<qint32> positions(std::size_t(count), 0);
        std::iota(positions.begin(), positions.end(), 0);
        std::shuffle(positions.begin(), positions.end(), std::mt19937(unsigned(count)));

        const NameBlock reordered = blockOfBytes(names).reordered(positions);
        ASSERT_EQ(reordered.size(), count);
        for (int k = 0; k < count; ++k)
            ASSERT_EQ(reordered.at(k), names[std::size_t(positions[std::size_t(k)])]) << k;
    }
}

// Names as a directory could hold them: UTF-8 with letters that fold unusually, characters outside the
// basic plane, and bytes that are not UTF-8 at all.
std::vector<std::string> randomFileNames(unsigned seed, int count)
{
    const std::vector<std::string> pieces = {"a",
                                             "A",
                                             "b",
                                             "B",
                                             " ",
                                             "z",
                                             "Z",
                                             ".",
                                             "_",
                                             "\xc3\x9f",
                                             "\xe1\xba\x9e",
                                             "\xe2\x84\xaa",
                                             "k",
                                             "K",
                                             "\xce\xa3",
                                             "\xcf\x83",
                                             "\xcf\x82",
                                             "\xc4\xb0",
                                             "\xc4\xb1",
                                             "i",
                                             "I",
                                             "\xc3\x89",
                                             "\xc3\xa9",
                                             "\xf0\x90\x90\x80",
                                             "\xf0\x90\x90\xa8",
                                             "\xf0\x9f\x8e\xae",
                                             "\xff",
                                             "\xc3",
                                             "\xef\xbf\xbd",
                                             "game ",
                                             "Game ",
                                             "0",
                                             "9"};
    std::mt19937 random(seed);
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        std::string name;
        const int length = 1 + int(random() % 7);
        for (int k = 0; k < length; ++k)
            name += pieces[random() % pieces.size()];
        names.push_back(name);
    }
    return names;
}

TEST(NameBlock, SortAgreesWithTheComparisonAndIsAPermutation)
{
    // Small blocks are sorted directly, larger ones through buckets and byte by byte, the largest on
    // two cores.
    for (const int count : {300, 6000, 120'000}) {
        SCOPED_TRACE(count);
        const std::vector<std::string> names = randomFileNames(unsigned(count), count);
        const NameBlock sorted = sortNameBlock(blockOfBytes(names));
        ASSERT_EQ(sorted.size(), count);
        for (qsizetype i = 1; i < sorted.size(); ++i)
            ASSERT_LE(compareSringsCaseInsensitive(sorted.text(i - 1), sorted.text(i)), 0)
                << sorted.text(i - 1).toStdString() << " before " << sorted.text(i).toStdString();

        std::vector<std::string> before = names;
        std::vector<std::string> after;
        for (qsizetype i = 0; i < sorted.size(); ++i)
            after.emplace_back(sorted.at(i));
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(before, after) << "names lost or duplicated";
    }
}

TEST(NameBlock, NamesDifferingOnlyInCaseKeepOneOrderWhateverTheWalkOrder)
{
    // Walkers on several cores find names in a different order each run; the result must not change.
    std::vector<std::string> names = randomFileNames(5, 20'000);
    const NameBlock first = sortNameBlock(blockOfBytes(names));
    std::shuffle(names.begin(), names.end(), std::mt19937(6));
    const NameBlock second = sortNameBlock(blockOfBytes(names));
    ASSERT_EQ(first.size(), second.size());
    for (qsizetype i = 0; i < first.size(); ++i)
        ASSERT_EQ(first.at(i), second.at(i)) << i;
}

} // namespace
} // namespace zelvora
