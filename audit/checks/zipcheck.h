#pragma once

// The structure of a zip archive, read from its end: the end record (and the zip64 locator and record
// where present), then the central directory, checked against the file without reading any entry's
// data. A copy cut short loses its end first; a bad offset or count shows here too. This is the quick
// check of every counted archive; the deep verify (verify.h) starts from the same directory.

#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <string>
#include <vector>

namespace zelvora {

// The little-endian numbers of a zip's records, read from bytes already in memory.
inline quint16 zipLe16(const char *p)
{
    const auto *b = reinterpret_cast<const unsigned char *>(p);
    return quint16(b[0] | (b[1] << 8));
}
inline quint32 zipLe32(const char *p)
{
    const auto *b = reinterpret_cast<const unsigned char *>(p);
    return quint32(b[0]) | (quint32(b[1]) << 8) | (quint32(b[2]) << 16) | (quint32(b[3]) << 24);
}
inline quint64 zipLe64(const char *p)
{
    return quint64(zipLe32(p)) | (quint64(zipLe32(p + 4)) << 32);
}

// Whether the 4 bytes at `head` start a zip archive (the not-a-zip check).
bool isZipSignature(const char *head);

// Where the bytes come from: a file (pread) or, for tests and fuzzing, memory.
class ZipSource
{
public:
    virtual ~ZipSource() = default;
    // Bytes read into `to` from `offset`; fewer than `size` at the end, -1 on an error.
    virtual qint64 read(quint64 offset, char *to, std::size_t size) = 0;
};

// An open file, read with pread: the caller's offset is never moved, so one descriptor serves all.
class FileZipSource final : public ZipSource
{
public:
    explicit FileZipSource(int fd) : m_fd(fd) {}
    qint64 read(quint64 offset, char *to, std::size_t size) override;

private:
    int m_fd;
};

// Bytes already in memory, which must outlive it: archives built by the tests, the fuzzer's input, the
// bench floor's archives read beforehand.
class MemoryZipSource final : public ZipSource
{
public:
    MemoryZipSource(const char *bytes, std::size_t size) : m_bytes(bytes), m_size(size) {}
    qint64 read(quint64 offset, char *to, std::size_t size) override;

private:
    const char *m_bytes;
    std::size_t m_size;
};

struct ZipEntry
{
    std::string name; // as stored: bytes from outside
    quint64 localOffset = 0;
    quint64 compressedSize = 0;
    quint64 size = 0;
    quint32 crc = 0;
    quint16 method = 0;
    quint16 flags = 0;
};

struct ZipDirectory
{
    quint64 directoryOffset = 0; // where the central directory starts: every entry's data ends before
    std::vector<ZipEntry> entries;
};

// An archive needs no more than this many entries to be a rom; more is damage (or a bomb of names).
inline constexpr quint64 kZipMostEntries = 1U << 20;

// Checks the archive of `fileSize` bytes; fills `directory` when it is not null. Empty when the
// structure is sound, else a detail a person understands ("cut short: the end record is missing").
QString readZipDirectory(ZipSource &source, quint64 fileSize, ZipDirectory *directory);

} // namespace zelvora
