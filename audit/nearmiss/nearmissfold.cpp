// Name folding for the near-miss pass: the ASCII fast path, ICU's Latin-ASCII for the rest, the roman
// numerals and articles, the copy suffixes, and the one-typo test with its guards.

#include "audit/nearmiss/nearmissfold.h"

#include "audit/names/textunits.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cstring>
#include <unicode/translit.h>
#include <unicode/unistr.h>

namespace zelvora::nearmiss {

namespace {

constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

constexpr bool isLetter(char c)
{
    return c >= 'a' && c <= 'z';
}

// Letters, digits and whatever is not ASCII make words.
bool isWordByte(char c)
{
    return isLetter(c) || isDigit(c) || static_cast<unsigned char>(c) >= 0x80;
}

// What stands for a space in a file name.
bool isSeparator(char c)
{
    return c == ' ' || c == '_' || c == '.' || c == '-';
}

// What file systems or tools avoid, and what replaces it.
bool isForbidden(char c)
{
    switch (c) {
    case ':':
    case '/':
    case '?':
    case '*':
    case '"':
    case '<':
    case '>':
    case '|':
    case '&':
    case '\\':
    case '`':
    case '\'':
    case ';':
        return true;
    default:
        return false;
    }
}

// The length of a curly quote or an acute accent used as an apostrophe at `p`, else 0.
std::size_t forbiddenSequence(std::string_view text, std::size_t p)
{
    const auto at = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0; };
    if (at(p) == 0xE2 && at(p + 1) == 0x80 && (at(p + 2) >= 0x98 && at(p + 2) <= 0x9F))
        return 3; // U+2018..U+201F
    if (at(p) == 0xC2 && at(p + 1) == 0xB4)
        return 2; // U+00B4
    return 0;
}

// The value of a roman numeral from II to XXXIX written in its one proper form, else 0.
int romanValue(std::string_view word)
{
    if (word.size() < 2 || word.size() > 7)
        return 0;
    static constexpr std::array<std::string_view, 10> units = {"",  "i",  "ii",  "iii",  "iv",
                                                               "v", "vi", "vii", "viii", "ix"};
    static constexpr std::array<std::string_view, 4> tens = {"", "x", "xx", "xxx"};
    for (int value = 2; value < 40; ++value) {
        std::string form(tens[std::size_t(value / 10)]);
        form += units[std::size_t(value % 10)];
        if (form == word)
            return value;
    }
    return 0;
}

// "three stooges, the (set 1)" becomes "the three stooges (set 1)".
std::string withArticleInFront(const std::string &text)
{
    if (text.find(',') == std::string::npos)
        return text;
    std::size_t tag = text.find_first_of("([");
    if (tag == std::string::npos)
        tag = text.size();
    std::size_t end = tag;
    while (end > 0 && text[end - 1] == ' ')
        --end;
    for (const std::string_view article : {"the", "a", "an"}) {
        for (const std::string_view comma : {", ", ","}) {
            const std::size_t length = comma.size() + article.size();
            if (end <= length)
                continue;
            const std::string_view head(text.data(), end);
            if (head.substr(end - length, comma.size()) == comma && head.substr(end - article.size()) == article)
                return std::string(article) + ' ' + text.substr(0, end - length) + text.substr(end);
        }
    }
    return text;
}

void lowerAsciiInPlace(std::string &text)
{
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
}

// `lower` is in lower case.
bool equalsNoCase(std::string_view text, std::string_view lower)
{
    return text.size() == lower.size() && std::equal(text.begin(), text.end(), lower.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b;
           });
}

bool endsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && equalsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// U+00C0 to U+017F as ICU's Latin-ASCII and case folding give them (nearmiss_test compares every one):
// most names beyond ASCII hold only these, and folding them here spares building ICU's rules.
constexpr std::array<std::string_view, 0x180 - 0xC0> kLatinFolded = {
    "a", "a", "a",  "a", "a", "a", "ae", "c",  "e", "e", "e",  "e",  "i", "i", "i",  "i",  "d", "n",  "o",  "o",
    "o", "o", "o",  "*", "o", "u", "u",  "u",  "u", "y", "th", "ss", "a", "a", "a",  "a",  "a", "a",  "ae", "c",
    "e", "e", "e",  "e", "i", "i", "i",  "i",  "d", "n", "o",  "o",  "o", "o", "o",  "/",  "o", "u",  "u",  "u",
    "u", "y", "th", "y", "a", "a", "a",  "a",  "a", "a", "c",  "c",  "c", "c", "c",  "c",  "c", "c",  "d",  "d",
    "d", "d", "e",  "e", "e", "e", "e",  "e",  "e", "e", "e",  "e",  "g", "g", "g",  "g",  "g", "g",  "g",  "g",
    "h", "h", "h",  "h", "i", "i", "i",  "i",  "i", "i", "i",  "i",  "i", "i", "ij", "ij", "j", "j",  "k",  "k",
    "q", "l", "l",  "l", "l", "l", "l",  "l",  "l", "l", "l",  "n",  "n", "n", "n",  "n",  "n", "'n", "n",  "n",
    "o", "o", "o",  "o", "o", "o", "oe", "oe", "r", "r", "r",  "r",  "r", "r", "s",  "s",  "s", "s",  "s",  "s",
    "s", "s", "t",  "t", "t", "t", "t",  "t",  "u", "u", "u",  "u",  "u", "u", "u",  "u",  "u", "u",  "u",  "u",
    "w", "w", "y",  "y", "y", "z", "z",  "z",  "z", "z", "z",  "s"};

// `utf8` folded as toAscii folds it, when it holds nothing beyond kLatinFolded.
std::optional<std::string> foldedLatin(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c);
            ++i;
            continue;
        }
        if ((c & 0xE0) != 0xC0 || i + 1 >= utf8.size() || (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) != 0x80)
            return std::nullopt;
        const unsigned code = ((c & 0x1FU) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3FU);
        if (code < 0xC0 || code >= 0x180)
            return std::nullopt;
        out += kLatinFolded[code - 0xC0];
        i += 2;
    }
    return out;
}

// What the one-pass fold asks of a byte, looked up once: its lower case and whether it is a letter, a
// digit or a letter of a roman numeral.
constexpr std::uint8_t kLetterByte = 1; // 1: added up, it counts the letters
constexpr std::uint8_t kDigitByte = 2;
constexpr std::uint8_t kRomanByte = 4;

struct ByteFold
{
    std::array<char, 256> lower{};
    std::array<std::uint8_t, 256> kind{};
};

constexpr ByteFold kByteFold = [] {
    ByteFold table;
    for (int b = 0; b < 256; ++b) {
        const char c = b >= 'A' && b <= 'Z' ? char(b - 'A' + 'a') : char(b);
        table.lower[std::size_t(b)] = c;
        table.kind[std::size_t(b)] = std::uint8_t((isLetter(c) ? kLetterByte : 0) | (isDigit(c) ? kDigitByte : 0) |
                                                  (c == 'i' || c == 'v' || c == 'x' ? kRomanByte : 0));
    }
    return table;
}();

// Most names: one pass over the bytes, straight into the key.
void foldPlainInto(std::string_view stem, FoldLevel level, Folded &out, bool withWords)
{
    const auto lower = [](char c) { return kByteFold.lower[static_cast<unsigned char>(c)]; };
    const auto kind = [](char c) { return kByteFold.kind[static_cast<unsigned char>(c)]; };
    const bool dropForbidden = level >= FoldLevel::ForbiddenCharacters;
    const bool romans = level >= FoldLevel::RomanNumerals;
    out.words.clear();
    out.plainWords = 0;
    out.dotted = false;
    // The key is never longer than the name: a '#' takes the place of a separator, a numeral is shorter.
    std::string &key = out.key;
    key.resize(stem.size());
    char *k = key.data();
    std::size_t n = 0;
    int letters = 0;
    bool afterDigit = false;
    int brackets = 0;
    for (std::size_t i = 0; i < stem.size();) {
        const char c = lower(stem[i]);
        if ((kind(c) & (kLetterByte | kDigitByte)) != 0) {
            if (afterDigit && isDigit(c))
                k[n++] = '#';
            std::size_t at = n;
            std::size_t j = i;
            std::uint8_t all = kLetterByte | kRomanByte;
            int wordLetters = 0;
            for (; j < stem.size(); ++j) {
                const std::uint8_t d = kind(stem[j]);
                if ((d & (kLetterByte | kDigitByte)) == 0)
                    break;
                k[n++] = lower(stem[j]);
                all &= d;
                wordLetters += d & kLetterByte;
            }
            const bool roman = (all & kRomanByte) != 0;
            if (romans && roman && j - i >= 2 && j - i <= 7) {
                if (const int value = romanValue(std::string_view(k + at, n - at))) {
                    n = at;
                    if (afterDigit)
                        k[n++] = '#';
                    at = n;
                    if (value >= 10)
                        k[n++] = char('0' + value / 10);
                    k[n++] = char('0' + value % 10);
                    wordLetters = 0;
                }
            }
            afterDigit = isDigit(k[n - 1]);
            letters += wordLetters;
            if (withWords) {
                out.words.push_back(
                    Word{std::uint32_t(at), std::uint32_t(n - at), brackets > 0, std::size_t(wordLetters) == n - at});
                out.plainWords += brackets > 0 ? 0 : 1;
            }
            i = j;
            continue;
        }
        ++i;
        out.dotted = out.dotted || c == '.';
        if (isSeparator(c) || (dropForbidden && isForbidden(c)))
            continue;
        k[n++] = c;
        afterDigit = false;
        if (c == '(' || c == '[' || c == '{')
            ++brackets;
        else if ((c == ')' || c == ']' || c == '}') && brackets > 0)
            --brackets;
    }
    key.resize(n);
    out.letters = letters;
}

} // namespace

bool foldsWithoutIcu(std::string_view utf8)
{
    return isAscii(utf8) || foldedLatin(utf8).has_value();
}

static std::unique_ptr<icu::Transliterator> latinAscii()
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> made(
        icu::Transliterator::createInstance("Latin-ASCII", UTRANS_FORWARD, status));
    if (U_FAILURE(status) != 0)
        made.reset();
    return made;
}

void prepareFolding()
{
    latinAscii();
}

NameFolder::NameFolder() = default;

NameFolder::~NameFolder() = default;

std::string NameFolder::toAscii(std::string_view utf8)
{
    if (std::optional<std::string> folded = foldedLatin(utf8))
        return std::move(*folded);
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), int32_t(utf8.size())));
    if (!m_triedLatinAscii) {
        m_latinAscii = latinAscii();
        m_triedLatinAscii = true;
    }
    if (m_latinAscii)
        m_latinAscii->transliterate(text);
    text.foldCase();
    std::string out;
    text.toUTF8String(out);
    return out;
}

void NameFolder::foldInto(std::string_view stem, FoldLevel level, Folded &out, bool withWords)
{
    // ASCII without a comma, eight bytes a step: a byte at a time took a sixth of the fold.
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    constexpr std::uint64_t kLow = 0x0101010101010101ULL;
    const auto plainBytes = [&](std::uint64_t bytes) {
        const std::uint64_t commas = bytes ^ (kLow * ',');
        return ((bytes | ((commas - kLow) & ~commas)) & kHigh) == 0;
    };
    bool plain = true;
    std::size_t i = 0;
    for (; i + 8 <= stem.size(); i += 8) {
        std::uint64_t bytes = 0;
        std::memcpy(&bytes, stem.data() + i, 8);
        plain = plain && plainBytes(bytes);
    }
    if (i < stem.size()) {
        std::uint64_t bytes = 0; // zeros: neither high nor a comma
        std::memcpy(&bytes, stem.data() + i, stem.size() - i);
        plain = plain && plainBytes(bytes);
    }
    if (plain)
        foldPlainInto(stem, level, out, withWords);
    else
        foldByCopyInto(stem, level, out, withWords);
}

void NameFolder::foldByCopyInto(std::string_view stem, FoldLevel level, Folded &out, bool withWords)
{
    std::string &text = m_text;
    if (isAscii(stem))
        text.assign(stem);
    else if (level >= FoldLevel::Accents)
        text = toAscii(stem);
    else
        text = textOfUtf8(stem).toCaseFolded().toStdString();
    lowerAsciiInPlace(text);
    const bool ascii = isAscii(text);
    if (level >= FoldLevel::Article && text.find(',') != std::string::npos)
        text = withArticleInFront(text);

    out.key.clear();
    out.words.clear();
    out.letters = 0;
    out.plainWords = 0;
    out.dotted = false;
    int letters = 0;
    bool afterDigit = false;
    int brackets = 0;
    // Curly quotes are beyond ASCII: most names have none to look for.
    const bool dropQuotes = level >= FoldLevel::ForbiddenCharacters && !ascii;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (dropQuotes) {
            if (const std::size_t skip = forbiddenSequence(text, i)) {
                i += skip;
                continue;
            }
        }
        if (isWordByte(c)) {
            std::size_t j = i + 1;
            while (j < text.size() && isWordByte(text[j]) && (!dropQuotes || forbiddenSequence(text, j) == 0))
                ++j;
            std::string_view word(text.data() + i, j - i);
            char roman[4] = {};
            if (level >= FoldLevel::RomanNumerals && word.size() >= 2 && word.size() <= 7 &&
                std::all_of(word.begin(), word.end(), [](char r) { return r == 'i' || r == 'v' || r == 'x'; })) {
                if (const int value = romanValue(word)) {
                    const int length = value >= 10 ? 2 : 1;
                    roman[0] = char(length == 2 ? '0' + value / 10 : '0' + value);
                    roman[1] = char('0' + value % 10);
                    word = std::string_view(roman, std::size_t(length));
                }
            }
            if (afterDigit && isDigit(word.front()))
                out.key += '#';
            const auto at = std::uint32_t(out.key.size());
            out.key += word;
            afterDigit = isDigit(word.back());
            const auto wordLetters = std::size_t(std::count_if(word.begin(), word.end(), isLetter));
            letters += int(wordLetters);
            if (withWords) {
                out.words.push_back(Word{at, std::uint32_t(word.size()), brackets > 0, wordLetters == word.size()});
                out.plainWords += brackets > 0 ? 0 : 1;
            }
            i = j;
            continue;
        }
        ++i;
        out.dotted = out.dotted || c == '.';
        if (isSeparator(c) || (level >= FoldLevel::ForbiddenCharacters && isForbidden(c)))
            continue;
        out.key += c;
        afterDigit = false;
        if (c == '(' || c == '[' || c == '{')
            ++brackets;
        else if ((c == ')' || c == ']' || c == '}') && brackets > 0)
            --brackets;
    }
    out.letters = letters;
}

std::optional<std::string_view> withoutDownloadCopy(std::string_view stem)
{
    const auto trimmed = [](std::string_view s) {
        while (!s.empty() && (s.back() == ' ' || s.back() == '_'))
            s.remove_suffix(1);
        return s;
    };
    // Every mark of a copy ends in one of these letters or begins with one of those.
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (stem.empty())
        return std::nullopt;
    switch (lower(stem.back())) {
    case ')':
    case 'y':
    case 'e':
    case 'a':
    case 'o':
    case 'i':
        break;
    default:
        if (lower(stem.front()) != 'c' && lower(stem.front()) != 'k')
            return std::nullopt;
    }
    std::string_view rest = stem;
    bool stripped = false;
    // " (2)", "(2)": a number of one or two digits in brackets at the end.
    if (rest.size() >= 3 && rest.back() == ')') {
        std::size_t open = rest.size() - 2;
        while (open > 0 && isDigit(rest[open]))
            --open;
        const std::size_t digits = rest.size() - 2 - open;
        if (rest[open] == '(' && digits >= 1 && digits <= 2) {
            rest = trimmed(rest.substr(0, open));
            stripped = true;
        }
    }
    static constexpr std::array<std::string_view, 12> suffixes = {" - copy",  " copy",    "_copy",    " (copy)",
                                                                  " - kopie", " - copie", " - copia", " - kopia",
                                                                  " - kopio", " - kopya", " - kopi",  " - copie de"};
    for (const std::string_view suffix : suffixes) {
        if (endsWithNoCase(rest, suffix)) {
            rest = trimmed(rest.substr(0, rest.size() - suffix.size()));
            stripped = true;
            break;
        }
    }
    static constexpr std::array<std::string_view, 4> prefixes = {"copy of ", "kopie von ", "copie de ", "copia de "};
    if (!stripped) {
        for (const std::string_view prefix : prefixes) {
            if (rest.size() > prefix.size() && equalsNoCase(rest.substr(0, prefix.size()), prefix)) {
                rest.remove_prefix(prefix.size());
                stripped = true;
                break;
            }
        }
    }
    if (!stripped || rest.empty())
        return std::nullopt;
    return rest;
}

Typo typoBetween(std::string_view expected, std::string_view found)
{
    // A word without a vowel is an abbreviation or a code ("dsdd", "csd"), not a word to misspell.
    const auto lettersOnly = [](std::string_view w) {
        return w.size() >= 3 && std::all_of(w.begin(), w.end(), isLetter) &&
               w.find_first_of("aeiouy") != std::string_view::npos;
    };
    if (!lettersOnly(expected) || !lettersOnly(found) || expected == found)
        return Typo::None;
    const std::string_view longer = expected.size() >= found.size() ? expected : found;
    const std::string_view shorter = expected.size() >= found.size() ? found : expected;
    if (longer.size() - shorter.size() > 1)
        return Typo::None;
    std::size_t first = 0;
    while (first < shorter.size() && longer[first] == shorter[first])
        ++first;
    if (longer.size() != shorter.size()) {
        if (first + 1 < longer.size())
            return longer.substr(first + 1) == shorter.substr(first) ? Typo::Inside : Typo::None;
        // At the end: a letter dropped, or doubled (not any letter added: "Warrior", "Warriors").
        return longer == expected || longer[first] == longer[first - 1] ? Typo::LastLetter : Typo::None;
    }
    const std::size_t last = longer.size() - 1;
    if (first == last)
        return Typo::LastLetter;
    if (longer.substr(first + 1) == shorter.substr(first + 1))
        return Typo::Inside; // one letter changed
    if (longer[first] != shorter[first + 1] || longer[first + 1] != shorter[first] ||
        longer.substr(first + 2) != shorter.substr(first + 2))
        return Typo::None;
    if (first + 1 < last)
        return Typo::Inside;
    return longer.size() >= 4 ? Typo::LastSwap : Typo::None;
}

} // namespace zelvora::nearmiss
