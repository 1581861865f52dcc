#include "audit/names/merge.h"
#include "audit/names/names.h"
#include "audit/names/namesort.h"
#include "support/nametexts.h"
#include "support/reference.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

using test::sortedBlock;
using test::TextRoms;
using test::textsOf;
using test::TextVideos;

TextRoms textsOf(const RomResults &r)
{
    return {textsOf(r.valid), textsOf(r.missing), textsOf(r.unknown)};
}

TextVideos textsOf(const VideoResults &r)
{
    return {textsOf(r.valid), textsOf(r.missing), textsOf(r.extra), textsOf(r.unknown)};
}

// The engine's merges of names given as text, each list sorted first.
TextRoms mergedRoms(const QStringList &found, const QStringList &supported)
{
    return textsOf(mergeRoms(sortedBlock(found), sortedBlock(supported)));
}

TextVideos mergedVideos(const QStringList &videos, const QStringList &expected,
                        const std::optional<QStringList> &lookup)
{
    const NameBlock lookupNames = lookup ? sortedBlock(*lookup) : NameBlock();
    return textsOf(mergeVideos(sortedBlock(videos), sortedBlock(expected), lookup ? &lookupNames : nullptr));
}

QStringList lowered(const QStringList &names)
{
    QStringList out;
    for (const QString &n : names)
        out.append(n.toLower());
    return out;
}

// A parameterised test's name from its case's label.
template <typename Case> std::string labelName(const ::testing::TestParamInfo<Case> &info)
{
    std::string name = info.param.label;
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

struct RomCase
{
    const char *label;
    QStringList found;
    QStringList supported; // extension already "zip"
    QStringList valid;
    QStringList missing;
    QStringList unknown;
};

class RomMergeTest : public ::testing::TestWithParam<RomCase>
{};

TEST_P(RomMergeTest, SplitsIntoValidMissingUnknown)
{
    const RomCase &c = GetParam();
    const TextRoms r = mergedRoms(c.found, c.supported);
    EXPECT_EQ(r.valid, c.valid);
    EXPECT_EQ(r.missing, c.missing);
    EXPECT_EQ(r.unknown, c.unknown);
    // Every supported name lands exactly once in valid or missing; every found name is matched or unknown.
    EXPECT_EQ(r.valid.size() + r.missing.size(), c.supported.size());
    EXPECT_EQ(r.valid.size() + r.unknown.size(), c.found.size());
}

INSTANTIATE_TEST_SUITE_P(
    Merge, RomMergeTest,
    ::testing::Values(
        RomCase{"case differs: the supported spelling is kept",
                {u"raceone.ZIP"_s},
                {u"RaceOne.zip"_s},
                {u"RaceOne.zip"_s},
                {},
                {}},
        RomCase{"missing", {}, {u"zzz.zip"_s}, {}, {u"zzz.zip"_s}, {}},
        RomCase{"unknown keeps the name on disk", {u"Extra.zip"_s}, {}, {}, {}, {u"Extra.zip"_s}},
        RomCase{"second copy of an archive is unknown",
                {u"a.zip"_s, u"a.zip"_s},
                {u"a.zip"_s},
                {u"a.zip"_s},
                {},
                {u"a.zip"_s}},
        RomCase{
            "second supported line is missing", {u"a.zip"_s}, {u"a.zip"_s, u"a.zip"_s}, {u"a.zip"_s}, {u"a.zip"_s}, {}},
        RomCase{"interleaved",
                {u"b.zip"_s, u"d.zip"_s, u"e.zip"_s},
                {u"a.zip"_s, u"b.zip"_s, u"c.zip"_s, u"e.zip"_s, u"f.zip"_s},
                {u"b.zip"_s, u"e.zip"_s},
                {u"a.zip"_s, u"c.zip"_s, u"f.zip"_s},
                {u"d.zip"_s}},
        RomCase{"a name and the same name with a suffix",
                {u"game.zip"_s, u"game 2.zip"_s},
                {u"game.zip"_s, u"game 2.zip"_s},
                {u"game 2.zip"_s, u"game.zip"_s},
                {},
                {}},
        RomCase{"a supported line with a folder matches by its last component",
                {u"game1.zip"_s},
                {u"sub/game1.zip"_s},
                {u"sub/game1.zip"_s},
                {},
                {}},
        RomCase{"both empty", {}, {}, {}, {}, {}}),
    labelName<RomCase>);

TEST(Merge, TwoArchivesDifferingInCaseMatchOneEntry)
{
    const TextRoms r = mergedRoms({u"abc.zip"_s, u"ABC.zip"_s}, {u"abc.zip"_s});
    EXPECT_EQ(r.valid, QStringList{u"abc.zip"_s});
    ASSERT_EQ(r.unknown.size(), 1);
    EXPECT_EQ(r.unknown[0].toLower(), u"abc.zip");
}

struct VideoCase
{
    const char *label;
    QStringList videos;
    QStringList expected;
    std::optional<QStringList> lookup;
    QStringList valid;
    QStringList missing;
    QStringList extra;
    QStringList unknown;
};

class VideoMergeTest : public ::testing::TestWithParam<VideoCase>
{};

TEST_P(VideoMergeTest, SplitsIntoFourLists)
{
    const VideoCase &c = GetParam();
    const TextVideos r = mergedVideos(c.videos, c.expected, c.lookup);
    EXPECT_EQ(r.valid, c.valid);
    EXPECT_EQ(r.missing, c.missing);
    EXPECT_EQ(r.extra, c.extra);
    EXPECT_EQ(r.unknown, c.unknown);
    EXPECT_EQ(r.valid.size() + r.extra.size() + r.unknown.size(), c.videos.size());
    if (!c.lookup) {
        EXPECT_TRUE(r.extra.isEmpty());
        EXPECT_EQ(r.valid.size() + r.missing.size(), c.expected.size());
    }
}

// videos abc, abd, zzz; supported abd, abe; archives abe, abf.
const QStringList kVideos{u"abc.xmv"_s, u"abd.xmv"_s, u"zzz.xmv"_s};
const QStringList kSupported{u"abd.xmv"_s, u"abe.xmv"_s};
const QStringList kArchives{u"abe.xmv"_s, u"abf.xmv"_s};

INSTANTIATE_TEST_SUITE_P(
    Merge, VideoMergeTest,
    ::testing::Values(
        VideoCase{"available only",
                  kVideos,
                  kArchives,
                  kSupported,
                  {},
                  {u"abe.xmv"_s},
                  {u"abd.xmv"_s},
                  {u"abc.xmv"_s, u"zzz.xmv"_s}},
        VideoCase{"every supported game",
                  kVideos,
                  kSupported,
                  std::nullopt,
                  {u"abd.xmv"_s},
                  {u"abe.xmv"_s},
                  {},
                  {u"abc.xmv"_s, u"zzz.xmv"_s}},
        VideoCase{"available only without a usable list",
                  kVideos,
                  kArchives,
                  std::nullopt,
                  {},
                  {u"abe.xmv"_s, u"abf.xmv"_s},
                  {},
                  {u"abc.xmv"_s, u"abd.xmv"_s, u"zzz.xmv"_s}},
        VideoCase{"case differs: the expected spelling is kept",
                  {u"RaceOne.XMV"_s},
                  {u"raceone.xmv"_s},
                  std::nullopt,
                  {u"raceone.xmv"_s},
                  {},
                  {},
                  {}},
        VideoCase{"a video for an archive not on the list is valid",
                  {u"x.xmv"_s},
                  {u"x.xmv"_s},
                  QStringList{},
                  {u"x.xmv"_s},
                  {},
                  {},
                  {}},
        VideoCase{"a video after every look-up name is unknown",
                  {u"zz.xmv"_s},
                  {u"a.xmv"_s},
                  QStringList{u"a.xmv"_s, u"b.xmv"_s},
                  {},
                  {u"a.xmv"_s},
                  {},
                  {u"zz.xmv"_s}},
        VideoCase{"second copy of a video is unknown",
                  {u"a.xmv"_s, u"a.xmv"_s},
                  {u"a.xmv"_s},
                  std::nullopt,
                  {u"a.xmv"_s},
                  {},
                  {},
                  {u"a.xmv"_s}},
        VideoCase{"no videos", {}, {u"a.xmv"_s, u"b.xmv"_s}, QStringList{u"b.xmv"_s}, {}, {u"b.xmv"_s}, {}, {}}),
    labelName<VideoCase>);

TEST(Merge, LargeRandomisedInputsPartitionCompletely)
{
    // Names drawn from a small alphabet so that duplicates and case clashes are common.
    QStringList found;
    QStringList supported;
    quint32 seed = 12345;
    const auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (int i = 0; i < 2000; ++i) {
        QString name;
        for (int k = 0; k < 3; ++k)
            name.append(QChar(u"aAbB c"[next() % 6]));
        (next() % 2 ? found : supported).append(name + u".zip"_s);
    }
    const TextRoms r = mergedRoms(found, supported);
    EXPECT_EQ(r.valid.size() + r.missing.size(), supported.size());
    EXPECT_EQ(r.valid.size() + r.unknown.size(), found.size());
    // The single pass must pair equal names: none may be left both unknown and missing.
    QStringList missingLower = lowered(r.missing);
    for (const QString &u : lowered(r.unknown))
        EXPECT_FALSE(missingLower.contains(u)) << u.toStdString() << " is both unknown and missing";
}

// Names found on disk (UTF-8, some not valid) and list names, some behind folders, both kept as UTF-8,
// from one small pool so that they meet often, in every case and across the ASCII boundary.
struct MixedNames
{
    NameBlock found;         // sorted
    QStringList foundTexts;  // the same names, in the same order, as text
    NameBlock listed;        // sorted
    QStringList listedTexts; // the same names, in the same order, as text
};

MixedNames mixedNames(quint32 seed, int count, const char *extension)
{
    const std::vector<std::string> pieces = {"a",
                                             "A",
                                             "b",
                                             "B",
                                             " ",
                                             "\xc3\x89",
                                             "\xc3\xa9",
                                             "\xe2\x84\xaa",
                                             "k",
                                             "K",
                                             "\xf0\x90\x90\x80",
                                             "\xf0\x90\x90\xa8",
                                             "\xff",
                                             "1",
                                             "2"};
    const auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    const auto name = [&] {
        std::string text;
        for (int k = 1 + int(next() % 4); k > 0; --k)
            text += pieces[next() % pieces.size()];
        return text + "." + extension;
    };
    MixedNames names;
    NameBlock found;
    NameBlock listed;
    for (int i = 0; i < count; ++i) {
        found.append(name());
        listed.append((next() % 8 == 0 ? "folder.v2/" : "") + name());
    }
    names.found = sortNameBlock(found);
    names.foundTexts = textsOf(names.found);
    names.listed = sortNameBlock(listed);
    names.listedTexts = textsOf(names.listed);
    return names;
}

TEST(Merge, FoundNamesMergeAsTheirTextsDo)
{
    for (const int count : {400, 50'000}) {
        SCOPED_TRACE(count);
        const MixedNames roms = mixedNames(quint32(count), count, "zip");
        EXPECT_EQ(textsOf(mergeRoms(roms.found, roms.listed)), test::referenceRoms(roms.foundTexts, roms.listedTexts));

        // Videos against the list, and against found rom names with the list to look names up in.
        const MixedNames videos = mixedNames(quint32(count) + 1, count, "xmv");
        const MixedNames available = mixedNames(quint32(count) + 2, count, "xmv");
        EXPECT_EQ(textsOf(mergeVideos(videos.found, videos.listed, nullptr)),
                  test::referenceVideos(videos.foundTexts, videos.listedTexts, nullptr));
        EXPECT_EQ(textsOf(mergeVideos(videos.found, available.found, &available.listed)),
                  test::referenceVideos(videos.foundTexts, available.foundTexts, &available.listedTexts));
    }
}

} // namespace
} // namespace zelvora
