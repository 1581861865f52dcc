#pragma once

// Raw directory reads behind one small interface. A reader is given an open directory handle and
// yields its entries in batches: name, type as the directory record tells it (Unknown where the file
// system does not say), inode. Two sides: LinuxDirectoryReader reads large getdents64 batches
// straight from the kernel's records (the walker's speed rests on it); PortableDirectoryReader uses
// readdir on a handle of its own (d_type where the platform has it) and builds on any POSIX system.
// DirectoryReader is the Linux side, or the portable one in a ZELVORA_POSIX_ONLY build. The
// no-replace rename is the other seam (renamenoreplace.h).

#include <cstddef>
#include <cstdint>
#include <dirent.h>
#include <memory>
#include <span>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace zelvora::fs {

enum class EntryType : unsigned char { Unknown, File, Directory, Link, Other };

// The type a stat mode gives, for entries whose record said Unknown.
EntryType typeOfMode(mode_t mode);

struct DirectoryEntry
{
    // Never "." or "..", always followed by a NUL; valid until the next call of next() or start().
    std::string_view name;
    EntryType type = EntryType::Unknown;
    std::uint64_t inode = 0;
};

#ifndef ZELVORA_POSIX_ONLY
class LinuxDirectoryReader
{
public:
    LinuxDirectoryReader();
    ~LinuxDirectoryReader();
    LinuxDirectoryReader(const LinuxDirectoryReader &) = delete;
    LinuxDirectoryReader &operator=(const LinuxDirectoryReader &) = delete;
    LinuxDirectoryReader(LinuxDirectoryReader &&) = delete;
    LinuxDirectoryReader &operator=(LinuxDirectoryReader &&) = delete;

    // Starts reading the directory open at `fd`, from its current offset. The handle stays the
    // caller's and must stay open while reading. Returns 0 (this side never needs a handle of its own).
    int start(int fd);
    // The next entries; empty at the end, or when reading broke off (then error() says why).
    std::span<const DirectoryEntry> next();
    int error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
    std::unique_ptr<char[]> m_buffer;
    std::vector<DirectoryEntry> m_batch;
};
#endif

class PortableDirectoryReader
{
public:
    PortableDirectoryReader() = default;
    ~PortableDirectoryReader();
    PortableDirectoryReader(const PortableDirectoryReader &) = delete;
    PortableDirectoryReader &operator=(const PortableDirectoryReader &) = delete;
    PortableDirectoryReader(PortableDirectoryReader &&) = delete;
    PortableDirectoryReader &operator=(PortableDirectoryReader &&) = delete;

    // As LinuxDirectoryReader::start, but readdir needs a handle of its own (a duplicate of `fd`, given
    // back once the end is reached): returns 0, or the errno when none can be had (EMFILE...).
    int start(int fd);
    std::span<const DirectoryEntry> next();
    int error() const { return m_error; }

private:
    void finish();

    DIR *m_dir = nullptr;
    int m_error = 0;
    std::vector<char> m_names;
    std::vector<std::pair<std::size_t, std::size_t>> m_spans; // start and length of each name
    std::vector<DirectoryEntry> m_batch;
};

#ifdef ZELVORA_POSIX_ONLY
using DirectoryReader = PortableDirectoryReader;
#else
using DirectoryReader = LinuxDirectoryReader;
#endif

} // namespace zelvora::fs
