#include "audit/merge.h"

#include "audit/names.h"
#include "audit/parallel.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <system_error>
#include <thread>
#include <type_traits>

namespace zelvora {

namespace {

// One side of a merge: names in sorted order, read by position. A name goes into a result list by
// copy, or, when the merge owns a list, by move: no reference count to touch and nothing left to free.
template <bool Owned> class ListSide
{
public:
    using Name = std::conditional_t<Owned, QString, const QString>;
    explicit ListSide(std::span<Name> names) : m_names(names) {}
    std::size_t size() const { return m_names.size(); }
    QStringView at(std::size_t i) const { return m_names[i]; }
    // A sorted list's texts lie wherever they were made: asking for the next ones early hides the misses.
    void prefetch(std::size_t i) const
    {
        if (i < m_names.size())
            __builtin_prefetch(m_names[i].constData());
    }
    QString take(std::size_t i) const
    {
        if constexpr (Owned)
            return std::move(m_names[i]);
        else
            return m_names[i];
    }
    ListSide first(std::size_t n) const { return ListSide(m_names.first(n)); }
    ListSide from(std::size_t n) const { return ListSide(m_names.subspan(n)); }

private:
    std::span<Name> m_names;
};

ListSide<false> sideOf(const QStringList &names)
{
    return ListSide<false>({names.constData(), std::size_t(names.size())});
}

ListSide<true> sideOf(QStringList &names)
{
    return ListSide<true>({names.data(), std::size_t(names.size())});
}

// Names kept as UTF-8 (found on disk, or read from the list): their text is made only when they land in a
// result list.
class BlockSide
{
public:
    explicit BlockSide(const NameBlock &names) : BlockSide(names, 0, std::size_t(names.size()), names.holdsSeparator())
    {}
    std::size_t size() const { return m_size; }
    // The name as the comparison sees it: its last component.
    std::string_view at(std::size_t i) const
    {
        const std::string_view name = m_names->at(qsizetype(m_first + i));
        return m_separators ? lastPathComponent(name) : name;
    }
    void prefetch(std::size_t) const {} // read in order
    QString take(std::size_t i) const { return m_names->text(qsizetype(m_first + i)); }
    std::string_view bytes(std::size_t i) const { return m_names->at(qsizetype(m_first + i)); }
    BlockSide first(std::size_t n) const { return BlockSide(*m_names, m_first, n, m_separators); }
    BlockSide from(std::size_t n) const { return BlockSide(*m_names, m_first + n, m_size - n, m_separators); }

private:
    BlockSide(const NameBlock &names, std::size_t first, std::size_t size, bool separators)
        : m_names(&names), m_first(first), m_size(size), m_separators(separators)
    {}

    const NameBlock *m_names;
    std::size_t m_first;
    std::size_t m_size;
    bool m_separators;
};

inline char16_t foldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

inline char16_t unitOf(char c)
{
    return static_cast<unsigned char>(c);
}

inline char16_t unitOf(char16_t c)
{
    return c;
}

// compareSringsCaseInsensitive for a file name as found on disk (UTF-8, no separator) and a name's
// last component. While both are ASCII the units fold on their own; past that the name is decoded, and
// 2 says so.
template <typename Unit> int compareFound(std::string_view found, const Unit *other, qsizetype otherSize)
{
    const qsizetype common = std::min(qsizetype(found.size()), otherSize);
    for (qsizetype i = 0; i < common; ++i) {
        const char16_t p = unitOf(found[std::size_t(i)]);
        const char16_t q = unitOf(other[i]);
        if (p >= 0x80 || q >= 0x80)
            return 2; // not decided here
        const char16_t a = foldAscii(p);
        const char16_t b = foldAscii(q);
        if (a != b)
            return a < b ? -1 : 1;
    }
    // Both ASCII so far: a name's length in bytes is then its length in units, or the longer is longer.
    return (qsizetype(found.size()) > otherSize) - (qsizetype(found.size()) < otherSize);
}

// compareSringsCaseInsensitive across both kinds of side.
class Comparison
{
public:
    explicit Comparison(const NameComparison &names) : m_names(names) {}

    int operator()(QStringView a, QStringView b) const { return m_names(a, b); }
    int operator()(std::string_view a, QStringView b) const
    {
        const QStringView component = m_names.holdsSeparators() ? lastPathComponent(b) : b;
        const int order = compareFound(a, component.utf16(), component.size());
        return order != 2 ? order
                          : compareSringsCaseInsensitive(QString::fromUtf8(a.data(), qsizetype(a.size())), component);
    }
    int operator()(QStringView a, std::string_view b) const { return -(*this)(b, a); }
    int operator()(std::string_view a, std::string_view b) const
    {
        const int order = compareFound(a, b.data(), qsizetype(b.size()));
        return order != 2 ? order
                          : compareSringsCaseInsensitive(QString::fromUtf8(a.data(), qsizetype(a.size())),
                                                         QString::fromUtf8(b.data(), qsizetype(b.size())));
    }

private:
    const NameComparison &m_names;
};

constexpr std::size_t kPrefetchAhead = 8;

// Below this many names a second thread costs more than it saves.
constexpr std::size_t kParallelMergeThreshold = 40'000;

// Where the walk over `names` should start for the half of a merge whose names are >= `pivot`.
template <typename Side, typename Pivot>
std::size_t lowerBound(const Side &names, const Pivot &pivot, const Comparison &compare)
{
    std::size_t low = 0;
    std::size_t high = names.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (compare(names.at(middle), pivot) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// A split of `names` near its middle that no run of equal names straddles; 0 when there is none.
template <typename Side> std::size_t splitPoint(const Side &names, const Comparison &compare)
{
    std::size_t middle = names.size() / 2;
    while (middle > 0 && middle < names.size() && compare(names.at(middle - 1), names.at(middle)) == 0)
        ++middle;
    return middle < names.size() ? middle : 0;
}

// The result lists, by number: valid, missing, unknown for roms; valid, missing, extra, unknown for videos.
enum ListIndex { kValid, kMissing, kUnknown, kExtra, kListCount };

using Counts = std::array<std::size_t, kListCount>;

// Where a merge puts names: it counts them on a first pass, so that the lists are made at their final
// size once, then places them, each half of a merge in its own part of every list.
// `Name` is what a list holds: QString, or std::string_view for views of the names of blocks.
template <typename Name> class Placement
{
public:
    // Counting.
    Placement() = default;
    // Placing, from `at` on in each list.
    Placement(std::array<Name *, kListCount> at) : m_at(at), m_placing(true) {}

    template <typename Side> void put(ListIndex list, const Side &side, std::size_t i)
    {
        if (!m_placing)
            ++m_counts[list];
        else if constexpr (std::is_same_v<Name, QString>)
            *m_at[list]++ = side.take(i);
        else
            *m_at[list]++ = side.bytes(i);
    }
    const Counts &counts() const { return m_counts; }

private:
    std::array<Name *, kListCount> m_at{};
    Counts m_counts{};
    bool m_placing = false;
};

template <typename Found, typename Supported, typename Out>
void mergeRomRange(const Found &found, const Supported &supported, const Comparison &compare, Out &out)
{
    std::size_t f = 0;
    std::size_t s = 0;
    while (f < found.size() || s < supported.size()) {
        supported.prefetch(s + kPrefetchAhead);
        if (f == found.size()) {
            out.put(kMissing, supported, s++);
        } else if (s == supported.size()) {
            out.put(kUnknown, found, f++);
        } else {
            const int order = compare(found.at(f), supported.at(s));
            if (order == 0) {
                out.put(kValid, supported, s++);
                ++f;
            } else if (order > 0) {
                out.put(kMissing, supported, s++);
            } else {
                out.put(kUnknown, found, f++);
            }
        }
    }
}

// A forward-only walk over the look-up names: the names asked about arrive in ascending order.
template <typename Side> class LookupWalk
{
public:
    LookupWalk(Side names, const Comparison &compare) : m_names(names), m_compare(compare) {}

    template <typename Name> bool take(const Name &name)
    {
        while (m_next < m_names.size() && m_compare(name, m_names.at(m_next)) > 0)
            ++m_next;
        if (m_next < m_names.size() && m_compare(name, m_names.at(m_next)) == 0) {
            ++m_next;
            return true;
        }
        return false;
    }

private:
    Side m_names;
    const Comparison &m_compare;
    std::size_t m_next = 0;
};

template <typename Videos, typename Expected, typename Lookup, typename Out>
void mergeVideoRange(const Videos &videos, const Expected &expected, const std::optional<Lookup> &lookup,
                     const Comparison &compare, Out &out)
{
    std::optional<LookupWalk<Lookup>> walk;
    if (lookup)
        walk.emplace(*lookup, compare);

    const auto placeExpected = [&](std::size_t i) {
        if (!walk || walk->take(expected.at(i)))
            out.put(kMissing, expected, i);
    };
    const auto placeVideo = [&](std::size_t i) {
        out.put(walk && walk->take(videos.at(i)) ? kExtra : kUnknown, videos, i);
    };

    std::size_t v = 0;
    std::size_t e = 0;
    while (v < videos.size() || e < expected.size()) {
        expected.prefetch(e + kPrefetchAhead);
        if (v == videos.size()) {
            placeExpected(e++);
        } else if (e == expected.size()) {
            placeVideo(v++);
        } else {
            const int order = compare(videos.at(v), expected.at(e));
            if (order == 0) {
                out.put(kValid, expected, e++);
                ++v;
            } else if (order > 0) {
                placeExpected(e++);
            } else {
                placeVideo(v++);
            }
        }
    }
}

// Runs a merge given as `mergeHalf(half, placement)` over one or two halves and fills `lists`. Every
// name below the split point sorts before every name above it, and a single pass emits names in order,
// so the halves' lists, one after the other, are exactly the single pass's lists.
// Views are small and cheap to copy: each half appends them to lists of its own, joined afterwards,
// which costs less than a counting pass.
class ViewPlacement
{
public:
    template <typename Side> void put(ListIndex list, const Side &side, std::size_t i)
    {
        m_lists[list].push_back(side.bytes(i));
    }
    std::array<std::vector<std::string_view>, kListCount> &lists() { return m_lists; }

private:
    std::array<std::vector<std::string_view>, kListCount> m_lists;
};

template <typename Name, typename List, typename Merge>
void merged(bool twoHalves, std::array<List *, kListCount> lists, Merge mergeHalf)
{
    const int halves = twoHalves ? 2 : 1;
    if constexpr (std::is_same_v<Name, std::string_view>) {
        std::array<ViewPlacement, 2> placing;
        const auto place = [&](int half) { mergeHalf(half, placing[std::size_t(half)]); };
        if (twoHalves)
            onTwoCores(place);
        else
            place(0);
        for (std::size_t list = 0; list < kListCount; ++list) {
            if (!lists[list])
                continue;
            *lists[list] = std::move(placing[0].lists()[list]);
            const std::vector<std::string_view> &second = placing[1].lists()[list];
            lists[list]->insert(lists[list]->end(), second.begin(), second.end());
        }
        return;
    }
    std::array<Placement<Name>, 2> counting;
    const auto count = [&](int half) { mergeHalf(half, counting[std::size_t(half)]); };
    if (twoHalves)
        onTwoCores(count);
    else
        count(0);

    std::array<std::array<Name *, kListCount>, 2> at{};
    for (std::size_t list = 0; list < kListCount; ++list) {
        if (!lists[list])
            continue;
        lists[list]->resize(
            typename List::size_type(counting[0].counts()[list] + (twoHalves ? counting[1].counts()[list] : 0)));
        at[0][list] = lists[list]->data();
        at[1][list] = at[0][list] + counting[0].counts()[list];
    }
    std::array<Placement<Name>, 2> placing{Placement<Name>(at[0]), Placement<Name>(at[1])};
    const auto place = [&](int half) { mergeHalf(half, placing[std::size_t(half)]); };
    if (halves == 2)
        onTwoCores(place);
    else
        place(0);
}

template <typename Results, typename Found, typename Supported>
Results mergeRomSides(const Found &f, const Supported &s, const NameComparison &names)
{
    using List = decltype(Results().valid);
    using Name = typename List::value_type;
    const Comparison compare(names);
    const std::size_t split = f.size() + s.size() >= kParallelMergeThreshold ? splitPoint(f, compare) : 0;
    const std::size_t supportedSplit = split == 0 ? s.size() : lowerBound(s, f.at(split), compare);
    Results results;
    merged<Name, List>(split != 0, {&results.valid, &results.missing, &results.unknown, nullptr},
                       [&](int half, auto &out) {
                           if (split == 0)
                               mergeRomRange(f, s, compare, out);
                           else if (half == 0)
                               mergeRomRange(f.first(split), s.first(supportedSplit), compare, out);
                           else
                               mergeRomRange(f.from(split), s.from(supportedSplit), compare, out);
                       });
    return results;
}

template <typename Results, typename Videos, typename Expected, typename Lookup>
Results mergeVideoSides(const Videos &v, const Expected &e, const std::optional<Lookup> &l, const NameComparison &names)
{
    using List = decltype(Results().valid);
    using Name = typename List::value_type;
    using Part = std::optional<Lookup>;
    const Comparison compare(names);
    const std::size_t split = v.size() + e.size() >= kParallelMergeThreshold ? splitPoint(v, compare) : 0;
    std::size_t expectedSplit = e.size();
    std::size_t lookupSplit = l ? l->size() : 0;
    if (split != 0) {
        const auto pivot = v.at(split);
        expectedSplit = lowerBound(e, pivot, compare);
        lookupSplit = l ? lowerBound(*l, pivot, compare) : 0;
    }
    Results results;
    merged<Name, List>(split != 0, {&results.valid, &results.missing, &results.unknown, &results.extra},
                       [&](int half, auto &out) {
                           if (split == 0)
                               mergeVideoRange(v, e, l, compare, out);
                           else if (half == 0)
                               mergeVideoRange(v.first(split), e.first(expectedSplit),
                                               l ? Part(l->first(lookupSplit)) : Part(), compare, out);
                           else
                               mergeVideoRange(v.from(split), e.from(expectedSplit),
                                               l ? Part(l->from(lookupSplit)) : Part(), compare, out);
                       });
    return results;
}

std::optional<ListSide<false>> lookupOf(const QStringList *lookup)
{
    return lookup ? std::optional(sideOf(*lookup)) : std::nullopt;
}

std::optional<BlockSide> lookupOf(const NameBlock *lookup)
{
    return lookup ? std::optional(BlockSide(*lookup)) : std::nullopt;
}

} // namespace

RomResults mergeRoms(const QStringList &found, const QStringList &supported)
{
    return mergeRoms(found, supported, NameComparison{&found, &supported});
}

RomResults mergeRoms(const QStringList &found, const QStringList &supported, const NameComparison &compare)
{
    return mergeRomSides<RomResults>(sideOf(found), sideOf(supported), compare);
}

RomResults mergeRoms(QStringList &&found, QStringList &&supported, const NameComparison &compare)
{
    return mergeRomSides<RomResults>(sideOf(found), sideOf(supported), compare);
}

RomNameViews mergeRomViews(const NameBlock &found, const NameBlock &supported)
{
    return mergeRomSides<RomNameViews>(BlockSide(found), BlockSide(supported), NameComparison(false));
}

VideoNameViews mergeVideoViews(const NameBlock &videos, const NameBlock &expected, const NameBlock *lookup)
{
    return mergeVideoSides<VideoNameViews>(BlockSide(videos), BlockSide(expected), lookupOf(lookup),
                                           NameComparison(false));
}

RomResults mergeRoms(const NameBlock &found, const NameBlock &supported)
{
    return mergeRomSides<RomResults>(BlockSide(found), BlockSide(supported), NameComparison(false));
}

VideoResults mergeVideos(const QStringList &videos, const QStringList &expected, const QStringList *lookup)
{
    return mergeVideos(videos, expected, lookup, NameComparison{&videos, &expected, lookup});
}

VideoResults mergeVideos(const QStringList &videos, const QStringList &expected, const QStringList *lookup,
                         const NameComparison &compare)
{
    return mergeVideoSides<VideoResults>(sideOf(videos), sideOf(expected), lookupOf(lookup), compare);
}

VideoResults mergeVideos(QStringList &&videos, QStringList &&expected, const QStringList *lookup,
                         const NameComparison &compare)
{
    return mergeVideoSides<VideoResults>(sideOf(videos), sideOf(expected), lookupOf(lookup), compare);
}

VideoResults mergeVideos(const NameBlock &videos, const NameBlock &expected, const NameBlock *lookup)
{
    return mergeVideoSides<VideoResults>(BlockSide(videos), BlockSide(expected), lookupOf(lookup),
                                         NameComparison(false));
}

} // namespace zelvora
