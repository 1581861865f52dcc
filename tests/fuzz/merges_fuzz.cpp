// The extension change, the sort and the two merges on arbitrary name lists, checked against a model
// that counts, for every group of names the comparison calls equal, where its names must go.
#include "audit/merge.h"
#include "audit/names.h"
#include "audit/resulttext.h"
#include "fuzzcheck.h"
#include "support/nametexts.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

using test::textsOf;

// Printable ASCII stands for itself; every other byte below the markers picks one of these: letters
// with unusual folding (long s, Kelvin sign, dotted and dotless i, final sigma, a title-case digraph,
// full-width letters), characters outside the basic plane with and without case, controls, and whole
// extensions.
const std::array<QString, 28> kSpecials = {
    u"\u00E9"_s, u"\u00C9"_s, u"\u00DF"_s, u"\u1E9E"_s, u"\u017F"_s,     u"\u212A"_s,     u"\u0130"_s,
    u"\u0131"_s, u"\u01C4"_s, u"\u01C5"_s, u"\u01C6"_s, u"\u03A3"_s,     u"\u03C3"_s,     u"\u03C2"_s,
    u"\uFF21"_s, u"\uFF41"_s, u"\uE000"_s, u"\uFFFD"_s, u"\U0001F3AE"_s, u"\U00010400"_s, u"\U00010428"_s,
    u"\u0000"_s, u"\t"_s,     u".zip"_s,   u".ZIP"_s,   u".xmv"_s,       u".Xmv"_s,       u"\u0085"_s,
};

constexpr std::uint8_t kEndOfList = 0xFF;
constexpr std::uint8_t kEndOfName = 0xF0; // and every byte above it but the last
constexpr int kListCount = 3;

// Up to three lists of names; empty names are dropped.
std::array<QStringList, kListCount> decodeLists(const std::uint8_t *data, std::size_t size)
{
    std::array<QStringList, kListCount> lists;
    int list = 0;
    QString name;
    const auto endName = [&] {
        if (!name.isEmpty())
            lists[std::size_t(list)].append(name);
        name.clear();
    };
    for (std::size_t i = 0; i < size && list < kListCount; ++i) {
        if (data[i] == kEndOfList) {
            endName();
            ++list;
        } else if (data[i] >= kEndOfName) {
            endName();
        } else if (data[i] >= 0x20 && data[i] < 0x7F) {
            name += QChar(char16_t(data[i]));
        } else {
            name += kSpecials[(data[i] < 0x20 ? data[i] : data[i] - 0x5F) % kSpecials.size()];
        }
    }
    if (list < kListCount)
        endName();
    return lists;
}

bool before(const QString &a, const QString &b)
{
    return compareSringsCaseInsensitive(a, b) < 0;
}

QStringList exactOrder(QStringList names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// Whether `part` is a sub-multiset of `whole`, by exact strings.
bool isSubset(const QStringList &part, const QStringList &whole)
{
    const QStringList a = exactOrder(part);
    const QStringList b = exactOrder(whole);
    return std::includes(b.begin(), b.end(), a.begin(), a.end());
}

void checkComparison(const std::array<QStringList, kListCount> &lists)
{
    QStringList sample;
    for (const QStringList &list : lists)
        sample += list.mid(0, 8);
    const auto input = [&] { return test::describe(sample); };
    const NameComparison sampleComparison{&sample};
    for (const QString &a : sample) {
        FUZZ_CHECK(compareSringsCaseInsensitive(a, a) == 0, input());
        for (const QString &b : sample) {
            const int ab = compareSringsCaseInsensitive(a, b);
            FUZZ_CHECK(ab >= -1 && ab <= 1, input());
            FUZZ_CHECK(ab == -compareSringsCaseInsensitive(b, a), test::describe({a, b}));
            FUZZ_CHECK(ab == compareSringsCaseInsensitive(lastPathComponent(a), lastPathComponent(b)),
                       test::describe({a, b}));
            FUZZ_CHECK(ab == sampleComparison(a, b), test::describe({a, b}));
            for (const QString &c : sample) {
                const int bc = compareSringsCaseInsensitive(b, c);
                if (ab <= 0 && bc <= 0)
                    FUZZ_CHECK(compareSringsCaseInsensitive(a, c) == (ab == 0 && bc == 0 ? 0 : -1),
                               test::describe({a, b, c}));
            }
        }
    }
}

// sortNames against std::stable_sort: the same names, in an order that differs only among equals.
QStringList checkedSort(const QStringList &names, bool *separators = nullptr)
{
    QStringList sorted = names;
    const bool hasSeparators = sortNames(sorted);
    if (separators)
        *separators = hasSeparators;
    QStringList reference = names;
    std::stable_sort(reference.begin(), reference.end(), before);
    const auto input = [&] { return test::describe(names); };
    FUZZ_CHECK(exactOrder(sorted) == exactOrder(names), input());
    for (qsizetype i = 0; i < sorted.size(); ++i)
        FUZZ_CHECK(compareSringsCaseInsensitive(sorted[i], reference[i]) == 0,
                   input() + u"\nsorted: "_s + test::describe(sorted));
    // Whatever sortNames says about separators must be safe to compare these names with.
    const NameComparison compare(hasSeparators);
    for (qsizetype i = 1; i < sorted.size(); ++i)
        FUZZ_CHECK(compare(sorted[i - 1], sorted[i]) == compareSringsCaseInsensitive(sorted[i - 1], sorted[i]),
                   input());
    return sorted;
}

// The rule for the new extension, worked out on its own: after trailing separators are dropped, the
// text from the last dot of the last component on is replaced, unless that dot starts the component.
QString withExtension(const QString &name, const QString &extension)
{
    QString base = name;
    while (base.size() > 1 && base.endsWith(u'/'))
        base.chop(1);
    const qsizetype componentStart = base.lastIndexOf(u'/') + 1;
    const qsizetype dot = base.lastIndexOf(u'.');
    if (dot > componentStart)
        base.truncate(dot);
    return base + u'.' + extension;
}

QStringList checkedExtension(const QStringList &names, const QString &extension)
{
    QStringList changed = names;
    setExtensionOfFilenames(extension, changed);
    FUZZ_CHECK(changed.size() == names.size(), test::describe(names));
    for (qsizetype i = 0; i < names.size(); ++i) {
        FUZZ_CHECK(changed[i] == withExtension(names[i], extension), test::describe({names[i], changed[i]}));
        // "/" has no last component to carry an extension: it becomes "/.zip", a name with a leading
        // dot, which a second change would extend again. Lists are changed once, so that is harmless.
        if (lastPathComponent(names[i]) == u"/")
            continue;
        FUZZ_CHECK(pathExtension(changed[i]) == extension, test::describe(changed[i]));
        QStringList again{changed[i]};
        setExtensionOfFilenames(extension, again);
        FUZZ_CHECK(again.front() == changed[i], test::describe(changed[i]));
    }
    return changed;
}

void checkOrdered(const QStringList &names)
{
    for (qsizetype i = 1; i < names.size(); ++i)
        FUZZ_CHECK(compareSringsCaseInsensitive(names[i - 1], names[i]) <= 0, test::describe(names));
}

// The groups of names the comparison calls equal, in order, with how many of each source's names
// each holds. Every source must be sorted.
struct Group
{
    QString representative;
    std::array<qsizetype, kListCount> count{};
};

std::vector<Group> groupsOf(const std::vector<const QStringList *> &sources)
{
    struct Tagged
    {
        QString name;
        std::size_t source;
    };
    std::vector<Tagged> all;
    for (std::size_t s = 0; s < sources.size(); ++s)
        for (const QString &name : *sources[s])
            all.push_back({name, s});
    std::stable_sort(all.begin(), all.end(), [](const Tagged &a, const Tagged &b) { return before(a.name, b.name); });
    std::vector<Group> groups;
    for (const Tagged &t : all) {
        if (groups.empty() || compareSringsCaseInsensitive(groups.back().representative, t.name) != 0)
            groups.push_back({t.name, {}});
        ++groups.back().count[t.source];
    }
    return groups;
}

// Walks a sorted result list along the groups: how many of its names fall in each group. A name
// that falls in none (or out of order) breaks the invariant.
std::vector<qsizetype> countPerGroup(const QStringList &list, const std::vector<Group> &groups,
                                     const std::function<QString()> &input)
{
    checkOrdered(list);
    std::vector<qsizetype> counts(groups.size(), 0);
    qsizetype at = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        while (at < list.size() && compareSringsCaseInsensitive(list[at], groups[g].representative) == 0) {
            ++counts[g];
            ++at;
        }
    }
    FUZZ_CHECK(at == list.size(), input() + u"\nresult: "_s + test::describe(list));
    return counts;
}

// The text of a list under `format` gives back the count and the names.
void checkResultText(QStringView format, const QStringList &names)
{
    const QString text = formatResultText(format, names);
    const qsizetype countAt = format.indexOf(u"%lu");
    const qsizetype namesAt = format.indexOf(u"%@");
    FUZZ_CHECK(countAt >= 0 && namesAt > countAt && namesAt + 2 == format.size(), format.toString());
    const QStringView prefix = format.first(countAt);
    const QStringView middle = format.sliced(countAt + 3, namesAt - countAt - 3);
    QStringView rest(text);
    FUZZ_CHECK(rest.startsWith(prefix), text);
    rest = rest.sliced(prefix.size());
    qsizetype digits = 0;
    while (digits < rest.size() && rest[digits].isDigit())
        ++digits;
    bool ok = false;
    FUZZ_CHECK(rest.first(digits).toLongLong(&ok) == names.size() && ok, text);
    rest = rest.sliced(digits);
    FUZZ_CHECK(rest.startsWith(middle), text);
    rest = rest.sliced(middle.size());
    const QStringList parsed = rest.isEmpty() ? QStringList() : rest.toString().split(u"\r\n"_s);
    FUZZ_CHECK(parsed == names, text);
}

void checkRoms(const QStringList &found, const QStringList &supported, bool separators)
{
    const auto input = [&] {
        return u"found: "_s + test::describe(found) + u"\nsupported: "_s + test::describe(supported);
    };
    const RomResults r = mergeRoms(found, supported);
    for (const NameComparison &compare : {NameComparison(separators), NameComparison(true)}) {
        const RomResults again = mergeRoms(found, supported, compare);
        FUZZ_CHECK(again.valid == r.valid && again.missing == r.missing && again.unknown == r.unknown, input());
    }

    // Every supported name is valid or missing; every found name is matched or unknown.
    FUZZ_CHECK(exactOrder(r.valid + r.missing) == exactOrder(supported), input());
    FUZZ_CHECK(r.valid.size() + r.unknown.size() == found.size(), input());
    FUZZ_CHECK(isSubset(r.unknown, found), input());

    const std::vector<Group> groups = groupsOf({&found, &supported});
    const auto valid = countPerGroup(r.valid, groups, input);
    const auto missing = countPerGroup(r.missing, groups, input);
    const auto unknown = countPerGroup(r.unknown, groups, input);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const qsizetype f = groups[g].count[0];
        const qsizetype s = groups[g].count[1];
        const qsizetype matched = std::min(f, s);
        FUZZ_CHECK(valid[g] == matched && missing[g] == s - matched && unknown[g] == f - matched,
                   input() + u"\ngroup "_s + test::describe(groups[g].representative));
    }

    for (int i = 0; i < kRomListCount; ++i) {
        checkResultText(romViewFormat(RomList(i)), romList(r, RomList(i)));
        checkResultText(romFileFormat(RomList(i)), romList(r, RomList(i)));
    }
}

void checkVideos(const QStringList &videos, const QStringList &expected, const QStringList *lookup, bool separators)
{
    const auto input = [&] {
        return u"videos: "_s + test::describe(videos) + u"\nexpected: "_s + test::describe(expected) +
               (lookup ? u"\nlook-up: "_s + test::describe(*lookup) : u"\nno look-up"_s);
    };
    const VideoResults r = mergeVideos(videos, expected, lookup);
    for (const NameComparison &compare : {NameComparison(separators), NameComparison(true)}) {
        const VideoResults again = mergeVideos(videos, expected, lookup, compare);
        FUZZ_CHECK(again.valid == r.valid && again.missing == r.missing && again.extra == r.extra &&
                       again.unknown == r.unknown,
                   input());
    }

    FUZZ_CHECK(r.valid.size() + r.extra.size() + r.unknown.size() == videos.size(), input());
    FUZZ_CHECK(isSubset(r.extra + r.unknown, videos), input());
    FUZZ_CHECK(isSubset(r.valid + r.missing, expected), input());
    if (!lookup) {
        FUZZ_CHECK(r.extra.isEmpty(), input());
        FUZZ_CHECK(exactOrder(r.valid + r.missing) == exactOrder(expected), input());
    }

    const QStringList none;
    const std::vector<Group> groups = groupsOf({&videos, &expected, lookup ? lookup : &none});
    const auto valid = countPerGroup(r.valid, groups, input);
    const auto missing = countPerGroup(r.missing, groups, input);
    const auto extra = countPerGroup(r.extra, groups, input);
    const auto unknown = countPerGroup(r.unknown, groups, input);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const qsizetype v = groups[g].count[0];
        const qsizetype e = groups[g].count[1];
        const qsizetype matched = std::min(v, e);
        // Unmatched names ask the look-up in order; each look-up name answers one of them.
        const qsizetype l = lookup ? groups[g].count[2] : 0;
        const qsizetype expectedMissing = lookup ? std::min(e - matched, l) : e - matched;
        const qsizetype expectedExtra = std::min(v - matched, l);
        FUZZ_CHECK(valid[g] == matched && missing[g] == expectedMissing && extra[g] == expectedExtra &&
                       unknown[g] == v - matched - expectedExtra,
                   input() + u"\ngroup "_s + test::describe(groups[g].representative));
    }

    for (int i = 0; i < kVideoListCount; ++i) {
        checkResultText(videoViewFormat(VideoList(i)), videoList(r, VideoList(i)));
        checkResultText(videoFileFormat(VideoList(i)), videoList(r, VideoList(i)));
    }
}

// Names kept as UTF-8 bytes: as a walk finds them (no separator), or as the list holds them.
NameBlock blockOf(const QStringList &names, bool withSeparators)
{
    NameBlock block;
    for (const QString &name : names) {
        if (withSeparators || !name.contains(u'/')) {
            const QByteArray bytes = name.toUtf8();
            block.append(std::string_view(bytes.constData(), std::size_t(bytes.size())));
        }
    }
    return block;
}

// A block given an extension and sorted, checked against the same work on text.
NameBlock checkedBlock(const QStringList &names, bool withSeparators, const char *extension)
{
    NameBlock block = blockOf(names, withSeparators);
    QStringList texts = textsOf(block);
    if (extension) {
        block.setExtension(extension);
        setExtensionOfFilenames(QString::fromLatin1(extension), texts);
        FUZZ_CHECK(textsOf(block) == texts, test::describe(texts));
    }
    const NameBlock sorted = sortNameBlock(block);
    const QStringList sortedTexts = textsOf(sorted);
    checkOrdered(sortedTexts);
    FUZZ_CHECK(exactOrder(sortedTexts) == exactOrder(texts), test::describe(texts));
    return sorted;
}

// Names kept as bytes merge as their texts do.
void checkBlocks(const QStringList &foundNames, const QStringList &listNames, const QStringList &archiveNames)
{
    const NameBlock found = checkedBlock(foundNames, false, nullptr);
    const NameBlock supportedRoms = checkedBlock(listNames, true, "zip");
    const NameBlock supportedVideos = checkedBlock(listNames, true, "xmv");
    const NameBlock archives = checkedBlock(archiveNames, false, "xmv");
    const QStringList foundTexts = textsOf(found);
    const QStringList romTexts = textsOf(supportedRoms);
    const QStringList videoTexts = textsOf(supportedVideos);
    const QStringList archiveTexts = textsOf(archives);

    const auto input = [&] {
        return u"found: "_s + test::describe(foundTexts) + u"\nlist: "_s + test::describe(romTexts);
    };
    const NameComparison compare(true);
    const RomResults roms = mergeRoms(found, supportedRoms);
    const RomResults romsFromTexts = mergeRoms(foundTexts, romTexts, compare);
    FUZZ_CHECK(roms.valid == romsFromTexts.valid && roms.missing == romsFromTexts.missing &&
                   roms.unknown == romsFromTexts.unknown,
               input());
    const VideoResults videos = mergeVideos(found, supportedVideos, nullptr);
    const VideoResults videosFromTexts = mergeVideos(foundTexts, videoTexts, nullptr, compare);
    FUZZ_CHECK(videos.valid == videosFromTexts.valid && videos.missing == videosFromTexts.missing &&
                   videos.extra == videosFromTexts.extra && videos.unknown == videosFromTexts.unknown,
               input());
    const RomNameViews romViews = mergeRomViews(found, supportedRoms);
    FUZZ_CHECK(textsOf(romViews.valid) == roms.valid && textsOf(romViews.missing) == roms.missing &&
                   textsOf(romViews.unknown) == roms.unknown,
               input());
    const VideoResults available = mergeVideos(found, archives, &supportedVideos);
    const VideoResults availableFromTexts = mergeVideos(foundTexts, archiveTexts, &videoTexts, compare);
    FUZZ_CHECK(available.valid == availableFromTexts.valid && available.missing == availableFromTexts.missing &&
                   available.extra == availableFromTexts.extra && available.unknown == availableFromTexts.unknown,
               input() + u"\narchives: "_s + test::describe(archiveTexts));
}

} // namespace
} // namespace zelvora

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace zelvora;
    const auto lists = decodeLists(data, size);
    checkComparison(lists);

    // The rom audit: found archives against the supported names, given the extension "zip".
    bool foundSeparators = false;
    bool supportedSeparators = false;
    const QStringList found = checkedSort(lists[0], &foundSeparators);
    const QStringList supportedRoms = checkedSort(checkedExtension(lists[1], u"zip"_s), &supportedSeparators);
    checkRoms(found, supportedRoms, foundSeparators || supportedSeparators);

    // The video audit, check box off: the supported names are expected.
    bool expectedSeparators = false;
    const QStringList supportedVideos = checkedSort(checkedExtension(lists[1], u"xmv"_s), &expectedSeparators);
    checkVideos(found, supportedVideos, nullptr, foundSeparators || expectedSeparators);

    // Check box on: the archives found are expected and the supported names are looked up.
    bool archiveSeparators = false;
    const QStringList archives = checkedSort(checkedExtension(lists[2], u"xmv"_s), &archiveSeparators);
    checkVideos(found, archives, &supportedVideos, foundSeparators || archiveSeparators || expectedSeparators);

    checkBlocks(lists[0], lists[1], lists[2]);
    return 0;
}
