#include "audit/files/atomicwrite.h"

#include "audit/names/filenames.h"
#include "platform/fs/renamenoreplace.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zelvora {

namespace {

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isSameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool isTemporaryFileName(const char *name)
{
    constexpr std::size_t prefix = sizeof kTemporaryFilePrefix - 1;
    constexpr std::size_t suffix = 7; // "-XXXXXX"
    const std::size_t length = std::strlen(name);
    if (length < prefix + 1 + suffix || std::strncmp(name, kTemporaryFilePrefix, prefix) != 0 ||
        name[length - suffix] != '-')
        return false;
    for (std::size_t i = length - suffix + 1; i < length; ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

int lockFile(int fd, int operation)
{
    int locked = 0;
    do
        locked = ::flock(fd, operation);
    while (locked != 0 && errno == EINTR);
    return locked;
}

// Creates a new temporary file for `target` in `folder`, locked, and returns its handle and name;
// -1 with errno set when it cannot.
int createTemporaryFile(int folder, const QByteArray &target, mode_t mode, QByteArray &name)
{
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    // Within NAME_MAX whatever the target's length: only as much of its name as fits, cut between
    // characters (file systems that store UTF-16 refuse a name cut inside one).
    constexpr qsizetype room = NAME_MAX - qsizetype(sizeof kTemporaryFilePrefix - 1) - 7;
    qsizetype kept = std::min(target.size(), room);
    while (kept > 0 && kept < target.size() && (uchar(target[kept]) & 0xC0) == 0x80)
        --kept;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = kTemporaryFilePrefix + target.first(kept) + '-';
        for (int i = 0; i < 6; ++i)
            name += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
        // O_EXCL with O_NOFOLLOW: a new file or nothing, never whatever a link at that name points to.
        const int fd = ::openat(folder, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        // A file system without locks gets none: its left-overs are then never taken for stale. Not waited
        // for: whoever holds it already (a clean-up, or another user who may read it) is left the file.
        const bool held = lockFile(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        // Another save's clean-up may have removed it before the lock: then it is no longer ours.
        struct stat created = {};
        struct stat named = {};
        const bool ours = ::fstat(fd, &created) == 0 &&
                          ::fstatat(folder, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                          isSameFile(created, named);
        if (ours && !held)
            return fd;
        if (ours)
            ::unlinkat(folder, name.constData(), 0);
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

// Writes all of `bytes` and, when `durability` asks for it, syncs them; 0 or the error.
int writeAndSync(int fd, QByteArrayView bytes, Durability durability)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, std::size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            return n == 0 ? EIO : errno;
    }
    if (durability == Durability::Unsynced)
        return 0;
    int synced = 0;
    do
        synced = ::fdatasync(fd);
    while (synced != 0 && errno == EINTR);
    // Errors a file system reports only when syncing count; one that cannot sync at all is no failure.
    if (synced != 0 && errno != EINVAL && errno != ENOTSUP)
        return errno;
    return 0;
}

} // namespace

SaveFolder::SaveFolder(const QString &path)
{
    const QByteArray encoded = encodeFileName(path);
    m_fd = ::open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A folder that may be written but not listed is still written into, only not cleaned up (Linux).
    if (m_fd < 0 && errno == EACCES)
        m_fd = ::open(encoded.constData(), fs::kNamingFolderFlags);
    if (m_fd < 0)
        m_error = reason(errno);
}

SaveFolder::~SaveFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString writeFileAtomically(const SaveFolder &folder, const QString &name, QByteArrayView bytes, Durability durability)
{
    if (!folder.isOpen())
        return folder.error();
    const QByteArray target = encodeFileName(name);
    if (target.isEmpty() || target.contains('/') || target == "." || target == "..")
        return reason(EINVAL);
    const int dir = folder.handle();

    struct stat existing = {};
    const bool replacing = ::fstatat(dir, target.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (replacing && S_ISDIR(existing.st_mode))
        return reason(EISDIR);
    const bool replacingFile = replacing && S_ISREG(existing.st_mode);
    if (replacingFile && ::faccessat(dir, target.constData(), W_OK, AT_EACCESS) != 0)
        return reason(errno);

    QByteArray temporary;
    // Private until it has the mode of the file it replaces.
    const int fd = createTemporaryFile(dir, target, replacingFile ? 0600 : 0666, temporary);
    if (fd < 0)
        return reason(errno);
    int error = writeAndSync(fd, bytes, durability);
    if (error == 0 && replacingFile && ::fchmod(fd, existing.st_mode & 07777) != 0)
        error = errno;
    // Renamed while still locked, so that no clean-up can take it for a left-over before.
    if (error == 0 && ::renameat(dir, temporary.constData(), dir, target.constData()) != 0)
        error = errno;
    if (error != 0)
        ::unlinkat(dir, temporary.constData(), 0);
    ::close(fd);
    return error == 0 ? QString() : reason(error);
}

void removeStaleTemporaryFiles(const SaveFolder &folder)
{
    if (!folder.isOpen())
        return;
    const int dir = folder.handle();
    // A handle of its own for the listing; none can be had for a folder that may not be listed.
    DIR *listing = ::fdopendir(::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listing)
        return;
    std::vector<std::string> candidates;
    while (const dirent *entry = ::readdir(listing)) {
        if (isTemporaryFileName(entry->d_name))
            candidates.emplace_back(entry->d_name);
    }
    ::closedir(listing);

    for (const std::string &name : candidates) {
        // Looked at before opening, so that no device or FIFO is ever opened; checked again once open.
        struct stat named = {};
        struct stat opened = {};
        if (::fstatat(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode))
            continue;
        const int fd = ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // The lock is free only once the save that made the file has ended; had it renamed the file, the
        // name would be gone (names are only ever created anew, never renamed to).
        if (::fstat(fd, &opened) == 0 && isSameFile(named, opened) && lockFile(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && isSameFile(named, opened))
            ::unlinkat(dir, name.c_str(), 0);
        ::close(fd);
    }
}

} // namespace zelvora
