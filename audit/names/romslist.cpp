#include "audit/names/romslist.h"

#include "audit/names/filenames.h"
#include "audit/names/namesort.h"
#include "audit/names/textunits.h"

#include <QFile>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvora {

namespace {

bool isValidUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        // Lists are mostly ASCII: skip it eight bytes at a time.
        while (end - p >= 8) {
            quint64 word = 0;
            std::memcpy(&word, p, sizeof word);
            if ((word & 0x8080808080808080ULL) != 0)
                break;
            p += 8;
        }
        if (p == end)
            break;
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        char32_t minimum = 0;
        char32_t cp = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2, minimum = 0x80, cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, minimum = 0x800, cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, minimum = 0x10000, cp = lead & 0x07;
        } else {
            return false;
        }
        if (end - p < length)
            return false;
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += length;
    }
    return true;
}

// Windows-1252's 0x80..0x9F; the five unassigned bytes map to the C1 controls of the same value.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    auto *out = reinterpret_cast<char16_t *>(text.data());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? kWindows1252High[b - 0x80] : char16_t(b);
    }
    return text;
}

std::optional<QString> decodeUtf16(QByteArrayView bytes, bool bigEndian)
{
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype units = bytes.size() / 2;
    QString text(units, Qt::Uninitialized);
    auto *out = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype i = 0; i < units; ++i) {
        const unsigned char a = p[2 * i];
        const unsigned char b = p[2 * i + 1];
        out[i] = bigEndian ? char16_t(a << 8 | b) : char16_t(b << 8 | a);
    }
    // A lone surrogate is no character: the text is not UTF-16.
    for (qsizetype i = 0; i < units; ++i) {
        if (QChar::isHighSurrogate(out[i]) && i + 1 < units && QChar::isLowSurrogate(out[i + 1]))
            ++i;
        else if (QChar::isSurrogate(out[i]))
            return std::nullopt;
    }
    return text;
}

std::optional<QString> decodeUtf32(QByteArrayView bytes, bool bigEndian)
{
    if (bytes.size() % 4 != 0)
        return std::nullopt;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    QString text;
    text.reserve(bytes.size() / 4);
    for (qsizetype i = 0; i < bytes.size(); i += 4) {
        const char32_t cp = bigEndian
                                ? char32_t(p[i]) << 24 | char32_t(p[i + 1]) << 16 | char32_t(p[i + 2]) << 8 | p[i + 3]
                                : char32_t(p[i + 3]) << 24 | char32_t(p[i + 2]) << 16 | char32_t(p[i + 1]) << 8 | p[i];
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return std::nullopt;
        // Not QString::fromUcs4 per character: it takes a lone U+FEFF for a byte-order mark and drops it.
        if (QChar::requiresSurrogates(cp)) {
            text.append(QChar(QChar::highSurrogate(cp)));
            text.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            text.append(QChar(char16_t(cp)));
        }
    }
    return text;
}

bool startsWith(QByteArrayView bytes, std::initializer_list<unsigned char> mark)
{
    if (bytes.size() < qsizetype(mark.size()))
        return false;
    qsizetype i = 0;
    for (const unsigned char b : mark)
        if (static_cast<unsigned char>(bytes[i++]) != b)
            return false;
    return true;
}

} // namespace

std::optional<QString> decodeRomsListText(QByteArrayView bytes)
{
    // UTF-32 LE's mark begins like UTF-16 LE's, so it is tried first.
    if (startsWith(bytes, {0x00, 0x00, 0xFE, 0xFF}))
        return decodeUtf32(bytes.sliced(4), true);
    if (startsWith(bytes, {0xFF, 0xFE, 0x00, 0x00}))
        return decodeUtf32(bytes.sliced(4), false);
    if (startsWith(bytes, {0xEF, 0xBB, 0xBF})) {
        const QByteArrayView rest = bytes.sliced(3);
        if (!isValidUtf8(rest))
            return std::nullopt;
        return textOfUtf8(std::string_view(rest.data(), std::size_t(rest.size())));
    }
    if (startsWith(bytes, {0xFE, 0xFF}))
        return decodeUtf16(bytes.sliced(2), true);
    if (startsWith(bytes, {0xFF, 0xFE}))
        return decodeUtf16(bytes.sliced(2), false);
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    // No text file of another encoding holds NUL bytes: these are binary data, not a list.
    if (bytes.contains('\0'))
        return std::nullopt;
    return decodeWindows1252(bytes);
}

namespace {

// Why a file with this status is refused, if it is.
std::optional<RomsListFault> faultOf(const struct stat &st)
{
    if (!S_ISREG(st.st_mode))
        return RomsListFault::NotRegularFile;
    if (st.st_size > kRomsListMaxBytes)
        return RomsListFault::TooBig;
    return std::nullopt;
}

// The length of the line end at `at` in UTF-8 text, or 0: U+000A..U+000D, U+0085, U+2028 and U+2029
// each end a list line.
std::size_t utf8LineEnd(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0U; };
    const unsigned b = byte(at);
    if (b >= 0x0A && b <= 0x0D)
        return 1;
    if (b == 0xC2 && byte(at + 1) == 0x85)
        return 2;
    if (b == 0xE2 && byte(at + 1) == 0x80 && (byte(at + 2) == 0xA8 || byte(at + 2) == 0xA9))
        return 3;
    return 0;
}

// Whether the byte can start a line end: one test for nearly every byte of a list.
inline bool mayEndLine(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b <= 0x0D ? b >= 0x0A : (b == 0xC2 || b == 0xE2);
}

} // namespace

QString romsListFaultText(RomsListFault fault)
{
    switch (fault) {
    case RomsListFault::Missing:
        return QStringLiteral("missing");
    case RomsListFault::NotRegularFile:
        return QStringLiteral("not a regular file");
    case RomsListFault::TooBig:
        return QStringLiteral("over 2 MiB");
    case RomsListFault::Unreadable:
        return QStringLiteral("unreadable");
    case RomsListFault::NotDecodable:
        break;
    }
    return QStringLiteral("not decodable");
}

// The bytes of the list file, or why not: it is not a regular file within the limit.
std::optional<QByteArray> readRomsListBytes(const QString &path, RomsListFault &fault)
{
    fault = RomsListFault::Missing;
    if (path.isEmpty())
        return std::nullopt;
    const QByteArray encoded = encodeFileName(path);
    // Looked at before opening: opening a device can have effects of its own.
    struct stat st = {};
    if (::lstat(encoded.constData(), &st) != 0) {
        fault = errno == ENOENT || errno == ENOTDIR ? RomsListFault::Missing : RomsListFault::Unreadable;
        return std::nullopt;
    }
    if (const std::optional<RomsListFault> refused = faultOf(st)) {
        fault = *refused;
        return std::nullopt;
    }
    // O_NOFOLLOW refuses a link; O_NONBLOCK keeps a FIFO from stalling the open. The checks then run on
    // the very file that is read, so nothing can be swapped in between.
    fault = RomsListFault::Unreadable;
    const int fd = ::open(encoded.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT)
            fault = RomsListFault::Missing;
        else if (errno == ELOOP)
            fault = RomsListFault::NotRegularFile;
        return std::nullopt;
    }
    const bool looked = ::fstat(fd, &st) == 0;
    if (const std::optional<RomsListFault> refused = looked ? faultOf(st) : std::nullopt; !looked || refused) {
        if (refused)
            fault = *refused;
        ::close(fd);
        return std::nullopt;
    }
    // Read one byte past the limit at most, so a file that grew since the check is still refused.
    QByteArray bytes(kRomsListMaxBytes + 1, Qt::Uninitialized);
    qsizetype total = 0;
    while (total < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + total, std::size_t(bytes.size() - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        total += n;
    }
    ::close(fd);
    if (total > kRomsListMaxBytes) {
        fault = RomsListFault::TooBig;
        return std::nullopt;
    }
    bytes.truncate(total);
    return bytes;
}

std::optional<NameBlock> readRomsListBlock(const QString &path, std::string_view extension, RomsListFault *fault)
{
    RomsListFault refused{};
    const std::optional<QByteArray> bytes = readRomsListBytes(path, refused);
    if (!bytes) {
        if (fault)
            *fault = refused;
        return std::nullopt;
    }
    return romsListBlock(*bytes, extension, fault);
}

std::optional<NameBlock> romsListBlock(QByteArrayView bytes, std::string_view extension, RomsListFault *fault)
{
    // Most lists are UTF-8 already and are split as they are; any other text is decoded first. Decoded
    // text holds no lone surrogate, so it turns into UTF-8 and back unchanged.
    QByteArray converted;
    QByteArrayView utf8 = bytes;
    if (startsWith(utf8, {0xEF, 0xBB, 0xBF}) && isValidUtf8(utf8.sliced(3))) {
        utf8 = utf8.sliced(3);
    } else if (!isValidUtf8(utf8)) {
        const std::optional<QString> text = decodeRomsListText(utf8);
        if (!text) {
            if (fault)
                *fault = RomsListFault::NotDecodable;
            return std::nullopt;
        }
        converted = text->toUtf8();
        utf8 = converted;
    }

    const std::string_view text(utf8.data(), std::size_t(utf8.size()));
    NameBlock lines;
    lines.reserve(text.size() / 16, text.size() + text.size() / 4);
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size();) {
        std::size_t end = 1;
        if (i < text.size()) {
            if (!mayEndLine(text[i]) || (end = utf8LineEnd(text, i)) == 0) {
                ++i;
                continue;
            }
        }
        if (i > start) {
            if (extension.empty())
                lines.append(text.substr(start, i - start));
            else
                lines.appendWithExtension(text.substr(start, i - start), extension);
        }
        i += end;
        start = i;
    }
    return lines;
}

std::optional<NameBlock> cacheRomsListFile(const QString &path)
{
    std::optional<NameBlock> names = readRomsListBlock(path);
    if (names)
        *names = sortNameBlock(*names);
    return names;
}

} // namespace zelvora
