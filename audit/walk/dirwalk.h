#pragma once

// The directory walker: raw directory reads (platform/fs's reader: getdents64 on Linux) on directory
// handles, one walker per core sharing the folders, and a single ordered walk for searches. Links are
// never followed below a root, special files are never opened, trees deeper than PATH_MAX are walked
// whole with a bounded number of open handles, and running out of handles makes a walker give back
// its own before it gives up.

#include "audit/progress.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace zelvora {

// A folder below the walked roots that the walk could not look into.
struct UnreadFolder
{
    QByteArray path; // relative to the base folder ("roms/a"), as bytes
    int error = 0;   // errno
};

// A symbolic link below the walked roots that mattered and was not followed: a link to a folder, or one
// whose name has the extension walked for. Other links could not have changed the result.
struct SkippedLink
{
    QByteArray path;   // relative to the base folder ("roms/a/game.zip"), as bytes
    QByteArray target; // as the link holds it
};

// What a walk could not see.
struct WalkReport
{
    // Folders the user may not read or search (or whose reading broke off): their files are not counted.
    std::vector<UnreadFolder> unreadable;
    // Folders that could not be opened for another reason (no file handle to be had, no memory), or
    // that were listed and then gone or replaced when the walk came to them (the tree changed under
    // it): the walk is incomplete and its result must not pass for the whole tree.
    std::vector<UnreadFolder> failed;
    // Links that were not followed (they never are below a root).
    std::vector<SkippedLink> links;
    // FIFOs, sockets and devices named like a wanted file: never opened, never counted, but named, since
    // the user most likely meant a file there. Relative to the base folder, as bytes.
    std::vector<QByteArray> specialFiles;

    bool isComplete() const { return failed.empty(); }
    void append(const WalkReport &other);
};

// A folder as a walker holds it: its path below the base folder, and a slot the caller may use to
// remember something about it (such as its index in a table) for as long as the walker is in it.
struct WalkedFolder
{
    QByteArray path;
    qint64 tag = -1;
    qint64 otherTag = -1;   // the same for the files of OtherFormats
    std::size_t target = 0; // the WalkTarget whose roots it lies below
};

// Called for every regular file whose extension, folded to lower case, equals the wanted one, on the
// walker's thread; `walker` numbers the walkers from 0 (0 is the calling thread).
using FileVisitor = std::function<void(unsigned walker, WalkedFolder &folder, std::string_view name)>;

// Files of the same kind in other formats, gathered by the same walk as the wanted ones: their
// extensions (lower case) and what is called for each.
struct OtherFormats
{
    QStringList extensions;
    FileVisitor visit;
};

// One extension walked for below some roots, as one of several in a single walk.
struct WalkTarget
{
    QStringList roots;
    QString extension;
    FileVisitor visit;
    const OtherFormats *others = nullptr;
};

// How many walkers walkInParallel runs: its visitors see walker numbers below this.
unsigned walkerCount();

// Walks each of `roots` (folder names below `base`; a root may itself be a link) to every depth, on
// walkerCount() walkers. Absent roots contribute nothing. Progress is reported on the calling thread only.
// With `others`, files with one of its extensions go to its visitor.
WalkReport walkInParallel(const QString &base, const QStringList &roots, const QString &extension,
                          const FileVisitor &visit, Progress *progress = nullptr, const OtherFormats *others = nullptr);

// The same for the roots of every target in one walk, each with its own extension and visitors: the
// walkers share all the folders, so a small tree of one kind leaves no walker idle. Returns a report per
// target, holding only what was met below that target's roots.
std::vector<WalkReport> walkInParallel(const QString &base, const std::vector<WalkTarget> &targets,
                                       Progress *progress = nullptr);

// The path below `root` of the first regular file for which `wanted(folder, name)` holds, in sorted path
// order (entries compared by their bytes, component by component). Stops at the first match.
std::optional<QByteArray>
findFirstInPathOrder(const QString &root,
                     const std::function<bool(const QByteArray &folder, std::string_view name)> &wanted);

} // namespace zelvora
