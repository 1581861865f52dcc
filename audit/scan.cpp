#include "audit/scan.h"

#include "audit/dirwalk.h"
#include "audit/namesort.h"

#include <QFile>
#include <vector>

namespace zelvora {

using namespace Qt::StringLiterals;

QStringList romDirectoryNames()
{
    return u"roms,roms16BitConsoles,romsConsoles"_s.split(u',');
}

QStringList videoDirectoryNames()
{
    return u"videos,videos2,videos3,videos4,videosextra"_s.split(u',');
}

FoundFiles gatherFilesWithExtension(const QString &zelvoraDir, const QStringList &directories, const QString &extension,
                                    Progress *progress)
{
    // Each walker fills files of its own; a folder enters a walker's table with its first file.
    std::vector<FoundFiles> found(walkerCount());
    for (FoundFiles &files : found)
        files.names.reserve(16'384, std::size_t{512} * 1024); // past the first steps of growing, which copy for nothing
    const WalkReport report = walkInParallel(
        zelvoraDir, directories, extension,
        [&](unsigned walker, WalkedFolder &folder, std::string_view name) {
            FoundFiles &files = found[walker];
            if (folder.tag < 0) {
                folder.tag = files.folderPaths.size();
                files.folderPaths.append(std::string_view(folder.path.constData(), std::size_t(folder.path.size())));
            }
            files.names.append(name);
            files.folders.push_back(quint32(folder.tag));
        },
        progress);

    FoundFiles files = std::move(found[0]);
    for (std::size_t i = 1; i < found.size(); ++i) {
        files.append(found[i]);
        found[i] = FoundFiles();
    }
    files.walk = report;
    return files;
}

FoundFiles cacheFilenamesFromDirsWithFileExtensions(const QString &zelvoraDir, const QStringList &directories,
                                                    const QString &extension, Progress *progress)
{
    return sortFoundFiles(gatherFilesWithExtension(zelvoraDir, directories, extension, progress));
}

FoundFiles cacheZelvoraRomDirs(const QString &zelvoraDir, Progress *progress)
{
    return cacheFilenamesFromDirsWithFileExtensions(zelvoraDir, romDirectoryNames(), kRomExtension.toString(),
                                                    progress);
}

FoundFiles cacheZelvoraVideoDirs(const QString &zelvoraDir, Progress *progress)
{
    return cacheFilenamesFromDirsWithFileExtensions(zelvoraDir, videoDirectoryNames(), kVideoExtension.toString(),
                                                    progress);
}

std::optional<QString> findFileBelow(const QString &directory, const QString &fileName)
{
    const QByteArray wanted = QFile::encodeName(fileName);
    if (wanted.isEmpty() || wanted.contains('/'))
        return std::nullopt;
    const std::optional<QByteArray> found =
        findFirstInPathOrder(directory, [&](const QByteArray &folder, std::string_view name) {
            if (name != std::string_view(wanted.constData(), std::size_t(wanted.size())))
                return false;
            // Callers get the path as text; below a folder whose name is not valid UTF-8 the text would
            // name nothing, so such a match is passed over and the search goes on.
            const QByteArray relative = folder.isEmpty() ? wanted : folder + '/' + wanted;
            return QFile::encodeName(QFile::decodeName(relative)) == relative;
        });
    if (!found)
        return std::nullopt;
    const QString relative = QFile::decodeName(*found);
    if (directory.isEmpty())
        return relative;
    return directory.endsWith(u'/') ? directory + relative : directory + u'/' + relative;
}

} // namespace zelvora
