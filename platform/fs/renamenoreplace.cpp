#include "platform/fs/renamenoreplace.h"

#include <cerrno>
#include <cstdio> // renameat, renameat2
#include <sys/stat.h>
#include <unistd.h>
#ifndef ZELVORA_POSIX_ONLY
#include <sys/syscall.h>
#endif

namespace zelvora::fs {

namespace {

// What file systems answer for a rename flag, or a link, they do not support (exFAT over FUSE: EINVAL
// for the flag, EPERM for a link). EPERM can also be the kernel's hard-link protection; the claim that
// follows is as safe, so taking it then costs nothing.
bool isNotSupported(int error)
{
#if ENOTSUP != EOPNOTSUPP
    if (error == ENOTSUP)
        return true;
#endif
    return error == EOPNOTSUPP || error == ENOSYS;
}

bool isUnsupportedLink(int error)
{
    return error == EPERM || isNotSupported(error);
}

#ifndef ZELVORA_POSIX_ONLY
bool isUnsupportedFlag(int error)
{
    return error == EINVAL || isNotSupported(error);
}

int renameWithFlag(int dir, const char *from, const char *to)
{
#ifdef RENAME_NOREPLACE
    return ::renameat2(dir, from, dir, to, RENAME_NOREPLACE);
#else
    // A C library older than its wrapper: the kernel's flag has the same value.
    constexpr unsigned noReplace = 1;
    return int(::syscall(SYS_renameat2, dir, from, dir, to, noReplace));
#endif
}
#endif

// A new link fails when the name is taken.
int linkThenUnlink(int dir, const char *from, const char *to)
{
    if (::linkat(dir, from, dir, to, 0) != 0)
        return errno;
    if (::unlinkat(dir, from, 0) != 0) {
        const int error = errno;
        ::unlinkat(dir, to, 0); // back to one name, the old one
        return error;
    }
    return 0;
}

bool isSameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The name still holds the empty file we created, with no other name.
bool isOurClaim(int dir, const char *name, const struct stat &made)
{
    struct stat named = {};
    return ::fstatat(dir, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && isSameFile(named, made) &&
           S_ISREG(named.st_mode) && named.st_size == 0 && named.st_nlink == 1;
}

int claimThenRename(int dir, const char *from, const char *to, const std::function<void()> &afterClaim)
{
    // O_EXCL with O_NOFOLLOW: a new file or nothing, never whatever a link at that name points to.
    const int claim = ::openat(dir, to, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (claim < 0)
        return errno;
    struct stat made = {};
    const bool known = ::fstat(claim, &made) == 0;
    const int statError = errno;
    if (afterClaim)
        afterClaim();
    // Checked while our handle is open, so that a FUSE file system keeps the inode number it gave.
    struct stat held = {};
    const bool ours = known && ::fstat(claim, &held) == 0 && held.st_size == 0 && isOurClaim(dir, to, made);
    ::close(claim);
    if (!known)
        return statError;
    if (!ours)
        return EEXIST; // someone else has the name now: theirs to keep
    if (::renameat(dir, from, dir, to) != 0) {
        const int error = errno;
        if (isOurClaim(dir, to, made))
            ::unlinkat(dir, to, 0);
        return error;
    }
    return 0;
}

} // namespace

int renameNoReplace(int dir, const char *from, const char *to, const NoReplaceTrial &trial)
{
    NoReplaceWay way = trial.first;
#ifndef ZELVORA_POSIX_ONLY
    if (way == NoReplaceWay::RenameFlag) {
        if (renameWithFlag(dir, from, to) == 0)
            return 0;
        if (!isUnsupportedFlag(errno))
            return errno;
        way = NoReplaceWay::Link;
    }
#endif
    if (way != NoReplaceWay::Claim) {
        const int error = linkThenUnlink(dir, from, to);
        if (!isUnsupportedLink(error))
            return error;
    }
    return claimThenRename(dir, from, to, trial.afterClaim);
}

} // namespace zelvora::fs
