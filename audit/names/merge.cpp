#include "audit/names/merge.h"

#include "audit/names/names.h"

#include <algorithm>
#include <optional>

namespace zelvora {

namespace {

// One side of a merge: the names of a block in sorted order, compared by their last components.
class Side
{
public:
    explicit Side(const NameBlock &names) : m_names(names), m_separators(names.holdsSeparator()) {}
    std::size_t size() const { return std::size_t(m_names.size()); }
    std::string_view name(std::size_t i) const { return m_names.at(qsizetype(i)); }
    std::string_view key(std::size_t i) const { return m_separators ? lastPathComponent(name(i)) : name(i); }

private:
    const NameBlock &m_names;
    bool m_separators; // file names never hold one; list entries may
};

// A forward-only walk over the look-up names: the names asked about arrive in ascending order.
class LookupWalk
{
public:
    explicit LookupWalk(const NameBlock &names) : m_names(names) {}

    bool take(std::string_view key)
    {
        while (m_next < m_names.size() && compareNameComponents(key, m_names.key(m_next)) > 0)
            ++m_next;
        if (m_next < m_names.size() && compareNameComponents(key, m_names.key(m_next)) == 0) {
            ++m_next;
            return true;
        }
        return false;
    }

private:
    Side m_names;
    std::size_t m_next = 0;
};

} // namespace

RomResults mergeRoms(const NameBlock &foundNames, const NameBlock &supportedNames)
{
    const Side found(foundNames);
    const Side supported(supportedNames);
    RomResults out;
    // Room for the most each list can take: the pages a list never fills are never touched.
    out.valid.reserve(std::min(found.size(), supported.size()));
    out.missing.reserve(supported.size());
    out.unknown.reserve(found.size());
    std::size_t f = 0;
    std::size_t s = 0;
    while (f < found.size() && s < supported.size()) {
        const int order = compareNameComponents(found.key(f), supported.key(s));
        if (order == 0) {
            out.valid.push_back(supported.name(s++));
            ++f;
        } else if (order > 0) {
            out.missing.push_back(supported.name(s++));
        } else {
            out.unknown.push_back(found.name(f++));
        }
    }
    for (; s < supported.size(); ++s)
        out.missing.push_back(supported.name(s));
    for (; f < found.size(); ++f)
        out.unknown.push_back(found.name(f));
    return out;
}

VideoResults mergeVideos(const NameBlock &videoNames, const NameBlock &expectedNames, const NameBlock *lookupNames)
{
    const Side videos(videoNames);
    const Side expected(expectedNames);
    std::optional<LookupWalk> lookup;
    if (lookupNames)
        lookup.emplace(*lookupNames);

    VideoResults out;
    out.valid.reserve(std::min(videos.size(), expected.size()));
    out.missing.reserve(expected.size());
    out.extra.reserve(lookup ? videos.size() : 0);
    out.unknown.reserve(videos.size());
    const auto placeExpected = [&](std::size_t i) {
        if (!lookup || lookup->take(expected.key(i)))
            out.missing.push_back(expected.name(i));
    };
    const auto placeVideo = [&](std::size_t i) {
        (lookup && lookup->take(videos.key(i)) ? out.extra : out.unknown).push_back(videos.name(i));
    };

    std::size_t v = 0;
    std::size_t e = 0;
    while (v < videos.size() && e < expected.size()) {
        const int order = compareNameComponents(videos.key(v), expected.key(e));
        if (order == 0) {
            out.valid.push_back(expected.name(e++));
            ++v;
        } else if (order > 0) {
            placeExpected(e++);
        } else {
            placeVideo(v++);
        }
    }
    for (; e < expected.size(); ++e)
        placeExpected(e);
    for (; v < videos.size(); ++v)
        placeVideo(v);
    return out;
}

} // namespace zelvora
