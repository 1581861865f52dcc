#include "audit/merge.h"

#include "audit/names.h"

#include <optional>

namespace zelvora {

RomResults mergeRoms(const QStringList &found, const QStringList &supported)
{
    return mergeRoms(found, supported, NameComparison{&found, &supported});
}

RomResults mergeRoms(const QStringList &found, const QStringList &supported, const NameComparison &compare)
{
    RomResults results;
    qsizetype f = 0;
    qsizetype s = 0;
    while (f < found.size() || s < supported.size()) {
        if (f == found.size()) {
            results.missing.append(supported[s++]);
        } else if (s == supported.size()) {
            results.unknown.append(found[f++]);
        } else {
            const int order = compare(found[f], supported[s]);
            if (order == 0) {
                results.valid.append(supported[s++]);
                ++f;
            } else if (order > 0) {
                results.missing.append(supported[s++]);
            } else {
                results.unknown.append(found[f++]);
            }
        }
    }
    return results;
}

namespace {

// A forward-only walk over the look-up names: the names asked about arrive in ascending order.
class LookupWalk
{
public:
    LookupWalk(const QStringList &names, const NameComparison &compare) : m_names(names), m_compare(compare) {}

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
    const QStringList &m_names;
    const NameComparison &m_compare;
    qsizetype m_next = 0;
};

} // namespace

VideoResults mergeVideos(const QStringList &videos, const QStringList &expected, const QStringList *lookup)
{
    return mergeVideos(videos, expected, lookup, NameComparison{&videos, &expected, lookup});
}

VideoResults mergeVideos(const QStringList &videos, const QStringList &expected, const QStringList *lookup,
                         const NameComparison &compare)
{
    VideoResults results;
    std::optional<LookupWalk> walk;
    if (lookup)
        walk.emplace(*lookup, compare);

    const auto placeExpected = [&](const QString &name) {
        if (!walk || walk->take(name))
            results.missing.append(name);
    };
    const auto placeVideo = [&](const QString &name) {
        if (walk && walk->take(name))
            results.extra.append(name);
        else
            results.unknown.append(name);
    };

    qsizetype v = 0;
    qsizetype e = 0;
    while (v < videos.size() || e < expected.size()) {
        if (v == videos.size()) {
            placeExpected(expected[e++]);
        } else if (e == expected.size()) {
            placeVideo(videos[v++]);
        } else {
            const int order = compare(videos[v], expected[e]);
            if (order == 0) {
                results.valid.append(expected[e++]);
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

} // namespace zelvora
