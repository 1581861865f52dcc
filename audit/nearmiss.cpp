// The near-miss pass: an index of the missing names' folded keys and of their words around each one a
// typo may hide in (sorted hashes, no map per name), a look-up per candidate file, and the choice of
// pairs, which leaves every equal fit unpaired.

#include "audit/nearmiss.h"

#include "audit/names.h"
#include "audit/nearmissfold.h"
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

// The words around word `at`, and its length: a typo changes one word and its length by one at most.
quint64 typoKey(const std::vector<Word> &words, std::size_t at, std::size_t length)
{
    quint64 hash = kHashBasis;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i == at) {
            const std::array<char, 3> hole = {'\x1e', char(length), char(at)};
            hash = hashBytes(std::string_view(hole.data(), hole.size()), hash);
        } else {
            hash = hashBytes(words[i].text, hash);
            hash = hashBytes(words[i].inBrackets ? "\x1d" : "\x1f", hash);
        }
    }
    return hash;
}

// A typo is looked for only in a title of several words, of more than eight letters, and never in a tag.
bool mayHoldTypo(const Folded &name, std::size_t at)
{
    constexpr int kMostLettersOfACode = 8;
    if (name.letters <= kMostLettersOfACode || at >= name.words.size() || name.words[at].inBrackets ||
        name.words[at].text.size() < 3 || name.words.size() > 255)
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

using HashIndex = std::vector<std::pair<quint64, quint32>>;

template <typename Visit> void lookUp(const HashIndex &index, quint64 hash, Visit &&visit)
{
    auto it = std::lower_bound(index.begin(), index.end(), std::pair<quint64, quint32>(hash, 0));
    for (; it != index.end() && it->first == hash; ++it)
        visit(it->second);
}

class Pass
{
public:
    Pass(const NameList &missing, std::string_view extension) : m_extension(extension)
    {
        m_expected.reserve(missing.size());
        for (const std::string_view entry : missing) {
            const std::string_view name = lastPathComponent(entry);
            // The same name listed twice is one name, not two equal fits.
            if (!m_expected.empty() && compareNameComponents(m_expected.back().name, name) == 0)
                continue;
            m_expected.push_back(Expected{name, stemOf(name)});
        }
        m_keys.reserve(m_expected.size());
        for (std::size_t e = 0; e < m_expected.size(); ++e) {
            const Folded folded = m_folder.fold(m_expected[e].stem, FoldLevel::Article, true);
            m_keys.emplace_back(hashBytes(folded.key), quint32(e));
            for (std::size_t w = 0; w < folded.words.size(); ++w) {
                if (mayHoldTypo(folded, w))
                    m_typos.emplace_back(typoKey(folded.words, w, folded.words[w].text.size()), quint32(e));
            }
        }
        std::sort(m_keys.begin(), m_keys.end());
        std::sort(m_typos.begin(), m_typos.end());
    }

    const std::vector<Expected> &expected() const { return m_expected; }

    // The names `candidate` fits, each with its smallest reason.
    void fitsOf(const Candidate &candidate, quint32 index, std::vector<Fit> &out)
    {
        const std::string_view stem = stemOf(candidate.found);
        const Folded folded = m_folder.fold(stem, FoldLevel::Article, !candidate.otherFormat);
        lookUp(m_keys, hashBytes(folded.key), [&](quint32 e) {
            const std::string_view expected = m_expected[e].stem;
            if (m_folder.key(expected, FoldLevel::Article) != folded.key)
                return;
            if (candidate.otherFormat) {
                if (equalNoCase(expected, stem))
                    out.push_back(Fit{e, index, NearMissReason::OtherFormat});
                return;
            }
            out.push_back(Fit{e, index, smallestFold(expected, stem)});
        });
        if (candidate.otherFormat)
            return;

        const auto withTail = [&](std::string_view shorter, NearMissReason reason) {
            const std::string key = m_folder.key(shorter, FoldLevel::CaseAndSeparators);
            lookUp(m_keys, hashBytes(m_folder.key(shorter, FoldLevel::Article)), [&](quint32 e) {
                if (m_folder.key(m_expected[e].stem, FoldLevel::CaseAndSeparators) == key)
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

        for (std::size_t w = 0; w < folded.words.size(); ++w) {
            if (!mayHoldTypo(folded, w))
                continue;
            const std::size_t length = folded.words[w].text.size();
            for (const std::size_t other : {length - 1, length, length + 1}) {
                lookUp(m_typos, typoKey(folded.words, w, other), [&](quint32 e) {
                    if (isTypoOf(m_expected[e].stem, folded, w))
                        out.push_back(Fit{e, index, NearMissReason::Typo});
                });
            }
        }
    }

private:
    NearMissReason smallestFold(std::string_view expected, std::string_view found)
    {
        static constexpr std::array<std::pair<FoldLevel, NearMissReason>, 4> levels = {{
            {FoldLevel::CaseAndSeparators, NearMissReason::CaseAndSeparators},
            {FoldLevel::ForbiddenCharacters, NearMissReason::ForbiddenCharacters},
            {FoldLevel::Accents, NearMissReason::Accents},
            {FoldLevel::RomanNumerals, NearMissReason::RomanNumerals},
        }};
        for (const auto &[level, reason] : levels) {
            if (m_folder.key(expected, level) == m_folder.key(found, level))
                return reason;
        }
        return NearMissReason::Article;
    }

    bool isTypoOf(std::string_view expectedStem, const Folded &found, std::size_t at)
    {
        const Folded expected = m_folder.fold(expectedStem, FoldLevel::Article, true);
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
    NameFolder m_folder;
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

    Pass pass(missing, extension);
    // Each file keeps only the names it fits best; with two of them it is ambiguous for both.
    std::vector<Fit> best;
    std::vector<quint32> namesFitted(candidates.size(), 0);
    std::vector<Fit> fits;
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        fits.clear();
        pass.fitsOf(candidates[c], quint32(c), fits);
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

QByteArray nearMissCsv(const NearMisses &nearMisses)
{
    const auto field = [](const QString &text) {
        QByteArray bytes = text.toUtf8();
        if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\r') && !bytes.contains('\n'))
            return bytes;
        bytes.replace('"', "\"\"");
        return '"' + bytes + '"';
    };
    QByteArray out = "expected,found,path,reason\r\n";
    for (const NearMiss &pair : nearMisses.pairs) {
        out += field(textOfUtf8(pair.expected)) + ',' + field(textOfUtf8(pair.file.found)) + ',' +
               field(nearMissPath(pair.file)) + ',' + nearMissReasonId(pair.file.reason).toUtf8() + "\r\n";
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
