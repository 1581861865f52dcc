#include "audit/merge.h"
#include "audit/names.h"
#include "support/nametexts.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

using test::textsOf;

QStringList sorted(QStringList names)
{
    sortNames(names);
    return names;
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
    const RomResults r = mergeRoms(sorted(c.found), sorted(c.supported));
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
    const RomResults r = mergeRoms(sorted({u"abc.zip"_s, u"ABC.zip"_s}), {u"abc.zip"_s});
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
    const QStringList lookup = c.lookup ? sorted(*c.lookup) : QStringList();
    const VideoResults r = mergeVideos(sorted(c.videos), sorted(c.expected), c.lookup ? &lookup : nullptr);
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
    const RomResults r = mergeRoms(sorted(found), sorted(supported));
    EXPECT_EQ(r.valid.size() + r.missing.size(), supported.size());
    EXPECT_EQ(r.valid.size() + r.unknown.size(), found.size());
    // The single pass must pair equal names: none may be left both unknown and missing.
    QStringList missingLower = lowered(r.missing);
    for (const QString &u : lowered(r.unknown))
        EXPECT_FALSE(missingLower.contains(u)) << u.toStdString() << " is both unknown and missing";
}

// The single pass as the rules state it, for comparing with the merges on inputs large enough to be
// merged in two halves.
RomResults referenceRoms(const QStringList &found, const QStringList &supported)
{
    RomResults r;
    qsizetype f = 0, s = 0;
    while (f < found.size() || s < supported.size()) {
        const int order = f == found.size()       ? 1
                          : s == supported.size() ? -1
                                                  : compareSringsCaseInsensitive(found[f], supported[s]);
        if (order == 0) {
            r.valid.append(supported[s++]);
            ++f;
        } else if (order > 0) {
            r.missing.append(supported[s++]);
        } else {
            r.unknown.append(found[f++]);
        }
    }
    return r;
}

// Without look-up names (null) every unmatched expected name is missing and every other video unknown.
VideoResults referenceVideos(const QStringList &videos, const QStringList &expected, const QStringList *lookupNames)
{
    VideoResults r;
    qsizetype v = 0, e = 0, l = 0;
    const QStringList lookup = lookupNames ? *lookupNames : QStringList();
    const auto lookUp = [&](const QString &x) {
        while (l < lookup.size() && compareSringsCaseInsensitive(x, lookup[l]) > 0)
            ++l;
        if (l < lookup.size() && compareSringsCaseInsensitive(x, lookup[l]) == 0) {
            ++l;
            return true;
        }
        return false;
    };
    while (v < videos.size() || e < expected.size()) {
        const int order = v == videos.size()     ? 1
                          : e == expected.size() ? -1
                                                 : compareSringsCaseInsensitive(videos[v], expected[e]);
        if (order == 0) {
            r.valid.append(expected[e++]);
            ++v;
        } else if (order > 0) {
            if (!lookupNames || lookUp(expected[e]))
                r.missing.append(expected[e]);
            ++e;
        } else {
            (lookupNames && lookUp(videos[v]) ? r.extra : r.unknown).append(videos[v]);
            ++v;
        }
    }
    return r;
}

// Many equal names that differ in case, so that which copy lands in which list shows.
QStringList randomNames(quint32 seed, int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        QString name = QString::number(seed % 30000);
        if (seed & 0x10000)
            name += u"A"_s;
        else
            name += u"a"_s;
        names.append(name + u".zip"_s);
    }
    return sorted(names);
}

TEST(Merge, LargeMergesMatchTheSinglePass)
{
    const QStringList found = randomNames(1, 60000);
    const QStringList supported = randomNames(2, 50000);
    const QStringList lookup = randomNames(3, 40000);
    const RomResults roms = mergeRoms(found, supported);
    const RomResults expectedRoms = referenceRoms(found, supported);
    EXPECT_EQ(roms.valid, expectedRoms.valid);
    EXPECT_EQ(roms.missing, expectedRoms.missing);
    EXPECT_EQ(roms.unknown, expectedRoms.unknown);

    // Taking the lists rather than copying them must give the same lists.
    const RomResults moved = mergeRoms(QStringList(found), QStringList(supported), NameComparison(false));
    EXPECT_EQ(moved.valid, expectedRoms.valid);
    EXPECT_EQ(moved.missing, expectedRoms.missing);
    EXPECT_EQ(moved.unknown, expectedRoms.unknown);

    const VideoResults expectedVideos = referenceVideos(found, supported, &lookup);
    for (const bool take : {false, true}) {
        const VideoResults videos =
            take ? mergeVideos(QStringList(found), QStringList(supported), &lookup, NameComparison(false))
                 : mergeVideos(found, supported, &lookup);
        EXPECT_EQ(videos.valid, expectedVideos.valid);
        EXPECT_EQ(videos.missing, expectedVideos.missing);
        EXPECT_EQ(videos.extra, expectedVideos.extra);
        EXPECT_EQ(videos.unknown, expectedVideos.unknown);
    }
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
    for (const int count : {400, 50'000}) { // one pass, and two halves
        SCOPED_TRACE(count);
        const MixedNames roms = mixedNames(quint32(count), count, "zip");
        const RomResults fromBlock = mergeRoms(roms.found, roms.listed);
        const RomResults fromTexts = referenceRoms(roms.foundTexts, roms.listedTexts);
        const RomNameViews views = mergeRomViews(roms.found, roms.listed);
        EXPECT_EQ(textsOf(views.valid), fromTexts.valid);
        EXPECT_EQ(textsOf(views.missing), fromTexts.missing);
        EXPECT_EQ(textsOf(views.unknown), fromTexts.unknown);
        EXPECT_EQ(fromBlock.valid, fromTexts.valid);
        EXPECT_EQ(fromBlock.missing, fromTexts.missing);
        EXPECT_EQ(fromBlock.unknown, fromTexts.unknown);

        // Videos against the list, and against found rom names with the list to look names up in.
        const MixedNames videos = mixedNames(quint32(count) + 1, count, "xmv");
        const MixedNames available = mixedNames(quint32(count) + 2, count, "xmv");
        const VideoResults againstList = mergeVideos(videos.found, videos.listed, nullptr);
        const VideoResults againstListTexts = referenceVideos(videos.foundTexts, videos.listedTexts, nullptr);
        EXPECT_EQ(againstList.valid, againstListTexts.valid);
        EXPECT_EQ(againstList.missing, againstListTexts.missing);
        EXPECT_EQ(againstList.extra, QStringList());
        EXPECT_EQ(againstList.unknown, againstListTexts.unknown);

        const VideoResults againstFound = mergeVideos(videos.found, available.found, &available.listed);
        const VideoResults againstFoundTexts =
            referenceVideos(videos.foundTexts, available.foundTexts, &available.listedTexts);
        EXPECT_EQ(againstFound.valid, againstFoundTexts.valid);
        EXPECT_EQ(againstFound.missing, againstFoundTexts.missing);
        EXPECT_EQ(againstFound.extra, againstFoundTexts.extra);
        EXPECT_EQ(againstFound.unknown, againstFoundTexts.unknown);
        const VideoNameViews foundViews = mergeVideoViews(videos.found, available.found, &available.listed);
        EXPECT_EQ(textsOf(foundViews.valid), againstFoundTexts.valid);
        EXPECT_EQ(textsOf(foundViews.missing), againstFoundTexts.missing);
        EXPECT_EQ(textsOf(foundViews.extra), againstFoundTexts.extra);
        EXPECT_EQ(textsOf(foundViews.unknown), againstFoundTexts.unknown);
    }
}

} // namespace
} // namespace zelvora
