// ASCII names, nearly all of them, are searched as bytes with ASCII case folding; a name with other
// bytes is compared as text.
#include "app/namefilter.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zelvora {

namespace {

constexpr std::array<unsigned char, 256> kLower = [] {
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[std::size_t(i)] = (i >= 'A' && i <= 'Z') ? (unsigned char)(i + 32) : (unsigned char)i;
    return table;
}();

bool isAscii(std::string_view text)
{
    unsigned char any = 0;
    for (const char c : text)
        any |= (unsigned char)c;
    return any < 0x80;
}

// `needle` is folded ASCII, not empty. The first unit is looked for in both cases with memchr, which
// skips most of a name at once.
bool containsAscii(std::string_view name, std::string_view needle)
{
    if (name.size() < needle.size())
        return false;
    const auto lower = (unsigned char)needle[0];
    const unsigned char upper = (lower >= 'a' && lower <= 'z') ? lower - 32 : lower;
    const char *at = name.data();
    const char *const last = name.data() + (name.size() - needle.size());
    while (at <= last) {
        const auto span = std::size_t(last - at) + 1;
        const auto *lowerAt = static_cast<const char *>(std::memchr(at, lower, span));
        const auto *upperAt = upper == lower ? nullptr : static_cast<const char *>(std::memchr(at, upper, span));
        const char *hit = !lowerAt ? upperAt : (!upperAt ? lowerAt : std::min(lowerAt, upperAt));
        if (!hit)
            return false;
        std::size_t j = 1;
        while (j < needle.size() && kLower[(unsigned char)hit[j]] == (unsigned char)needle[j])
            ++j;
        if (j == needle.size())
            return true;
        at = hit + 1;
    }
    return false;
}

} // namespace

NamePositions filterNames(const NameList &names, QStringView needle, const NamePositions *within)
{
    const QString folded = needle.toString().toCaseFolded();
    const QByteArray bytes = folded.toUtf8();
    const std::string_view asciiNeedle(bytes.constData(), std::size_t(bytes.size()));
    const bool needleAscii = isAscii(asciiNeedle);

    const auto matches = [&](std::string_view name) {
        if (asciiNeedle.empty())
            return true;
        if (isAscii(name))
            // A folded text beyond ASCII never matches ASCII bytes.
            return needleAscii && containsAscii(name, asciiNeedle);
        return QString::fromUtf8(name.data(), qsizetype(name.size())).toCaseFolded().contains(folded);
    };

    NamePositions found;
    if (within) {
        for (const qint32 position : *within)
            if (matches(names[std::size_t(position)]))
                found.push_back(position);
        return found;
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        if (matches(names[i]))
            found.push_back(qint32(i));
    return found;
}

} // namespace zelvora
