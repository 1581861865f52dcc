// The near-miss pass: an index of the missing names' folded keys and of their words around each one a
// typo may hide in (sorted hashes, no map per name), a look-up per candidate file, and the choice of
// pairs, which leaves every equal fit unpaired. The list's own words are gathered only when a typo
// that needs them is found.

#include "audit/nearmiss/nearmiss.h"

#include "audit/files/csv.h"
#include "audit/names/names.h"
#include "audit/names/textunits.h"
#include "audit/nearmiss/nearmissfold.h"
#include "audit/parallel.h"

#include <QScopeGuard>
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>
#include <utility>

namespace zelvora {

using namespace nearmiss;

QStringView nearMissReasonId(NearMissReason reason)
{
    switch (reason) {
    case NearMissReason::CaseAndSeparators:
        return u"case-and-separators";
    case NearMissReason::ForbiddenCharacters:
        return u"forbidden-characters";
    case NearMissReason::Accents:
        return u"accents";
    case NearMissReason::RomanNumerals:
        return u"roman-numerals";
    case NearMissReason::Article:
        return u"article";
    case NearMissReason::DownloadCopy:
        return u"download-copy";
    case NearMissReason::DoubleExtension:
        return u"double-extension";
    case NearMissReason::DottedName:
        return u"dotted-name";
    case NearMissReason::OtherFormat:
        return u"other-format";
    case NearMissReason::Typo:
        return u"typo";
    }
    return {};
}

namespace {

quint64 mix(quint64 x)
{
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    return x ^ (x >> 33);
}

// Eight bytes a step: the pass hashes every name's key and each of its words.
inline quint64 hashBytes(std::string_view bytes)
{
    constexpr quint64 kOdd = 0x9E3779B97F4A7C15ULL;
    quint64 hash = bytes.size() * kOdd;
    const char *at = bytes.data();
    std::size_t left = bytes.size();
    for (; left > 8; left -= 8, at += 8) {
        quint64 part = 0;
        std::memcpy(&part, at, 8);
        hash = (hash ^ part) * kOdd;
        hash ^= hash >> 31;
    }
    // The last one to eight bytes in two loads at most, which may overlap: most words are that short,
    // and a loop over their bytes took a tenth of the pass's instructions. The length, hashed in, tells
    // them apart.
    quint64 part = 0;
    if (left >= 4) {
        quint32 low = 0;
        quint32 high = 0;
        std::memcpy(&low, at, 4);
        std::memcpy(&high, at + left - 4, 4);
        part = low | (quint64(high) << 32);
    } else if (left > 0) {
        const auto byte = [&](std::size_t i) { return quint64(static_cast<unsigned char>(at[i])); };
        part = byte(0) | (byte(left / 2) << 8) | (byte(left - 1) << 16);
    }
    return mix(hash ^ part);
}

std::string_view stemOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && compareNameComponents(a, b) == 0;
}

bool holdsCapital(std::string_view name)
{
    return std::any_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return foldAscii(char16_t(static_cast<unsigned char>(x))) ==
                      foldAscii(char16_t(static_cast<unsigned char>(y)));
           });
}

// The typo keys of a name: for each word, the hash of the words around it. Summed parts of the words,
// each its text, tag or not, and place, so that each key costs one subtraction.
class TypoKeys
{
public:
    static constexpr std::size_t kMostWords = 32;

    // Only the first words' parts are set: zeroing all of them took a tenth of the pass.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
    explicit TypoKeys(const Folded &name) : m_all(mix(name.words.size()))
    {
        for (std::size_t i = 0; i < name.words.size() && i < kMostWords; ++i) {
            // An odd number of its own for each place: a word moved to another place gives another part.
            m_parts[i] = (hashBytes(name.word(i)) ^ (name.words[i].inBrackets ? 0x5bd1e995ULL : 0)) *
                         ((2 * i + 1) * 0x9E3779B97F4A7C15ULL);
            m_all += m_parts[i];
        }
    }
    quint64 around(std::size_t at) const { return m_all - m_parts[at] + mix(at + 0x1e); }

private:
    std::array<quint64, kMostWords> m_parts;
    quint64 m_all;
};

// A typo is looked for in a title of several words, or of one word of six letters or more, and in
// their tags; not in a code ("sf2ua", "hp9845b"). A title of eight letters or fewer is short: it
// takes only the typos that must make a word the list does not hold (isTypoOf).
constexpr int kMostLettersOfACode = 8;
constexpr std::size_t kFewestLettersOfAOneWordTitle = 6;
constexpr std::size_t kLongestOneWordTitle = 64;

bool mayHoldTypos(const Folded &name)
{
    if (name.words.size() > TypoKeys::kMostWords)
        return false;
    if (name.plainWords >= 2)
        return true;
    if (name.plainWords != 1)
        return false;
    const auto plain = std::find_if(name.words.begin(), name.words.end(), [](const Word &w) { return !w.inBrackets; });
    return plain->size >= kFewestLettersOfAOneWordTitle && plain->size <= kLongestOneWordTitle && plain->lettersOnly;
}

bool mayHoldTypo(const Folded &name, std::size_t at)
{
    return at < name.words.size() && name.words[at].size >= 3 && name.words[at].lettersOnly;
}

// The typo keys of a name, each with its word: the words around it. The word of a one-word title has
// nothing around it, so it also gives each spelling of it with one letter left out: a typo in it
// shares one of them with the word as listed.
template <typename Take> void forEachTypoKey(const Folded &name, Take &&take)
{
    const TypoKeys keys(name);
    for (std::size_t w = 0; w < name.words.size(); ++w) {
        if (!mayHoldTypo(name, w))
            continue;
        const quint64 around = keys.around(w);
        if (name.plainWords > 1 || name.words[w].inBrackets) {
            take(around, w);
            continue;
        }
        const std::string_view word = name.word(w);
        take(around + hashBytes(word), w);
        std::array<char, kLongestOneWordTitle> shorter{};
        std::copy(word.begin() + 1, word.end(), shorter.begin());
        for (std::size_t left = 0; left < word.size(); ++left) {
            // shorter: the word without its letter `left`; a letter like the one before it leaves the same.
            if (left > 0) {
                shorter[left - 1] = word[left - 1];
                if (word[left] == word[left - 1])
                    continue;
            }
            take(around + hashBytes(std::string_view(shorter.data(), word.size() - 1)), w);
        }
    }
}

// Whether a word is one of the list's, for the typos that may make a real word of it: gathered from
// the whole list the first time a typo asks, on the thread that asks, while the other waits.
class ListWords
{
public:
    explicit ListWords(const NameBlock &listed) : m_listed(listed) {}

    bool has(std::string_view word) const
    {
        std::call_once(m_gathered, [this] { gather(); });
        return std::binary_search(m_words.begin(), m_words.end(), hashBytes(word));
    }

private:
    void gather() const
    {
        NameFolder folder;
        Folded folded;
        for (qsizetype i = 0; i < m_listed.size(); ++i) {
            folder.foldInto(stemOf(lastPathComponent(m_listed.at(i))), FoldLevel::Article, folded, true);
            for (std::size_t w = 0; w < folded.words.size(); ++w)
                m_words.push_back(hashBytes(folded.word(w)));
        }
        std::sort(m_words.begin(), m_words.end());
        m_words.erase(std::unique(m_words.begin(), m_words.end()), m_words.end());
    }

    const NameBlock &m_listed;
    mutable std::once_flag m_gathered;
    mutable std::vector<quint64> m_words;
};

// A candidate file: the unknown files first, by their place among the found ones, then the files in
// other formats. Four bytes each: the pass's time goes as much to fresh memory as to work.
class Candidates
{
public:
    Candidates(const FoundFiles &found, const NameList &unknown, const FoundFiles &otherFormats)
        : m_found(found), m_otherFormats(otherFormats)
    {
        // The unknown files are views of the found names in the same order.
        m_unknown.reserve(unknown.size());
        std::size_t u = 0;
        for (qsizetype i = 0; i < found.size() && u < unknown.size(); ++i) {
            if (found.names.at(i).data() == unknown[u].data()) {
                m_unknown.push_back(quint32(i));
                ++u;
            }
        }
    }

    std::size_t size() const { return m_unknown.size() + std::size_t(m_otherFormats.size()); }
    bool isOtherFormat(std::size_t c) const { return c >= m_unknown.size(); }
    std::string_view name(std::size_t c) const
    {
        return isOtherFormat(c) ? m_otherFormats.names.at(qsizetype(c - m_unknown.size()))
                                : m_found.names.at(m_unknown[c]);
    }
    std::string_view folder(std::size_t c) const
    {
        return isOtherFormat(c) ? m_otherFormats.folderOf(qsizetype(c - m_unknown.size()))
                                : m_found.folderOf(m_unknown[c]);
    }
    NearMissCandidate described(std::size_t c, NearMissReason reason) const
    {
        return NearMissCandidate{name(c), folder(c), reason};
    }

private:
    const FoundFiles &m_found;
    const FoundFiles &m_otherFormats;
    std::vector<quint32> m_unknown;
};

struct Fit
{
    quint32 expected = 0;
    quint32 candidate = 0;
    NearMissReason reason = NearMissReason::Typo;
};

// Hashes to numbers, open addressing with linear probing: one allocation, a probe or two per look-up.
// Only 32 bits of a hash are kept, its tag, from which its slot and its filter bit are spread: an entry
// is 8 bytes wherever it lies (the table of 250,000 typo keys fits in 2 MB), and fresh memory costs the
// pass as much as its work. Equal tags take successive slots and are all visited, and callers check
// what they find. Most look-ups find nothing, so a bit per tag (16 bits per entry, small enough to stay
// in the cache) turns about 94% of them away before the table, whose every probe is a cache miss.
class HashIndex
{
public:
    struct Entry
    {
        quint32 tag = 0;
        quint32 value = 0;
    };
    using Entries = std::vector<Entry>;

    // The high half of a hash, never 0 (a free slot).
    static quint32 tagOf(quint64 hash) { return quint32(hash >> 32) | 1U; }

    // From at most `count` entries, which `forEach(visit)` hands to visit(tag, value): the slots and
    // the filter, which two threads may build side by side.
    template <typename ForEach> void buildSlots(std::size_t count, ForEach &&forEach)
    {
        int bits = 4;
        // At most four fifths full: a miss rarely probes past its cache line, and the filter turns most away.
        while ((std::size_t(1) << bits) < count + count / 4)
            ++bits;
        m_slotShift = 64 - bits;
        m_mask = (std::size_t(1) << bits) - 1;
        m_slots.assign(m_mask + 1, Entry{});
        // Every insert lands on a cache line of its own: asking for the lines of the next few keeps
        // several coming.
        constexpr std::size_t kAhead = 32;
        std::array<Entry, kAhead> ahead{};
        std::size_t seen = 0;
        forEach([&](quint32 tag, quint32 value) {
            __builtin_prefetch(&m_slots[slotOf(tag)], 1);
            Entry &waiting = ahead[seen % kAhead];
            if (seen >= kAhead)
                insert(waiting);
            waiting = {tag, value};
            ++seen;
        });
        for (std::size_t k = seen - std::min(seen, kAhead); k < seen; ++k)
            insert(ahead[k % kAhead]);
    }
    template <typename ForEach> void buildFilter(std::size_t count, ForEach &&forEach)
    {
        int bits = 10;
        while ((std::size_t(1) << bits) < 16 * count)
            ++bits;
        m_filterShift = 64 - bits;
        m_filter.assign((std::size_t(1) << bits) / 64, 0);
        forEach([&](quint32 tag, quint32) {
            const std::size_t bit = filterBit(tag);
            m_filter[bit / 64] |= quint64(1) << (bit % 64);
        });
    }

    // A look-up in three steps, so that a batch of them waits for memory once, not once each: ask for
    // the filter's line, then (when it may hold the hash) for the slot's, then find.
    void prefetchFilter(quint64 hash) const
    {
        if (!m_filter.empty())
            __builtin_prefetch(&m_filter[filterBit(tagOf(hash)) / 64]);
    }
    bool mayHold(quint64 hash) const
    {
        if (m_slots.empty())
            return false;
        const std::size_t bit = filterBit(tagOf(hash));
        return (m_filter[bit / 64] & (quint64(1) << (bit % 64))) != 0;
    }
    void prefetchSlot(quint64 hash) const { __builtin_prefetch(&m_slots[slotOf(tagOf(hash))]); }

    template <typename Visit> void find(quint64 hash, Visit &&visit) const
    {
        if (!mayHold(hash))
            return;
        const quint32 tag = tagOf(hash);
        for (std::size_t i = slotOf(tag); m_slots[i].tag != 0; i = (i + 1) & m_mask) {
            if (m_slots[i].tag == tag)
                visit(m_slots[i].value);
        }
    }

private:
    void insert(const Entry &entry)
    {
        std::size_t i = slotOf(entry.tag);
        while (m_slots[i].tag != 0)
            i = (i + 1) & m_mask;
        m_slots[i] = entry;
    }

    // The top bits of the tag times an odd number, a different one for the slot and for the filter.
    std::size_t slotOf(quint32 tag) const { return std::size_t((tag * 0x9E3779B97F4A7C15ULL) >> m_slotShift); }
    std::size_t filterBit(quint32 tag) const { return std::size_t((tag * 0xC2B2AE3D27D4EB4FULL) >> m_filterShift); }

    std::vector<Entry> m_slots;
    std::size_t m_mask = 0;
    int m_slotShift = 63;
    std::vector<quint64> m_filter;
    int m_filterShift = 63;
};

struct Tail
{
    std::string_view shorter;
    NearMissReason reason = NearMissReason::DottedName;
};

// A list line's lost tail follows a version's dot ("v1.1", "(ver 1.1, set 2)"), an abbreviation's
// ("Ms. Pac-Man") or is one word ("Game v1.1b"); a word and more after a dot in a word is a file name of
// its own ("Mystic.Warriors (ver EAA)"). A tail that is the extension again is a doubled extension.
std::optional<Tail> tailOf(std::string_view stem, std::string_view extension)
{
    const std::size_t dot = stem.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return std::nullopt;
    const std::string_view tail = stem.substr(dot + 1);
    if (tail.empty() || !((tail.front() >= '0' && tail.front() <= '9') || tail.front() == ' ' ||
                          tail.find(' ') == std::string_view::npos))
        return std::nullopt;
    return Tail{stem.substr(0, dot),
                equalNoCase(tail, extension) ? NearMissReason::DoubleExtension : NearMissReason::DottedName};
}

// What a pass looks up, built once; the look-ups then run on two cores, each with a folder of its own.
class Pass
{
public:
    Pass(const NameBlock &listed, const NameList &missing, std::string_view extension)
        : m_extension(extension), m_missing(missing), m_inFolders(listed.holdsSeparator()), m_listWords(listed)
    {
        // Each name's key at its place (0: a name listed before), written by the thread that folds it:
        // half the memory of pairs, and fresh memory costs the pass as much as its work.
        const auto keys = std::make_unique_for_overwrite<quint32[]>(missing.size());
        std::array<HashIndex::Entries, 2> typos;
        onTwoCoresSharing(missing.size(), [&](int part, auto &&range) {
            NameFolder folder;
            Folded folded;
            // Filled here and moved out once: the two threads' vectors side by side would share a cache
            // line, whose every push would then travel between the cores.
            HashIndex::Entries partTypos;
            partTypos.reserve(missing.size() + 4096);
            const auto moveOut = qScopeGuard([&] { typos[std::size_t(part)] = std::move(partTypos); });
            std::size_t next = 0;
            quint64 keyBefore = 0;
            for (const std::size_t e : range) {
                // The names lie in the list's order, not in this one: each is a cache miss unless asked for early.
                if (e + 8 < missing.size())
                    __builtin_prefetch(missing[e + 8].data());
                const std::string_view name = expected(e);
                folder.foldInto(stemOf(name), FoldLevel::Article, folded, true);
                const quint64 key = hashBytes(folded.key);
                // The same name listed twice is one name, not two equal fits: only the first is looked for.
                // Equal names fold alike, so the name before is read only when the keys agree (or when
                // the other thread folded it).
                const bool again = e > 0 && (e != next || key == keyBefore) && sameName(expected(e - 1), name);
                next = e + 1;
                keyBefore = key;
                keys[e] = again ? 0 : HashIndex::tagOf(key);
                if (again)
                    continue;
                // A one-word set name takes no typo: its many keys would only be turned away later.
                if (mayHoldTypos(folded) && (folded.plainWords > 1 || holdsCapital(name)))
                    forEachTypoKey(folded, [&](quint64 typoKey, std::size_t) {
                        partTypos.push_back({HashIndex::tagOf(typoKey), quint32(e)});
                    });
            }
        });
        onTwoCores([&](int part) {
            // The typo table is the larger: one thread builds the keys' table and the typos' filter, the
            // other the typos' slots.
            const auto eachKey = [&](auto &&visit) {
                for (std::size_t e = 0; e < missing.size(); ++e) {
                    if (keys[e] != 0)
                        visit(keys[e], quint32(e));
                }
            };
            const auto eachTypo = [&](auto &&visit) {
                for (const HashIndex::Entries &entries : typos) {
                    for (const HashIndex::Entry &entry : entries)
                        visit(entry.tag, entry.value);
                }
            };
            const std::size_t typoCount = typos[0].size() + typos[1].size();
            if (part == 0) {
                m_keys.buildSlots(missing.size(), eachKey);
                m_keys.buildFilter(missing.size(), eachKey);
                m_typos.buildFilter(typoCount, eachTypo);
            } else {
                m_typos.buildSlots(typoCount, eachTypo);
            }
        });
    }

    // A missing name, extension included.
    // Most lists name no folder: their names are read once, not twice.
    std::string_view expected(std::size_t e) const
    {
        return m_inFolders ? lastPathComponent(m_missing[e]) : m_missing[e];
    }

    // A look-up a file asks for: its folded key, the key without a tail, or its words around one.
    struct Probe
    {
        quint64 hash = 0;
        quint32 candidate = 0;
        NearMissReason reason = NearMissReason::CaseAndSeparators; // of the key: the smallest fold, found later
        quint8 word = 0;                                           // a typo's
    };

    const HashIndex &indexOf(const Probe &probe) const
    {
        return probe.reason == NearMissReason::Typo ? m_typos : m_keys;
    }

    // The look-ups of `candidate`; `folded` is left holding its fold.
    void probesOf(NameFolder &folder, Folded &folded, const Candidates &candidates, quint32 index,
                  std::vector<Probe> &out) const
    {
        const bool otherFormat = candidates.isOtherFormat(index);
        const std::string_view stem = stemOf(candidates.name(index));
        folder.foldInto(stem, FoldLevel::Article, folded, !otherFormat);
        out.push_back(Probe{hashBytes(folded.key), index, NearMissReason::CaseAndSeparators, 0});
        if (otherFormat)
            return;
        if (const std::optional<std::string_view> copy = withoutDownloadCopy(stem))
            out.push_back(
                Probe{hashBytes(folder.key(*copy, FoldLevel::Article)), index, NearMissReason::DownloadCopy, 0});
        if (const std::optional<Tail> tail = folded.dotted ? tailOf(stem, m_extension) : std::nullopt)
            out.push_back(Probe{hashBytes(folder.key(tail->shorter, FoldLevel::Article)), index, tail->reason, 0});
        if (mayHoldTypos(folded)) {
            forEachTypoKey(folded, [&](quint64 key, std::size_t w) {
                out.push_back(Probe{key, index, NearMissReason::Typo, quint8(w)});
            });
        }
    }

    // The names a probe of `candidate` finds that it truly fits, each with its smallest reason.
    void fitsOf(NameFolder &folder, Folded &folded, const Candidates &candidates, const Probe &probe,
                std::vector<Fit> &out) const
    {
        const bool otherFormat = candidates.isOtherFormat(probe.candidate);
        const std::string_view stem = stemOf(candidates.name(probe.candidate));
        auto refold = [&, done = false]() mutable {
            if (!std::exchange(done, true))
                folder.foldInto(stem, FoldLevel::Article, folded, !otherFormat);
        };
        switch (probe.reason) {
        case NearMissReason::CaseAndSeparators:
            m_keys.find(probe.hash, [&](quint32 e) {
                refold();
                const std::string_view expectedStem = stemOf(expected(e));
                if (folder.key(expectedStem, FoldLevel::Article) != folded.key)
                    return;
                if (otherFormat) {
                    if (equalNoCase(expectedStem, stem))
                        out.push_back(Fit{e, probe.candidate, NearMissReason::OtherFormat});
                    return;
                }
                out.push_back(Fit{e, probe.candidate, smallestFold(folder, expectedStem, stem)});
            });
            return;
        case NearMissReason::Typo:
            m_typos.find(probe.hash, [&](quint32 e) {
                refold();
                if (isTypoOf(folder, stemOf(expected(e)), folded, probe.word, m_listWords))
                    out.push_back(Fit{e, probe.candidate, NearMissReason::Typo});
            });
            return;
        default:
            break;
        }
        const std::string_view shorter = probe.reason == NearMissReason::DownloadCopy
                                             ? withoutDownloadCopy(stem).value_or(std::string_view())
                                             : tailOf(stem, m_extension).value_or(Tail{}).shorter;
        std::string key;
        m_keys.find(probe.hash, [&](quint32 e) {
            // Most files fit no name: the finer key is folded only for a name the coarse one finds.
            if (key.empty())
                key = folder.key(shorter, FoldLevel::CaseAndSeparators);
            if (folder.key(stemOf(expected(e)), FoldLevel::CaseAndSeparators) == key)
                out.push_back(Fit{e, probe.candidate, probe.reason});
        });
    }

private:
    static NearMissReason smallestFold(NameFolder &folder, std::string_view expected, std::string_view found)
    {
        static constexpr std::array<std::pair<FoldLevel, NearMissReason>, 4> levels = {{
            {FoldLevel::CaseAndSeparators, NearMissReason::CaseAndSeparators},
            {FoldLevel::ForbiddenCharacters, NearMissReason::ForbiddenCharacters},
            {FoldLevel::Accents, NearMissReason::Accents},
            {FoldLevel::RomanNumerals, NearMissReason::RomanNumerals},
        }};
        for (const auto &[level, reason] : levels) {
            if (folder.key(expected, level) == folder.key(found, level))
                return reason;
        }
        return NearMissReason::Article;
    }

    // A typo inside a word of a long title of several words is taken. One in a tag, a
    // one-word title, a short title or at a word's end may as well make another real name ("(Korea)",
    // "Fighter", "(ver EAC)"): it is taken only in a word of four letters or more that the list holds
    // nowhere, and only in a title as people write it, never in a set name in lower case
    // ("finallapjc", "spectrum_kempcentreu"). The last letter of a one-word title is never taken: in a
    // set name it tells variants apart ("galagamk", "galagamw").
    static bool isTypoOf(NameFolder &folder, std::string_view expectedStem, const Folded &found, std::size_t at,
                         const ListWords &listWords)
    {
        const Folded expected = folder.fold(expectedStem, FoldLevel::Article, true);
        if (expected.words.size() != found.words.size() || !mayHoldTypos(expected) || !mayHoldTypo(expected, at))
            return false;
        for (std::size_t i = 0; i < expected.words.size(); ++i) {
            if (i != at &&
                (expected.word(i) != found.word(i) || expected.words[i].inBrackets != found.words[i].inBrackets))
                return false;
        }
        const Word &word = expected.words[at];
        const bool onlyWord = expected.plainWords == 1 && !word.inBrackets;
        const Typo typo = typoBetween(expected.word(at), found.word(at));
        if (typo == Typo::None || (typo == Typo::LastLetter && onlyWord))
            return false;
        if (typo == Typo::Inside && !word.inBrackets && !onlyWord && expected.letters > kMostLettersOfACode)
            return true;
        return word.size >= 4 && holdsCapital(expectedStem) && !listWords.has(found.word(at));
    }

    std::string_view m_extension;
    const NameList &m_missing;
    bool m_inFolders;
    ListWords m_listWords;
    HashIndex m_keys;
    HashIndex m_typos;
};

} // namespace

NearMisses findNearMisses(const NameBlock &listed, const NameList &missing, const FoundFiles &found,
                          const NameList &unknown, const FoundFiles &otherFormats, std::string_view extension)
{
    NearMisses result;
    if (missing.empty() || (unknown.empty() && otherFormats.size() == 0))
        return result;

    const Candidates candidates(found, unknown, otherFormats);
    const Pass pass(listed, missing, extension);
    // Each file keeps only the names it fits best; with two of them it is ambiguous for both.
    std::array<std::vector<Fit>, 2> bestOfPart;
    std::vector<quint32> namesFitted(candidates.size(), 0);
    // The order of `best` does not matter: it is sorted below, and equal fits end up ambiguous.
    onTwoCoresSharing(candidates.size(), [&](int part, auto &&range) {
        NameFolder folder;
        Folded folded;
        std::vector<Pass::Probe> probes;
        std::vector<Pass::Probe> hits;
        std::vector<Fit> fits;
        std::vector<std::size_t> batch;
        std::vector<Fit> &best = bestOfPart[std::size_t(part)];
        // A batch's look-ups wait for memory together: their filter lines first, then their slots.
        const auto runBatch = [&] {
            probes.clear();
            for (const std::size_t c : batch)
                __builtin_prefetch(candidates.name(c).data());
            for (const std::size_t c : batch)
                pass.probesOf(folder, folded, candidates, quint32(c), probes);
            for (const Pass::Probe &probe : probes)
                pass.indexOf(probe).prefetchFilter(probe.hash);
            hits.clear();
            for (const Pass::Probe &probe : probes) {
                if (pass.indexOf(probe).mayHold(probe.hash)) {
                    pass.indexOf(probe).prefetchSlot(probe.hash);
                    hits.push_back(probe);
                }
            }
            fits.clear();
            for (const Pass::Probe &probe : hits)
                pass.fitsOf(folder, folded, candidates, probe, fits);
            std::sort(fits.begin(), fits.end(), [](const Fit &a, const Fit &b) {
                return std::tuple(a.candidate, a.reason, a.expected) < std::tuple(b.candidate, b.reason, b.expected);
            });
            // Each file keeps the names of its smallest reason, each once.
            for (std::size_t f = 0, first = 0; f < fits.size(); ++f) {
                const Fit &fit = fits[f];
                if (fit.candidate != fits[first].candidate)
                    first = f;
                else if (f > first && (fit.reason != fits[first].reason || fits[f - 1].expected == fit.expected))
                    continue;
                best.push_back(fit);
                ++namesFitted[fit.candidate];
            }
            batch.clear();
        };
        for (const std::size_t c : range) {
            batch.push_back(c);
            if (batch.size() == 32)
                runBatch();
        }
        runBatch();
    });
    std::vector<Fit> best = std::move(bestOfPart[0]);
    best.insert(best.end(), bestOfPart[1].begin(), bestOfPart[1].end());

    std::sort(best.begin(), best.end(), [](const Fit &a, const Fit &b) {
        return std::pair(a.expected, a.reason) < std::pair(b.expected, b.reason);
    });
    for (std::size_t i = 0; i < best.size();) {
        std::size_t end = i;
        while (end < best.size() && best[end].expected == best[i].expected && best[end].reason == best[i].reason)
            ++end;
        const std::string_view expected = pass.expected(best[i].expected);
        if (end - i == 1 && namesFitted[best[i].candidate] == 1) {
            result.pairs.push_back(NearMiss{expected, candidates.described(best[i].candidate, best[i].reason)});
        } else {
            AmbiguousNearMiss ambiguous{expected, {}};
            for (std::size_t k = i; k < end; ++k)
                ambiguous.candidates.push_back(candidates.described(best[k].candidate, best[k].reason));
            std::sort(ambiguous.candidates.begin(), ambiguous.candidates.end(),
                      [](const NearMissCandidate &a, const NearMissCandidate &b) {
                          return std::pair(a.folder, a.found) < std::pair(b.folder, b.found);
                      });
            result.ambiguous.push_back(std::move(ambiguous));
        }
        // Worse fits of the same name are passed over.
        while (end < best.size() && best[end].expected == best[i].expected)
            ++end;
        i = end;
    }
    return result;
}

QString nearMissPath(const NearMissCandidate &candidate)
{
    const QString name = textOfUtf8(candidate.found);
    return candidate.folder.empty() ? name : textOfUtf8(candidate.folder) + u'/' + name;
}

QByteArray nearMissPathBytes(const NearMissCandidate &candidate)
{
    QByteArray path;
    if (!candidate.folder.empty())
        path.append(candidate.folder.data(), qsizetype(candidate.folder.size())).append('/');
    return path.append(candidate.found.data(), qsizetype(candidate.found.size()));
}

QByteArray nearMissCsv(const NearMisses &nearMisses)
{
    QByteArray out;
    appendCsvRow(out, {"expected", "found", "path", "reason"});
    for (const NearMiss &pair : nearMisses.pairs) {
        appendCsvRow(out, {QByteArrayView(pair.expected.data(), qsizetype(pair.expected.size())),
                           QByteArrayView(pair.file.found.data(), qsizetype(pair.file.found.size())),
                           nearMissPathBytes(pair.file), nearMissReasonId(pair.file.reason).toLatin1()});
    }
    return out;
}

NearMisses findRomNearMisses(const RomAudit &audit)
{
    return findNearMisses(audit.supported, audit.lists.missing, audit.found, audit.lists.unknown, audit.otherFormats,
                          "zip");
}

NearMisses findVideoNearMisses(const VideoAudit &audit)
{
    return findNearMisses(audit.expected, audit.lists.missing, audit.videos, audit.lists.unknown, audit.otherFormats,
                          "xmv");
}

} // namespace zelvora
