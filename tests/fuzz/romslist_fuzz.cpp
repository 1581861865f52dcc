// The supported roms list reader on arbitrary bytes: every encoding path, the line split, and the
// whole read from a file.
#include "audit/names/names.h"
#include "audit/names/romslist.h"
#include "fuzzcheck.h"
#include "support/encodings.h"
#include "support/nametexts.h"
#include "support/reference.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

using test::encodeUtf16;
using test::encodeUtf32;

bool isLineEnd(char16_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool startsWith(QByteArrayView bytes, QByteArrayView mark)
{
    return bytes.size() >= mark.size() && bytes.first(mark.size()) == mark;
}

// UTF-8 as Qt's decoder reads it, keeping a leading U+FEFF; empty when the bytes are not valid UTF-8.
std::optional<QString> utf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool hasLoneSurrogate(QByteArrayView bytes, bool bigEndian)
{
    const auto unit = [&](qsizetype i) {
        const auto a = static_cast<unsigned char>(bytes[2 * i]);
        const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        return char16_t(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    const qsizetype units = bytes.size() / 2;
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF)
            ++i;
        else if (u >= 0xD800 && u <= 0xDFFF)
            return true;
    }
    return false;
}

bool isValidUtf32(QByteArrayView bytes, bool bigEndian)
{
    if (bytes.size() % 4 != 0)
        return false;
    for (qsizetype i = 0; i < bytes.size(); i += 4) {
        std::uint32_t cp = 0;
        for (int k = 0; k < 4; ++k)
            cp = cp << 8 | static_cast<unsigned char>(bytes[i + (bigEndian ? k : 3 - k)]);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
    }
    return true;
}

// What the decoder must give, worked out without it: the text, or whether it must refuse.
void checkDecode(QByteArrayView bytes, const std::optional<QString> &text)
{
    const auto input = [&] { return test::describe(QString::fromLatin1(bytes)); };
    const auto checkUtf32 = [&](bool bigEndian) {
        const QByteArrayView rest = bytes.sliced(4);
        FUZZ_CHECK(text.has_value() == isValidUtf32(rest, bigEndian), input());
        if (text)
            FUZZ_CHECK(encodeUtf32(*text, bigEndian) == rest, input());
    };
    const auto checkUtf16 = [&](bool bigEndian) {
        const QByteArrayView rest = bytes.sliced(2);
        FUZZ_CHECK(text.has_value() == (rest.size() % 2 == 0 && !hasLoneSurrogate(rest, bigEndian)), input());
        if (text)
            FUZZ_CHECK(encodeUtf16(*text, bigEndian) == rest, input());
    };

    if (startsWith(bytes, QByteArrayView("\x00\x00\xFE\xFF", 4))) {
        checkUtf32(true);
    } else if (startsWith(bytes, QByteArrayView("\xFF\xFE\x00\x00", 4))) {
        checkUtf32(false);
    } else if (startsWith(bytes, "\xEF\xBB\xBF")) {
        // Only the first mark is one: a U+FEFF right after it is the first line's own character.
        FUZZ_CHECK(text == utf8(bytes.sliced(3)), input());
    } else if (startsWith(bytes, "\xFE\xFF")) {
        checkUtf16(true);
    } else if (startsWith(bytes, "\xFF\xFE")) {
        checkUtf16(false);
    } else if (const std::optional<QString> expected = utf8(bytes)) {
        FUZZ_CHECK(text == expected, input());
    } else if (bytes.contains('\0')) {
        // Binary data, not text of any encoding.
        FUZZ_CHECK(!text, input());
    } else {
        // Windows-1252: one character per byte; ASCII and 0xA0..0xFF as in Latin-1, and no byte of
        // 0x80..0x9F becomes a control character that could end a line.
        FUZZ_CHECK(text && text->size() == bytes.size(), input());
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            const char16_t c = (*text)[i].unicode();
            if (b < 0x80 || b >= 0xA0)
                FUZZ_CHECK(c == b, input());
            else
                FUZZ_CHECK(c == b ? (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) : c >= 0x100,
                           input());
        }
    }
}

void checkSplit(const QString &text, const QStringList &lines)
{
    const auto input = [&] { return test::describe(text); };
    QString withoutLineEnds;
    qsizetype runs = 0;
    bool inRun = false;
    for (const QChar c : text) {
        const bool end = isLineEnd(c.unicode());
        if (!end)
            withoutLineEnds += c;
        runs += !end && !inRun;
        inRun = !end;
    }
    FUZZ_CHECK(lines.size() == runs, input());
    FUZZ_CHECK(lines.join(QString()) == withoutLineEnds, input());
    for (const QString &line : lines) {
        FUZZ_CHECK(!line.isEmpty(), input());
        FUZZ_CHECK(std::none_of(line.begin(), line.end(), [](QChar c) { return isLineEnd(c.unicode()); }), input());
    }
    FUZZ_CHECK(test::referenceSplitLines(lines.join(u'\n')) == lines, input());
    FUZZ_CHECK(test::referenceSplitLines(lines.join(u"\r\n"_s)) == lines, input());
}

void checkSorted(const QStringList &lines, const QStringList &sorted)
{
    const auto input = [&] { return test::describe(lines); };
    QStringList a = lines;
    QStringList b = sorted;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    FUZZ_CHECK(a == b, input()); // a permutation
    for (qsizetype i = 1; i < sorted.size(); ++i)
        FUZZ_CHECK(compareSringsCaseInsensitive(sorted[i - 1], sorted[i]) <= 0, test::describe(sorted));
}

// One file per process, rewritten for every input.
const QString &scratchFile()
{
    static const QString path = [] {
        QByteArray dir = QDir::tempPath().toLocal8Bit() + "/zelvora-fuzz-XXXXXX";
        if (!::mkdtemp(dir.data()))
            std::abort();
        static const QByteArray removeAtExit = dir;
        std::atexit([] {
            ::unlink((removeAtExit + "/list.txt").constData());
            ::rmdir(removeAtExit.constData());
        });
        return QFile::decodeName(dir) + u"/list.txt"_s;
    }();
    return path;
}

void checkFileRead(QByteArrayView bytes, const std::optional<QString> &text)
{
    const QByteArray path = QFile::encodeName(scratchFile());
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), std::size_t(bytes.size())) != bytes.size())
        std::abort();
    ::close(fd);

    const std::optional<NameBlock> block = readRomsListBlock(scratchFile());
    const std::optional<NameBlock> sortedBlock = cacheRomsListFile(scratchFile());
    const std::optional<QStringList> entries = block ? std::optional(test::textsOf(*block)) : std::nullopt;
    const std::optional<QStringList> sorted = sortedBlock ? std::optional(test::textsOf(*sortedBlock)) : std::nullopt;
    const auto input = [&] { return test::describe(QString::fromLatin1(bytes)); };
    if (bytes.size() > kRomsListMaxBytes || !text) {
        FUZZ_CHECK(!entries && !sorted, input());
        return;
    }
    FUZZ_CHECK(entries && *entries == test::referenceSplitLines(*text), input());
    FUZZ_CHECK(sorted.has_value(), input());
    checkSorted(*entries, *sorted);
}

} // namespace
} // namespace zelvora

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace zelvora;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QString> text = decodeRomsListText(bytes);
    checkDecode(bytes, text);
    if (text)
        checkSplit(*text, test::referenceSplitLines(*text));
    // The whole read, through a file, costs a buffer of the size limit per call: one input in eight.
    if (size % 8 == 0)
        checkFileRead(bytes, text);
    return 0;
}
