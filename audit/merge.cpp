#include "audit/merge.h"

#include "audit/names.h"

#include <algorithm>
#include <optional>
#include <span>
#include <system_error>
#include <thread>

namespace zelvora {

namespace {

using Names = std::span<const QString>;

std::span<const QString> all(const QStringList &names)
{
    return {names.constData(), std::size_t(names.size())};
}

std::span<QString> all(QStringList &names)
{
    return {names.data(), std::size_t(names.size())};
}

// A name goes into a result list by copy, or, when the merge owns the input lists, by move: no
// reference count to touch and nothing left to free.
inline const QString &pass(const QString &name)
{
    return name;
}

inline QString &&pass(QString &name)
{
    return std::move(name);
}

// Below this many names a second thread costs more than it saves.
constexpr std::size_t kParallelMergeThreshold = 40'000;

// Where the walk over `names` should start for the half of a merge whose names are >= `pivot`.
std::size_t lowerBound(Names names, const QString &pivot, const NameComparison &compare)
{
    return std::size_t(std::lower_bound(names.begin(), names.end(), pivot,
                                        [&](const QString &a, const QString &b) { return compare(a, b) < 0; }) -
                       names.begin());
}

// A split of `names` near its middle that no run of equal names straddles; 0 when there is none.
std::size_t splitPoint(Names names, const NameComparison &compare)
{
    std::size_t middle = names.size() / 2;
    while (middle > 0 && middle < names.size() && compare(names[middle - 1], names[middle]) == 0)
        ++middle;
    return middle < names.size() ? middle : 0;
}

// The lists of `first` followed by those of `second`.
RomResults joined(RomResults first, RomResults second)
{
    first.valid.append(std::move(second.valid));
    first.missing.append(std::move(second.missing));
    first.unknown.append(std::move(second.unknown));
    return first;
}

VideoResults joined(VideoResults first, VideoResults second)
{
    first.valid.append(std::move(second.valid));
    first.missing.append(std::move(second.missing));
    first.extra.append(std::move(second.extra));
    first.unknown.append(std::move(second.unknown));
    return first;
}

// Runs the two halves of a merge, the first on a thread of its own when one can be had. Every name
// below the split point sorts before every name above it, and a single pass emits names in order,
// so the two halves' lists, joined, are exactly the single pass's lists.
template <typename Results, typename Merge> Results inTwoHalves(Merge mergeHalf)
{
    Results first;
    std::thread other;
    try {
        other = std::thread([&] { first = mergeHalf(0); });
    } catch (const std::system_error &) {
        first = mergeHalf(0);
    }
    Results second = mergeHalf(1);
    if (other.joinable())
        other.join();
    return joined(std::move(first), std::move(second));
}

template <typename Name>
RomResults mergeRomRange(std::span<Name> found, std::span<Name> supported, const NameComparison &compare)
{
    RomResults results;
    std::size_t f = 0;
    std::size_t s = 0;
    while (f < found.size() || s < supported.size()) {
        if (f == found.size()) {
            results.missing.append(pass(supported[s++]));
        } else if (s == supported.size()) {
            results.unknown.append(pass(found[f++]));
        } else {
            const int order = compare(found[f], supported[s]);
            if (order == 0) {
                results.valid.append(pass(supported[s++]));
                ++f;
            } else if (order > 0) {
                results.missing.append(pass(supported[s++]));
            } else {
                results.unknown.append(pass(found[f++]));
            }
        }
    }
    return results;
}

// A forward-only walk over the look-up names: the names asked about arrive in ascending order.
class LookupWalk
{
public:
    LookupWalk(Names names, const NameComparison &compare) : m_names(names), m_compare(compare) {}

    bool take(const QString &name)
    {
        while (m_next < m_names.size() && m_compare(name, m_names[m_next]) > 0)
            ++m_next;
        if (m_next < m_names.size() && m_compare(name, m_names[m_next]) == 0) {
            ++m_next;
            return true;
        }
        return false;
    }

private:
    Names m_names;
    const NameComparison &m_compare;
    std::size_t m_next = 0;
};

template <typename Name>
VideoResults mergeVideoRange(std::span<Name> videos, std::span<Name> expected, std::optional<Names> lookup,
                             const NameComparison &compare)
{
    VideoResults results;
    std::optional<LookupWalk> walk;
    if (lookup)
        walk.emplace(*lookup, compare);

    const auto placeExpected = [&](Name &name) {
        if (!walk || walk->take(name))
            results.missing.append(pass(name));
    };
    const auto placeVideo = [&](Name &name) {
        if (walk && walk->take(name))
            results.extra.append(pass(name));
        else
            results.unknown.append(pass(name));
    };

    std::size_t v = 0;
    std::size_t e = 0;
    while (v < videos.size() || e < expected.size()) {
        if (v == videos.size()) {
            placeExpected(expected[e++]);
        } else if (e == expected.size()) {
            placeVideo(videos[v++]);
        } else {
            const int order = compare(videos[v], expected[e]);
            if (order == 0) {
                results.valid.append(pass(expected[e++]));
                ++v;
            } else if (order > 0) {
                placeExpected(expected[e++]);
            } else {
                placeVideo(videos[v++]);
            }
        }
    }
    return results;
}

template <typename Name> RomResults mergeRomSpans(std::span<Name> f, std::span<Name> s, const NameComparison &compare)
{
    const std::size_t split = f.size() + s.size() >= kParallelMergeThreshold ? splitPoint(f, compare) : 0;
    if (split == 0)
        return mergeRomRange(f, s, compare);
    const std::size_t supportedSplit = lowerBound(s, f[split], compare);
    return inTwoHalves<RomResults>([&](int half) {
        return half == 0 ? mergeRomRange(f.first(split), s.first(supportedSplit), compare)
                         : mergeRomRange(f.subspan(split), s.subspan(supportedSplit), compare);
    });
}

template <typename Name>
VideoResults mergeVideoSpans(std::span<Name> v, std::span<Name> e, std::optional<Names> l,
                             const NameComparison &compare)
{
    const std::size_t split = v.size() + e.size() >= kParallelMergeThreshold ? splitPoint(v, compare) : 0;
    if (split == 0)
        return mergeVideoRange(v, e, l, compare);
    const QString &pivot = v[split];
    const std::size_t expectedSplit = lowerBound(e, pivot, compare);
    const std::size_t lookupSplit = l ? lowerBound(*l, pivot, compare) : 0;
    return inTwoHalves<VideoResults>([&](int half) {
        if (half == 0)
            return mergeVideoRange(v.first(split), e.first(expectedSplit),
                                   l ? std::optional<Names>(l->first(lookupSplit)) : std::nullopt, compare);
        return mergeVideoRange(v.subspan(split), e.subspan(expectedSplit),
                               l ? std::optional<Names>(l->subspan(lookupSplit)) : std::nullopt, compare);
    });
}

} // namespace

RomResults mergeRoms(const QStringList &found, const QStringList &supported)
{
    return mergeRoms(found, supported, NameComparison{&found, &supported});
}

RomResults mergeRoms(const QStringList &found, const QStringList &supported, const NameComparison &compare)
{
    return mergeRomSpans(all(found), all(supported), compare);
}

RomResults mergeRoms(QStringList &&found, QStringList &&supported, const NameComparison &compare)
{
    return mergeRomSpans(all(found), all(supported), compare);
}

VideoResults mergeVideos(const QStringList &videos, const QStringList &expected, const QStringList *lookup)
{
    return mergeVideos(videos, expected, lookup, NameComparison{&videos, &expected, lookup});
}

VideoResults mergeVideos(const QStringList &videos, const QStringList &expected, const QStringList *lookup,
                         const NameComparison &compare)
{
    return mergeVideoSpans(all(videos), all(expected), lookup ? std::optional<Names>(all(*lookup)) : std::nullopt,
                           compare);
}

VideoResults mergeVideos(QStringList &&videos, QStringList &&expected, const QStringList *lookup,
                         const NameComparison &compare)
{
    return mergeVideoSpans(all(videos), all(expected), lookup ? std::optional<Names>(all(*lookup)) : std::nullopt,
                           compare);
}

} // namespace zelvora
