#pragma once

// Walk: the map. scan.h (here) asks the disk the audit's questions; dirwalk.h answers them with one
// walker per core over raw directory reads (the directory reader seam of platform/fs), never following a
// link nor opening a special file; foundfiles.h is what a walk gives: the names in one block and, for
// each, the folder it lies in, plus a WalkReport of what could not be read.
//
// The audit's questions to the disk: which rom archives and videos lie below the Zelvora directory
// (with the folder of each), and where below a folder the supported roms list is.

#include "audit/progress.h"
#include "audit/walk/foundfiles.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace zelvora {

// The folders below the Zelvora directory that hold rom archives and preview videos.
QStringList romDirectoryNames();   // "roms", "roms16BitConsoles", "romsConsoles"
QStringList videoDirectoryNames(); // "videos", "videos2", "videos3", "videos4", "videosextra"
// The same kinds of file in formats the front-end does not use, which near misses may name.
QStringList romOtherFormatExtensions();   // "7z", "rar"
QStringList videoOtherFormatExtensions(); // "mp4", "avi", "mkv", "flv", "webm", "mov", "wmv"
inline constexpr QStringView kRomExtension = u"zip";
inline constexpr QStringView kVideoExtension = u"xmv";

// Every regular file below `directories` (relative to `zelvoraDir`, walked to every depth) whose
// extension, folded to lower case, equals `extension`, with its folder; unsorted. Symbolic links are
// neither counted nor followed; other special files are skipped unopened; what could not be read is
// in the result's walk report. With `otherFormats`, the same walk also gathers the files with one of
// `otherExtensions` into it, unsorted.
FoundFiles gatherFilesWithExtension(const QString &zelvoraDir, const QStringList &directories, const QString &extension,
                                    Progress *progress = nullptr, const QStringList &otherExtensions = {},
                                    FoundFiles *otherFormats = nullptr);

// The rom archives and the videos below `zelvoraDir`, each with its own walk report, and with
// `otherFormats` the files of each kind in its other formats, all found by one walk; unsorted.
struct CollectionFiles
{
    FoundFiles roms;
    FoundFiles videos;
    FoundFiles romOtherFormats;
    FoundFiles videoOtherFormats;
};
CollectionFiles gatherCollectionFiles(const QString &zelvoraDir, Progress *progress = nullptr,
                                      bool otherFormats = false);

// The same files sorted by compareSringsCaseInsensitive, duplicates kept.
// With `otherFormats`, the files in the other formats of that kind go there, sorted the same way.
FoundFiles cacheFilenamesFromDirsWithFileExtensions(const QString &zelvoraDir, const QStringList &directories,
                                                    const QString &extension, Progress *progress = nullptr);
FoundFiles cacheZelvoraRomDirs(const QString &zelvoraDir, Progress *progress = nullptr,
                               FoundFiles *otherFormats = nullptr);
FoundFiles cacheZelvoraVideoDirs(const QString &zelvoraDir, Progress *progress = nullptr,
                                 FoundFiles *otherFormats = nullptr);

// The full path of the first regular file below `directory` (at any depth) named exactly `fileName`,
// in sorted path order (entries compared by their bytes, component by component). Links are not
// followed. Stops at the first match.
std::optional<QString> findFileBelow(const QString &directory, const QString &fileName);

} // namespace zelvora
