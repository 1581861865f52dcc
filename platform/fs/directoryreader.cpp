#include "platform/fs/directoryreader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvora::fs {

namespace {

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

#ifdef DT_UNKNOWN
EntryType typeOfRecord(unsigned char type)
{
    switch (type) {
    case DT_REG:
        return EntryType::File;
    case DT_DIR:
        return EntryType::Directory;
    case DT_LNK:
        return EntryType::Link;
    case DT_UNKNOWN:
        return EntryType::Unknown;
    default:
        return EntryType::Other;
    }
}
#endif

} // namespace

EntryType typeOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return EntryType::File;
    if (S_ISDIR(mode))
        return EntryType::Directory;
    if (S_ISLNK(mode))
        return EntryType::Link;
    return EntryType::Other;
}

#ifndef ZELVORA_POSIX_ONLY

// Large batches: a folder of a few thousand entries takes one or two system calls.
constexpr std::size_t kBufferSize = std::size_t(64) * 1024;

LinuxDirectoryReader::LinuxDirectoryReader() = default;
LinuxDirectoryReader::~LinuxDirectoryReader() = default;

int LinuxDirectoryReader::start(int fd)
{
    m_fd = fd;
    m_error = 0;
    if (!m_buffer) {
        m_buffer = std::make_unique<char[]>(kBufferSize);
        // A full buffer of the shortest records (24 bytes each).
        m_batch.reserve(kBufferSize / 24);
    }
    return 0;
}

std::span<const DirectoryEntry> LinuxDirectoryReader::next()
{
    m_batch.clear();
    while (m_fd >= 0 && m_batch.empty()) {
        const ssize_t n = ::getdents64(m_fd, m_buffer.get(), kBufferSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = n < 0 ? errno : 0;
            m_fd = -1;
            break;
        }
        for (ssize_t offset = 0; offset < n;) {
            const auto *record = reinterpret_cast<const dirent64 *>(m_buffer.get() + offset);
            offset += record->d_reclen;
            if (isDotOrDotDot(record->d_name))
                continue;
            m_batch.push_back({std::string_view(record->d_name), typeOfRecord(record->d_type), record->d_ino});
        }
    }
    return m_batch;
}

#endif

PortableDirectoryReader::~PortableDirectoryReader()
{
    finish();
}

void PortableDirectoryReader::finish()
{
    if (m_dir)
        ::closedir(m_dir);
    m_dir = nullptr;
}

int PortableDirectoryReader::start(int fd)
{
    finish();
    m_error = 0;
    // fdopendir takes over the handle it is given; the caller keeps its own.
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return errno;
    m_dir = ::fdopendir(copy);
    if (!m_dir) {
        const int error = errno;
        ::close(copy);
        return error;
    }
    return 0;
}

std::span<const DirectoryEntry> PortableDirectoryReader::next()
{
    // readdir's record lasts only until its next call: the names of a batch are copied.
    constexpr std::size_t kBatch = 512;
    m_batch.clear();
    m_names.clear();
    m_spans.clear();
    while (m_dir && m_batch.size() < kBatch) {
        errno = 0;
        const dirent *record = ::readdir(m_dir);
        if (!record) {
            m_error = errno;
            finish();
            break;
        }
        if (isDotOrDotDot(record->d_name))
            continue;
        const std::size_t length = std::strlen(record->d_name);
        m_spans.emplace_back(m_names.size(), length);
        m_names.insert(m_names.end(), record->d_name, record->d_name + length + 1);
#ifdef DT_UNKNOWN
        const EntryType type = typeOfRecord(record->d_type);
#else
        const EntryType type = EntryType::Unknown;
#endif
        m_batch.push_back({{}, type, std::uint64_t(record->d_ino)});
    }
    // Views into m_names only now that it has stopped growing.
    for (std::size_t i = 0; i < m_batch.size(); ++i)
        m_batch[i].name = std::string_view(m_names.data() + m_spans[i].first, m_spans[i].second);
    return m_batch;
}

} // namespace zelvora::fs
