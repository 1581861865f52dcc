// The end record, the zip64 locator and record, and the central directory, read through a small window
// so that a directory of any size costs bounded memory and an archive of a few entries one or two reads.

#include "audit/checks/zipcheck.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace zelvora {

using namespace Qt::StringLiterals;

namespace {

constexpr std::size_t kEndSize = 22;
constexpr std::size_t kLocatorSize = 20;
constexpr std::size_t kEnd64Size = 56;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
// Most archives keep their end record and directory in the last few KiB: one read finds both.
constexpr std::size_t kFirstTail = 8192;
constexpr std::size_t kLongestTail = kEndSize + 0xFFFF;
constexpr std::size_t kWindow = 256U << 10;

bool isSignature(const char *p, char a, char b)
{
    return p[0] == 'P' && p[1] == 'K' && p[2] == a && p[3] == b;
}

// The bytes [offset, offset + size) of the source, read a window at a time and kept while they serve.
class Window
{
public:
    Window(ZipSource &source, quint64 fileSize) : m_source(source), m_fileSize(fileSize) { m_bytes.clear(); }

    // Null when the bytes are not all in the file (or could not be read).
    const char *at(quint64 offset, std::size_t size, std::size_t readAhead = kWindow)
    {
        if (offset > m_fileSize || size > m_fileSize - offset)
            return nullptr;
        if (offset >= m_start && offset - m_start + size <= m_bytes.size())
            return m_bytes.data() + (offset - m_start);
        const std::size_t want = std::size_t(std::min<quint64>(std::max(size, readAhead), m_fileSize - offset));
        m_bytes.resize(want);
        std::size_t done = 0;
        while (done < want) {
            const qint64 n = m_source.read(offset + done, m_bytes.data() + done, want - done);
            if (n <= 0)
                break;
            done += std::size_t(n);
        }
        m_bytes.resize(done);
        m_start = offset;
        return done >= size ? m_bytes.data() : nullptr;
    }

    // Makes the window the last `size` bytes of the file.
    const char *tail(std::size_t size)
    {
        const auto length = std::size_t(std::min<quint64>(size, m_fileSize));
        return at(m_fileSize - length, length, length);
    }

    quint64 start() const { return m_start; }
    std::size_t size() const { return m_bytes.size(); }

private:
    ZipSource &m_source;
    quint64 m_fileSize;
    quint64 m_start = 0;
    // One buffer per thread: the quick check runs on 100,000 archives and allocates for none of them.
    std::vector<char> &m_bytes = buffer();

    static std::vector<char> &buffer()
    {
        thread_local std::vector<char> bytes;
        return bytes;
    }
};

// The offset of the end record in the window that holds the file's tail, or -1. The last one whose
// comment fits in the file wins: a stored entry may hold those four bytes too.
qint64 findEnd(const char *tail, std::size_t tailSize, quint64 tailStart, quint64 fileSize)
{
    if (tailSize < kEndSize)
        return -1;
    for (std::size_t i = tailSize - kEndSize + 1; i-- > 0;) {
        if (isSignature(tail + i, 5, 6) && tailStart + i + kEndSize + zipLe16(tail + i + 20) <= fileSize)
            return qint64(tailStart + i);
    }
    return -1;
}

QString entryName(const std::string &name)
{
    return u'"' + QString::fromUtf8(name.data(), qsizetype(name.size())) + u'"';
}

// Sizes and offset an entry keeps in its zip64 extra field, for the fields its fixed part marks full.
bool applyZip64(const char *extra, std::size_t extraSize, ZipEntry &entry, bool fullSize, bool fullCompressed,
                bool fullOffset)
{
    for (std::size_t i = 0; i + 4 <= extraSize;) {
        const quint16 id = zipLe16(extra + i);
        const std::size_t length = zipLe16(extra + i + 2);
        if (i + 4 + length > extraSize)
            break;
        if (id == 1) {
            const char *field = extra + i + 4;
            std::size_t at = 0;
            for (auto [full, value] :
                 {std::pair{fullSize, &entry.size}, std::pair{fullCompressed, &entry.compressedSize},
                  std::pair{fullOffset, &entry.localOffset}}) {
                if (!full)
                    continue;
                if (at + 8 > length)
                    return false;
                *value = zipLe64(field + at);
                at += 8;
            }
            return true;
        }
        i += 4 + length;
    }
    return !fullSize && !fullCompressed && !fullOffset;
}

} // namespace

bool isZipSignature(const char *head)
{
    // Local file header, end of central directory (an empty archive), spanned-archive marker.
    return head[0] == 'P' && head[1] == 'K' &&
           ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6) || (head[2] == 7 && head[3] == 8));
}

qint64 MemoryZipSource::read(quint64 offset, char *to, std::size_t size)
{
    if (offset >= m_size)
        return 0;
    const std::size_t n = std::min<std::size_t>(size, m_size - std::size_t(offset));
    std::memcpy(to, m_bytes + offset, n);
    return qint64(n);
}

qint64 FileZipSource::read(quint64 offset, char *to, std::size_t size)
{
    ssize_t n = -1;
    do {
        n = ::pread(m_fd, to, size, off_t(offset));
    } while (n < 0 && errno == EINTR);
    return n;
}

QString readZipDirectory(ZipSource &source, quint64 fileSize, ZipDirectory *directory)
{
    Window window(source, fileSize);
    const char *tail = window.tail(kFirstTail);
    if (tail == nullptr)
        return u"the file could not be read to its end"_s;
    qint64 end = findEnd(tail, window.size(), window.start(), fileSize);
    if (end < 0 && fileSize > kFirstTail) {
        tail = window.tail(kLongestTail);
        if (tail == nullptr)
            return u"the file could not be read to its end"_s;
        end = findEnd(tail, window.size(), window.start(), fileSize);
    }
    if (end < 0)
        return u"cut short: the end record is missing"_s;

    const char *record = window.at(quint64(end), kEndSize);
    if (record == nullptr)
        return u"the file could not be read to its end"_s;
    quint64 disk = zipLe16(record + 4);
    quint64 directoryDisk = zipLe16(record + 6);
    quint64 count = zipLe16(record + 10);
    quint64 directorySize = zipLe32(record + 12);
    quint64 directoryOffset = zipLe32(record + 16);
    // Where the directory must end: the end record, or the zip64 record before it.
    auto directoryLimit = quint64(end);
    const bool full = zipLe16(record + 8) == 0xFFFF || count == 0xFFFF || directorySize == 0xFFFFFFFF ||
                      directoryOffset == 0xFFFFFFFF;
    if (full && quint64(end) >= kLocatorSize) {
        const char *locator = window.at(quint64(end) - kLocatorSize, kLocatorSize);
        if (locator != nullptr && isSignature(locator, 6, 7)) {
            const quint64 at = zipLe64(locator + 8);
            const char *record64 = at <= quint64(end) - kLocatorSize ? window.at(at, kEnd64Size) : nullptr;
            if (record64 == nullptr || !isSignature(record64, 6, 6))
                return u"the zip64 end record is missing or damaged"_s;
            disk = zipLe32(record64 + 16);
            directoryDisk = zipLe32(record64 + 20);
            count = zipLe64(record64 + 32);
            directorySize = zipLe64(record64 + 40);
            directoryOffset = zipLe64(record64 + 48);
            directoryLimit = at;
        }
    }
    if (disk != 0 || directoryDisk != 0)
        return u"one part of an archive split over several files"_s;
    if (directoryOffset > directoryLimit || directorySize > directoryLimit - directoryOffset)
        return u"the central directory's place (offset %1, %2 bytes) lies outside the file"_s.arg(directoryOffset)
            .arg(directorySize);
    if (count > kZipMostEntries || count > directorySize / kCentralSize)
        return u"the end record counts %1 entries, more than the central directory can hold"_s.arg(count);

    if (directory != nullptr) {
        directory->directoryOffset = directoryOffset;
        directory->entries.clear();
        directory->entries.reserve(std::size_t(count));
    }
    // Where each entry's data lies, at least: entries that share bytes are how a small file inflates
    // to terabytes (and no tool writes them).
    thread_local std::vector<std::pair<quint64, quint64>> spans;
    spans.clear();
    ZipEntry entry;
    quint64 at = directoryOffset;
    const quint64 directoryEnd = directoryOffset + directorySize;
    for (quint64 i = 0; i < count; ++i) {
        const char *fixed = at + kCentralSize <= directoryEnd ? window.at(at, kCentralSize) : nullptr;
        if (fixed == nullptr || !isSignature(fixed, 1, 2))
            return u"the end record counts %1 entries, the central directory holds %2"_s.arg(count).arg(i);
        const std::size_t nameSize = zipLe16(fixed + 28);
        const std::size_t extraSize = zipLe16(fixed + 30);
        const std::size_t commentSize = zipLe16(fixed + 32);
        const std::size_t recordSize = kCentralSize + nameSize + extraSize + commentSize;
        const char *whole = at + recordSize <= directoryEnd ? window.at(at, recordSize) : nullptr;
        if (whole == nullptr)
            return u"the central directory is damaged: its entry %1 runs past its end"_s.arg(i + 1);
        entry.flags = zipLe16(whole + 8);
        entry.method = zipLe16(whole + 10);
        entry.crc = zipLe32(whole + 16);
        entry.compressedSize = zipLe32(whole + 20);
        entry.size = zipLe32(whole + 24);
        entry.localOffset = zipLe32(whole + 42);
        entry.name.assign(whole + kCentralSize, nameSize);
        if (!applyZip64(whole + kCentralSize + nameSize, extraSize, entry, entry.size == 0xFFFFFFFF,
                        entry.compressedSize == 0xFFFFFFFF, entry.localOffset == 0xFFFFFFFF))
            return u"entry %1 lacks the zip64 sizes its directory record promises"_s.arg(entryName(entry.name));
        // The local header repeats the name before the data; its extra field may differ, so this is the
        // least the entry takes.
        const quint64 least = kLocalSize + nameSize;
        if (entry.localOffset > directoryOffset || least > directoryOffset - entry.localOffset ||
            entry.compressedSize > directoryOffset - entry.localOffset - least)
            return u"entry %1 runs past the central directory"_s.arg(entryName(entry.name));
        if (zipLe16(whole + 34) != 0)
            return u"entry %1 lies on another disk of a split archive"_s.arg(entryName(entry.name));
        spans.emplace_back(entry.localOffset, entry.localOffset + least + entry.compressedSize);
        if (directory != nullptr)
            directory->entries.push_back(entry);
        at += recordSize;
    }
    if (const char *more = at + 4 <= directoryEnd ? window.at(at, 4) : nullptr;
        more != nullptr && isSignature(more, 1, 2))
        return u"the end record counts %1 entries, the central directory holds more"_s.arg(count);
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].first < spans[i - 1].second)
            return u"two entries share the same bytes (at offset %1)"_s.arg(spans[i].first);
    }
    return {};
}

} // namespace zelvora
