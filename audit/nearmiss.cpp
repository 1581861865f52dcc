// The near-miss pass: an index of the missing names' folded keys and of their words around each one a
// typo may hide in (sorted hashes, no map per name), a look-up per candidate file, and the choice of
// pairs, which leaves every equal fit unpaired.

#include "audit/nearmiss.h"

#include "audit/csv.h"
#include "audit/names.h"
#include "audit/nearmissfold.h"
#include "audit/parallel.h"
#include "audit/textunits.h"

#include <algorithm>
#include <array>

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

constexpr quint64 kHashBasis = 14695981039346656037ULL;

quint64 hashBytes(std::string_view bytes, quint64 hash = kHashBasis)
{
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

std::string_view stemOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return foldAscii(char16_t(static_cast<unsigned char>(x))) ==
                      foldAscii(char16_t(static_cast<unsigned char>(y)));
           });
}

quint64 mix(quint64 x)
{
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    return x ^ (x >> 33);
}

// A word's part in the typo keys of its name: its text, tag or not, and its place.
quint64 wordPart(const Word &word, std::size_t at)
{
    return mix(hashBytes(word.text) + (word.inBrackets ? 0x5bd1e995ULL : 0) + at * 0x9E3779B97F4A7C15ULL);
}

// The typo keys of a name: for each word, the hash of the words around it. Summed parts, so that each
// key costs one subtraction.
class TypoKeys
{
public:
    static constexpr std::size_t kMostWords = 32;

    explicit TypoKeys(const std::vector<Word> &words) : m_all(sumOfParts(words, m_parts)) {}
    quint64 around(std::size_t at) const { return m_all - m_parts[at] + mix(at + 0x1e); }

private:
    static quint64 sumOfParts(const std::vector<Word> &words, std::array<quint64, kMostWords> &parts)
    {
        quint64 all = mix(words.size());
        for (std::size_t i = 0; i < words.size() && i < kMostWords; ++i) {
            parts[i] = wordPart(words[i], i);
            all += parts[i];
        }
        return all;
    }

    std::array<quint64, kMostWords> m_parts{};
    quint64 m_all;
};

// A typo is looked for only in a title of several words, of more than eight letters, and never in a tag.
bool mayHoldTypo(const Folded &name, std::size_t at)
{
    constexpr int kMostLettersOfACode = 8;
    if (name.letters <= kMostLettersOfACode || at >= name.words.size() || name.words[at].inBrackets ||
        name.words[at].text.size() < 3 || name.words.size() > TypoKeys::kMostWords)
        return false;
    const auto words = std::count_if(name.words.begin(), name.words.end(), [](const Word &w) { return !w.inBrackets; });
    return words >= 2 && std::all_of(name.words[at].text.begin(), name.words[at].text.end(),
                                     [](char c) { return c >= 'a' && c <= 'z'; });
}

struct Expected
{
    std::string_view name; // last path component, extension included
    std::string_view stem;
};

struct Candidate
{
    std::string_view found;
    std::string_view folder;
    bool otherFormat = false;
};

struct Fit
{
    quint32 expected = 0;
    quint32 candidate = 0;
    NearMissReason reason = NearMissReason::Typo;
};

// Hashes to numbers, open addressing with linear probing: one allocation, a probe or two per look-up.
// A slot keeps 32 bits of its hash beside the number (8 bytes: the table of 250,000 typo keys fits in
// 4 MB, not 8); equal tags take successive slots and are all visited, and callers check what they
// find. Most look-ups find nothing, so a bit per hash (16 bits per entry, small enough to stay in the
// cache) turns about 94% of them away before the table, whose every probe is a cache miss.
class HashIndex
{
public:
    void build(const std::vector<std::pair<quint64, quint32>> &entries)
    {
        std::size_t capacity = 16;
        while (capacity < 2 * entries.size())
            capacity *= 2;
        m_mask = capacity - 1;
        m_slots.assign(capacity, Slot{});
        std::size_t bits = 1024;
        while (bits < 16 * entries.size())
            bits *= 2;
        m_filterMask = bits - 1;
        m_filter.assign(bits / 64, 0);
        for (const auto &[hash, value] : entries) {
            std::size_t i = std::size_t(hash) & m_mask;
            while (m_slots[i].tag != 0)
                i = (i + 1) & m_mask;
            m_slots[i] = {tagOf(hash), value};
            const std::size_t bit = filterBit(hash);
            m_filter[bit / 64] |= quint64(1) << (bit % 64);
        }
    }

    template <typename Visit> void find(quint64 hash, Visit &&visit) const
    {
        if (m_slots.empty())
            return;
        const std::size_t bit = filterBit(hash);
        if ((m_filter[bit / 64] & (quint64(1) << (bit % 64))) == 0)
            return;
        const quint32 tag = tagOf(hash);
        for (std::size_t i = std::size_t(hash) & m_mask; m_slots[i].tag != 0; i = (i + 1) & m_mask) {
            if (m_slots[i].tag == tag)
                visit(m_slots[i].value);
        }
    }

private:
    struct Slot
    {
        quint32 tag = 0; // 0: free
        quint32 value = 0;
    };

    // The high half of the hash, never 0; the slot comes from the low half.
    static quint32 tagOf(quint64 hash) { return quint32(hash >> 32) | 1U; }
    std::size_t filterBit(quint64 hash) const { return std::size_t(mix(hash)) & m_filterMask; }

    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
    std::vector<quint64> m_filter;
    std::size_t m_filterMask = 0;
};

// What a pass looks up, built once; the look-ups then run on two cores, each with a folder of its own.
class Pass
{
public:
    Pass(const NameList &missing, std::string_view extension) : m_extension(extension)
    {
        m_expected.reserve(missing.size());
        for (const std::string_view entry : missing) {
            const std::string_view name = lastPathComponent(entry);
            // The same name listed twice is one name, not two equal fits.
            if (!m_expected.empty() && m_expected.back().name.size() == name.size() &&
                compareNameComponents(m_expected.back().name, name) == 0)
                continue;
            m_expected.push_back(Expected{name, stemOf(name)});
        }
        std::array<std::vector<std::pair<quint64, quint32>>, 2> keys;
        std::array<std::vector<std::pair<quint64, quint32>>, 2> typos;
        onTwoCoresSharing(m_expected.size(), [&](int part, auto &&range) {
            NameFolder folder;
            Folded folded;
            auto &partKeys = keys[std::size_t(part)];
            auto &partTypos = typos[std::size_t(part)];
            for (const std::size_t e : range) {
                folder.foldInto(m_expected[e].stem, FoldLevel::Article, folded, true);
                partKeys.emplace_back(hashBytes(folded.key), quint32(e));
                const TypoKeys typoKeys(folded.words);
                for (std::size_t w = 0; w < folded.words.size(); ++w) {
                    if (mayHoldTypo(folded, w))
                        partTypos.emplace_back(typoKeys.around(w), quint32(e));
                }
            }
        });
        keys[0].insert(keys[0].end(), keys[1].begin(), keys[1].end());
        typos[0].insert(typos[0].end(), typos[1].begin(), typos[1].end());
        m_keys.build(keys[0]);
        m_typos.build(typos[0]);
    }

    const std::vector<Expected> &expected() const { return m_expected; }

    // The names `candidate` fits, each with its smallest reason.
    void fitsOf(NameFolder &folder, Folded &folded, const Candidate &candidate, quint32 index,
                std::vector<Fit> &out) const
    {
        const std::string_view stem = stemOf(candidate.found);
        folder.foldInto(stem, FoldLevel::Article, folded, !candidate.otherFormat);
        m_keys.find(hashBytes(folded.key), [&](quint32 e) {
            const std::string_view expected = m_expected[e].stem;
            if (folder.key(expected, FoldLevel::Article) != folded.key)
                return;
            if (candidate.otherFormat) {
                if (equalNoCase(expected, stem))
                    out.push_back(Fit{e, index, NearMissReason::OtherFormat});
                return;
            }
            out.push_back(Fit{e, index, smallestFold(folder, expected, stem)});
        });
        if (candidate.otherFormat)
            return;

        const auto withTail = [&](std::string_view shorter, NearMissReason reason) {
            const std::string key = folder.key(shorter, FoldLevel::CaseAndSeparators);
            m_keys.find(hashBytes(folder.key(shorter, FoldLevel::Article)), [&](quint32 e) {
                if (folder.key(m_expected[e].stem, FoldLevel::CaseAndSeparators) == key)
                    out.push_back(Fit{e, index, reason});
            });
        };
        if (const std::optional<std::string_view> copy = withoutDownloadCopy(stem))
            withTail(*copy, NearMissReason::DownloadCopy);
        // A list line's lost tail follows a version's dot ("v1.1", "(ver 1.1, set 2)"), an abbreviation's
        // ("Ms. Pac-Man") or is one word ("Game v1.1b"); a word and more after a dot in a word is a file
        // name of its own ("Mystic.Warriors (ver EAA)").
        const std::size_t dot = stem.rfind('.');
        const auto isTail = [&] {
            const std::string_view tail = stem.substr(dot + 1);
            return !tail.empty() && ((tail.front() >= '0' && tail.front() <= '9') || tail.front() == ' ' ||
                                     tail.find(' ') == std::string_view::npos);
        };
        if (dot != std::string_view::npos && dot > 0 && isTail()) {
            const bool doubled = equalNoCase(stem.substr(dot + 1), m_extension);
            withTail(stem.substr(0, dot), doubled ? NearMissReason::DoubleExtension : NearMissReason::DottedName);
        }

        const TypoKeys typoKeys(folded.words);
        for (std::size_t w = 0; w < folded.words.size(); ++w) {
            if (!mayHoldTypo(folded, w))
                continue;
            m_typos.find(typoKeys.around(w), [&](quint32 e) {
                if (isTypoOf(folder, m_expected[e].stem, folded, w))
                    out.push_back(Fit{e, index, NearMissReason::Typo});
            });
        }
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

    static bool isTypoOf(NameFolder &folder, std::string_view expectedStem, const Folded &found, std::size_t at)
    {
        const Folded expected = folder.fold(expectedStem, FoldLevel::Article, true);
        if (expected.words.size() != found.words.size() || !mayHoldTypo(expected, at))
            return false;
        for (std::size_t i = 0; i < expected.words.size(); ++i) {
            if (i != at && (expected.words[i].text != found.words[i].text ||
                            expected.words[i].inBrackets != found.words[i].inBrackets))
                return false;
        }
        return oneTypoApart(expected.words[at].text, found.words[at].text);
    }

    std::string_view m_extension;
    std::vector<Expected> m_expected;
    HashIndex m_keys;
    HashIndex m_typos;
};

NearMissCandidate candidateOf(const Candidate &c, NearMissReason reason)
{
    return NearMissCandidate{c.found, c.folder, reason};
}

} // namespace

NearMisses findNearMisses(const NameList &missing, const FoundFiles &found, const NameList &unknown,
                          const FoundFiles &otherFormats, std::string_view extension)
{
    NearMisses result;
    if (missing.empty() || (unknown.empty() && otherFormats.size() == 0))
        return result;

    // The unknown files are views of the found names in the same order: their folders come from there.
    std::vector<Candidate> candidates;
    candidates.reserve(unknown.size() + std::size_t(otherFormats.size()));
    std::size_t u = 0;
    for (qsizetype i = 0; i < found.size() && u < unknown.size(); ++i) {
        const std::string_view name = found.names.at(i);
        if (name.data() == unknown[u].data()) {
            candidates.push_back(Candidate{name, found.folderOf(i), false});
            ++u;
        }
    }
    for (qsizetype i = 0; i < otherFormats.size(); ++i)
        candidates.push_back(Candidate{otherFormats.names.at(i), otherFormats.folderOf(i), true});

    const Pass pass(missing, extension);
    // Each file keeps only the names it fits best; with two of them it is ambiguous for both.
    std::array<std::vector<Fit>, 2> bestOfPart;
    std::vector<quint32> namesFitted(candidates.size(), 0);
    // The order of `best` does not matter: it is sorted below, and equal fits end up ambiguous.
    onTwoCoresSharing(candidates.size(), [&](int part, auto &&range) {
        NameFolder folder;
        Folded folded;
        std::vector<Fit> fits;
        std::vector<Fit> &best = bestOfPart[std::size_t(part)];
        for (const std::size_t c : range) {
            fits.clear();
            pass.fitsOf(folder, folded, candidates[c], quint32(c), fits);
            if (fits.empty())
                continue;
            std::sort(fits.begin(), fits.end(), [](const Fit &a, const Fit &b) {
                return std::pair(a.reason, a.expected) < std::pair(b.reason, b.expected);
            });
            for (const Fit &fit : fits) {
                if (fit.reason != fits.front().reason)
                    break;
                if (!best.empty() && best.back().candidate == fit.candidate && best.back().expected == fit.expected)
                    continue;
                best.push_back(fit);
                ++namesFitted[c];
            }
        }
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
        const std::string_view expected = pass.expected()[best[i].expected].name;
        if (end - i == 1 && namesFitted[best[i].candidate] == 1) {
            result.pairs.push_back(NearMiss{expected, candidateOf(candidates[best[i].candidate], best[i].reason)});
        } else {
            AmbiguousNearMiss ambiguous{expected, {}};
            for (std::size_t k = i; k < end; ++k)
                ambiguous.candidates.push_back(candidateOf(candidates[best[k].candidate], best[k].reason));
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
    return findNearMisses(audit.lists.missing, audit.found, audit.lists.unknown, audit.otherFormats, "zip");
}

NearMisses findVideoNearMisses(const VideoAudit &audit)
{
    return findNearMisses(audit.lists.missing, audit.videos, audit.lists.unknown, audit.otherFormats, "xmv");
}

} // namespace zelvora
