#pragma once

#include "nameblock.h"
#include "progress.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <optional>
#include <vector>

namespace zelvora {

// The folders below the Zelvora directory that hold rom archives and preview videos.
QStringList romDirectoryNames();   // "roms", "roms16BitConsoles", "romsConsoles"
QStringList videoDirectoryNames(); // "videos", "videos2", "videos3", "videos4", "videosextra"
inline constexpr QStringView kRomExtension = u"zip";
inline constexpr QStringView kVideoExtension = u"xmv";

// A file the walk counted: its name as on disk and the folder it lies in, relative to the Zelvora
// directory ("roms/a/b"). The folder text is shared by every file of one folder.
struct FoundFile
{
    QString name;
    QString folder;
};

// Called for every counted file, on the walking thread.
using FoundFileVisitor = std::function<void(const QString &folder, const QString &name)>;

// Walks each of `directories` (relative to `zelvoraDir`) to every depth and reports every regular
// file whose extension, folded to lower case, equals `extension`. Symbolic links are neither counted
// nor followed; other special files are skipped unopened; unreadable folders contribute nothing.
void walkFilesWithExtension(const QString &zelvoraDir, const QStringList &directories, const QString &extension,
                            const FoundFileVisitor &visit, Progress *progress = nullptr);

// The same walk, keeping where each file was found. Unsorted.
std::vector<FoundFile> findFilesWithExtension(const QString &zelvoraDir, const QStringList &directories,
                                              const QString &extension, Progress *progress = nullptr);

// The names of the files the same walk counts, gathered by a walker on each core: unsorted, in no fixed
// order. Progress is reported on the calling thread only.
NameBlock gatherFilesWithExtension(const QString &zelvoraDir, const QStringList &directories, const QString &extension,
                                   Progress *progress = nullptr);

// The file names the walk counts, sorted by compareSringsCaseInsensitive, duplicates kept.
QStringList cacheFilenamesFromDirsWithFileExtensions(const QString &zelvoraDir, const QStringList &directories,
                                                     const QString &extension, Progress *progress = nullptr);
QStringList cacheZelvoraRomDirs(const QString &zelvoraDir, Progress *progress = nullptr);
QStringList cacheZelvoraVideoDirs(const QString &zelvoraDir, Progress *progress = nullptr);

// The full path of the first regular file below `directory` (at any depth) named exactly `fileName`,
// in sorted path order (entries compared by their bytes, component by component). Links are not
// followed. Stops at the first match.
std::optional<QString> findFileBelow(const QString &directory, const QString &fileName);

} // namespace zelvora
