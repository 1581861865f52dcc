#pragma once

// How the near-miss pass sees a name: folded keys at growing levels (letter case and separators, then
// forbidden characters, accents, roman numerals, a trailing article), the words a typo may hide in, and
// the tails a download or a dotted list line adds. Each fold of a name is one pass over its bytes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unicode/uversion.h>
#include <vector>

U_NAMESPACE_BEGIN
class Transliterator;
U_NAMESPACE_END

namespace zelvora::nearmiss {

// Cumulative: each level folds what the one before it does, and more.
enum class FoldLevel {
    CaseAndSeparators = 1,
    ForbiddenCharacters,
    Accents,
    RomanNumerals,
    Article,
};

// A word of a folded name, as a place in its key: words are kept without a string of their own.
struct Word
{
    std::uint32_t at = 0;
    std::uint32_t size = 0;
    bool inBrackets = false;  // a tag: "(USA)", "[!]"
    bool lettersOnly = false; // a to z only
};

struct Folded
{
    // The name without separators, lower case; digit runs that a separator split stay apart ("1.1" is
    // not "11"); brackets and other punctuation stay.
    std::string key;
    std::vector<Word> words; // only when asked for
    int letters = 0;
    int plainWords = 0;  // words outside brackets, when words are asked for
    bool dotted = false; // a '.' in the name

    std::string_view word(std::size_t i) const { return std::string_view(key).substr(words[i].at, words[i].size); }
};

// Makes ICU build its Latin-ASCII rules, which takes a tenth of a second the first time in a process
// and a fraction of a millisecond after: called beside the walk when names that need them are listed.
void prepareFolding();

// Whether a name folds without ICU: ASCII, and the Latin letters of U+00C0 to U+017F.
bool foldsWithoutIcu(std::string_view utf8);

// Folds names. Holds an ICU transliterator, made with the first name that needs it, which may not be
// shared between threads: one per thread of a pass.
class NameFolder
{
public:
    NameFolder();
    ~NameFolder();
    NameFolder(const NameFolder &) = delete;
    NameFolder &operator=(const NameFolder &) = delete;
    NameFolder(NameFolder &&) = delete;
    NameFolder &operator=(NameFolder &&) = delete;

    Folded fold(std::string_view stem, FoldLevel level, bool withWords = false)
    {
        Folded out;
        foldInto(stem, level, out, withWords);
        return out;
    }
    // The same into `out`, whose buffers are reused: the pass folds every name without allocating.
    void foldInto(std::string_view stem, FoldLevel level, Folded &out, bool withWords = false);
    std::string key(std::string_view stem, FoldLevel level) { return fold(stem, level).key; }

    // The fold of any name through a lower-case copy; foldInto takes a shorter way for ASCII without a
    // comma, which must give the same (nearmiss_test compares the two).
    void foldByCopyInto(std::string_view stem, FoldLevel level, Folded &out, bool withWords = false);

private:
    std::string toAscii(std::string_view utf8);

    std::string m_text;
    std::unique_ptr<icu::Transliterator> m_latinAscii;
    bool m_triedLatinAscii = false;
};

// The stem without what browsers and file managers add to a copy (" (1)", " - Copy", "Kopie von ", ...).
std::optional<std::string_view> withoutDownloadCopy(std::string_view stem);

// How two words of letters only, three letters or more, are one typo apart: one letter dropped,
// doubled, changed or two neighbours swapped.
enum class Typo {
    None,
    Inside,    // before the last letter
    LastSwap,  // the last two letters swapped, in a word of four letters or more
    LastLetter // the last letter dropped, doubled or changed
};
Typo typoBetween(std::string_view expected, std::string_view found);

} // namespace zelvora::nearmiss
