#pragma once

// The rename that never replaces a file, behind one call. Three ways, tried in this order, each only
// when the file system says the one before is not supported (never after "File exists" or any other
// refusal): renameat2 with RENAME_NOREPLACE (Linux side only); a hard link to the new name, then the
// old name unlinked (any POSIX system); and, where links cannot be made either (exFAT, FAT and many
// FUSE file systems), the new name claimed by creating it exclusively, then the file renamed over that
// empty file of our own. A ZELVORA_POSIX_ONLY build starts at the second way. The directory reader is
// the other seam (directoryreader.h).
//
// The claim's window: between checking that the claimed name still holds the empty file we created
// and the rename itself (two system calls apart), another program could rename a file of its own onto
// that name, or write into our empty file; the rename would then replace what it put there. Outside
// that window nothing is ever replaced: the claim is exclusive, so a name that is taken stays taken,
// and a claim that was replaced, linked or written to before the check is left alone and the rename
// refused (EEXIST).

#include <fcntl.h>
#include <functional>

namespace zelvora::fs {

// Opens a folder only to name things in it (rename, stat, create). With O_PATH (Linux) a folder the
// user may search but not list can still be opened; the portable side needs read permission on it.
#ifdef ZELVORA_POSIX_ONLY
inline constexpr int kNamingFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#else
inline constexpr int kNamingFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#endif

enum class NoReplaceWay { RenameFlag, Link, Claim };

// For tests: a later first way, as on a file system that lacks the earlier ones, and a call between
// the claim and its check, where another program could act.
struct NoReplaceTrial
{
    NoReplaceWay first = NoReplaceWay::RenameFlag;
    std::function<void()> afterClaim;
};

// Renames `from` to `to`, both in the folder open at `dir`, unless something is named `to`.
// Returns 0, or the errno of the refusal (EEXIST when the name is taken).
int renameNoReplace(int dir, const char *from, const char *to, const NoReplaceTrial &trial = {});

} // namespace zelvora::fs
