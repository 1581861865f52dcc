// The extension change, the sort, the two merges and the result texts on arbitrary name lists,
// checked against a model that counts, for every group of names the comparison calls equal, where its
// names must go, and against the rules worked out on text.
#include "audit/files/resulttext.h"
#include "audit/names/merge.h"
#include "audit/names/names.h"
#include "fuzzcheck.h"
#include "support/nametexts.h"
#include "support/reference.h"

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

using test::blockOf;
using test::textsOf;

// Printable ASCII stands for itself; every other byte below the markers picks one of these: letters
// with unusual folding (long s, Kelvin sign, dotted and dotless i, final sigma, a title-case digraph,
// full-width letters), characters outside the basic plane with and without case, controls, and whole
// extensions.
const std::array<QString, 32> kSpecials = {
    u"\u00E9"_s, u"\u00C9"_s, u"\u00DF"_s,     u"\u1E9E"_s,     u"\u017F"_s,     u"\u212A"_s, u"\u0130"_s, u"\u0131"_s,
    u"\u01C4"_s, u"\u01C5"_s, u"\u01C6"_s,     u"\u03A3"_s,     u"\u03C3"_s,     u"\u03C2"_s, u"\uFF21"_s, u"\uFF41"_s,
    u"\uE000"_s, u"\uFFFD"_s, u"\U0001F3AE"_s, u"\U00010400"_s, u"\U00010428"_s, u"\u0000"_s, u"\t"_s,     u".zip"_s,
    u".ZIP"_s,   u".xmv"_s,   u".Xmv"_s,       u"\u0085"_s,     u"\uFEFF"_s,     u"\r\n"_s,   u"\u2028"_s, u"\u001B"_s,
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
    for (const QString &a : sample) {
        FUZZ_CHECK(compareSringsCaseInsensitive(a, a) == 0, input());
        for (const QString &b : sample) {
            const int ab = compareSringsCaseInsensitive(a, b);
            FUZZ_CHECK(ab >= -1 && ab <= 1, input());
            FUZZ_CHECK(ab == -compareSringsCaseInsensitive(b, a), test::describe({a, b}));
            FUZZ_CHECK(ab == compareSringsCaseInsensitive(lastPathComponent(a), lastPathComponent(b)),
                       test::describe({a, b}));
            const QByteArray x = lastPathComponent(a).toUtf8();
            const QByteArray y = lastPathComponent(b).toUtf8();
            FUZZ_CHECK(ab == compareNameComponents(std::string_view(x.constData(), std::size_t(x.size())),
                                                   std::string_view(y.constData(), std::size_t(y.size()))),
                       test::describe({a, b}));
            for (const QString &c : sample) {
                const int bc = compareSringsCaseInsensitive(b, c);
                if (ab <= 0 && bc <= 0)
                    FUZZ_CHECK(compareSringsCaseInsensitive(a, c) == (ab == 0 && bc == 0 ? 0 : -1),
                               test::describe({a, b, c}));
            }
        }
    }
}

// The sort against std::stable_sort: the same names, in an order that differs only among equals.
QStringList checkedSort(const QStringList &names)
{
    const QStringList sorted = textsOf(sortNameBlock(blockOf(names)));
    QStringList reference = names;
    std::stable_sort(reference.begin(), reference.end(), before);
    const auto input = [&] { return test::describe(names); };
    FUZZ_CHECK(exactOrder(sorted) == exactOrder(names), input());
    for (qsizetype i = 0; i < sorted.size(); ++i)
        FUZZ_CHECK(compareSringsCaseInsensitive(sorted[i], reference[i]) == 0,
                   input() + u"\nsorted: "_s + test::describe(sorted));
    return sorted;
}

QStringList checkedExtension(const QStringList &names, const QString &extension)
{
    NameBlock block = blockOf(names);
    setExtensionOfFilenames(extension, block);
    const QStringList changed = textsOf(block);
    FUZZ_CHECK(changed.size() == names.size(), test::describe(names));
    for (qsizetype i = 0; i < names.size(); ++i) {
        FUZZ_CHECK(changed[i] == test::referenceWithExtension(names[i], extension),
                   test::describe({names[i], changed[i]}));
        // "/" has no last component to carry an extension: it becomes "/.zip", a name with a leading
        // dot, which a second change would extend again. Lists are changed once, so that is harmless.
        if (lastPathComponent(names[i]) == u"/")
            continue;
        NameBlock again = blockOf({changed[i]});
        setExtensionOfFilenames(extension, again);
        FUZZ_CHECK(again.text(0) == changed[i], test::describe(changed[i]));
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

// The text of a list under `format` gives back the count and the names, one line each, however
// they are written: no name can add, remove or forge a line.
void checkResultText(QStringView format, const QStringList &names)
{
    const NameBlock block = blockOf(names);
    const QString text = QString::fromUtf8(formatResultText(format, test::viewsOf(block)));
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
    QStringList shown;
    for (qsizetype i = 0; i < block.size(); ++i) {
        shown.append(nameText(block.at(i)));
        FUZZ_CHECK(std::none_of(shown.last().cbegin(), shown.last().cend(),
                                [](QChar c) {
                                    const char16_t u = c.unicode();
                                    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029;
                                }),
                   test::describe(shown.last()));
    }
    FUZZ_CHECK(parsed == shown, text);
}

// The engine's merges of sorted names given as text.
test::TextRoms mergedRoms(const QStringList &found, const QStringList &supported)
{
    const NameBlock foundNames = blockOf(found);
    const NameBlock supportedNames = blockOf(supported);
    const RomResults r = mergeRoms(foundNames, supportedNames);
    return {textsOf(r.valid), textsOf(r.missing), textsOf(r.unknown)};
}

test::TextVideos mergedVideos(const QStringList &videos, const QStringList &expected, const QStringList *lookup)
{
    const NameBlock videoNames = blockOf(videos);
    const NameBlock expectedNames = blockOf(expected);
    const NameBlock lookupNames = lookup ? blockOf(*lookup) : NameBlock();
    const VideoResults r = mergeVideos(videoNames, expectedNames, lookup ? &lookupNames : nullptr);
    return {textsOf(r.valid), textsOf(r.missing), textsOf(r.extra), textsOf(r.unknown)};
}

void checkRoms(const QStringList &found, const QStringList &supported)
{
    const auto input = [&] {
        return u"found: "_s + test::describe(found) + u"\nsupported: "_s + test::describe(supported);
    };
    const test::TextRoms r = mergedRoms(found, supported);
    FUZZ_CHECK(r == test::referenceRoms(found, supported), input());

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

    const QStringList *lists[] = {&r.valid, &r.missing, &r.unknown};
    for (int i = 0; i < kRomListCount; ++i) {
        checkResultText(romViewFormat(RomList(i)), *lists[i]);
        checkResultText(romFileFormat(RomList(i)), *lists[i]);
    }
}

void checkVideos(const QStringList &videos, const QStringList &expected, const QStringList *lookup)
{
    const auto input = [&] {
        return u"videos: "_s + test::describe(videos) + u"\nexpected: "_s + test::describe(expected) +
               (lookup ? u"\nlook-up: "_s + test::describe(*lookup) : u"\nno look-up"_s);
    };
    const test::TextVideos r = mergedVideos(videos, expected, lookup);
    FUZZ_CHECK(r == test::referenceVideos(videos, expected, lookup), input());

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

    const QStringList *lists[] = {&r.valid, &r.missing, &r.extra, &r.unknown};
    for (int i = 0; i < kVideoListCount; ++i) {
        checkResultText(videoViewFormat(VideoList(i)), *lists[i]);
        checkResultText(videoFileFormat(VideoList(i)), *lists[i]);
    }
}

} // namespace
} // namespace zelvora

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace zelvora;
    const auto lists = decodeLists(data, size);
    checkComparison(lists);

    // The rom audit: found archives against the supported names, given the extension "zip".
    const QStringList found = checkedSort(lists[0]);
    const QStringList supportedRoms = checkedSort(checkedExtension(lists[1], u"zip"_s));
    checkRoms(found, supportedRoms);

    // The video audit, check box off: the supported names are expected.
    const QStringList supportedVideos = checkedSort(checkedExtension(lists[1], u"xmv"_s));
    checkVideos(found, supportedVideos, nullptr);

    // Check box on: the archives found are expected and the supported names are looked up.
    const QStringList archives = checkedSort(checkedExtension(lists[2], u"xmv"_s));
    checkVideos(found, archives, &supportedVideos);
    return 0;
}
