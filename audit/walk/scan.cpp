#include "audit/walk/scan.h"

#include "audit/names/namesort.h"
#include "audit/walk/dirwalk.h"

#include <QFile>
#include <optional>
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

QStringList romOtherFormatExtensions()
{
    return u"7z,rar"_s.split(u',');
}

QStringList videoOtherFormatExtensions()
{
    return u"mp4,avi,mkv,flv,webm,mov,wmv"_s.split(u',');
}

namespace {

// Each walker fills files of its own; a folder enters a walker's table with its first file.
class PerWalker
{
public:
    PerWalker() : m_found(walkerCount())
    {
        for (FoundFiles &files : m_found)
            files.names.reserve(16'384,
                                std::size_t{512} * 1024); // past the first steps of growing, which copy for nothing
    }

    // A folder's tag is its index in the folder table of the walker that met it first.
    void add(unsigned walker, qint64 &tag, const WalkedFolder &folder, std::string_view name)
    {
        FoundFiles &files = m_found[walker];
        if (tag < 0) {
            tag = files.folderPaths.size();
            files.folderPaths.append(std::string_view(folder.path.constData(), std::size_t(folder.path.size())));
        }
        files.names.append(name);
        files.folders.push_back(quint32(tag));
    }

    FoundFiles take(const WalkReport &report)
    {
        FoundFiles files = std::move(m_found[0]);
        for (std::size_t i = 1; i < m_found.size(); ++i) {
            files.append(m_found[i]);
            m_found[i] = FoundFiles();
        }
        files.walk = report;
        return files;
    }

private:
    std::vector<FoundFiles> m_found;
};

} // namespace

FoundFiles gatherFilesWithExtension(const QString &zelvoraDir, const QStringList &directories, const QString &extension,
                                    Progress *progress, const QStringList &otherExtensions, FoundFiles *otherFormats)
{
    PerWalker found;
    std::optional<PerWalker> others;
    OtherFormats otherRequest;
    if (otherFormats) {
        others.emplace();
        otherRequest.extensions = otherExtensions;
        otherRequest.visit = [&](unsigned walker, WalkedFolder &folder, std::string_view name) {
            others->add(walker, folder.otherTag, folder, name);
        };
    }
    const WalkReport report = walkInParallel(
        zelvoraDir, directories, extension,
        [&](unsigned walker, WalkedFolder &folder, std::string_view name) {
            found.add(walker, folder.tag, folder, name);
        },
        progress, otherFormats ? &otherRequest : nullptr);
    if (otherFormats)
        *otherFormats = others->take({});
    return found.take(report);
}

CollectionFiles gatherCollectionFiles(const QString &zelvoraDir, Progress *progress, bool otherFormats)
{
    PerWalker roms;
    PerWalker videos;
    std::optional<PerWalker> romOthers;
    std::optional<PerWalker> videoOthers;
    OtherFormats romOtherRequest;
    OtherFormats videoOtherRequest;
    if (otherFormats) {
        romOthers.emplace();
        videoOthers.emplace();
        romOtherRequest = {romOtherFormatExtensions(),
                           [&](unsigned walker, WalkedFolder &folder, std::string_view name) {
                               romOthers->add(walker, folder.otherTag, folder, name);
                           }};
        videoOtherRequest = {videoOtherFormatExtensions(),
                             [&](unsigned walker, WalkedFolder &folder, std::string_view name) {
                                 videoOthers->add(walker, folder.otherTag, folder, name);
                             }};
    }
    const std::vector<WalkReport> reports =
        walkInParallel(zelvoraDir,
                       {WalkTarget{romDirectoryNames(), kRomExtension.toString(),
                                   [&](unsigned walker, WalkedFolder &folder, std::string_view name) {
                                       roms.add(walker, folder.tag, folder, name);
                                   },
                                   otherFormats ? &romOtherRequest : nullptr},
                        WalkTarget{videoDirectoryNames(), kVideoExtension.toString(),
                                   [&](unsigned walker, WalkedFolder &folder, std::string_view name) {
                                       videos.add(walker, folder.tag, folder, name);
                                   },
                                   otherFormats ? &videoOtherRequest : nullptr}},
                       progress);
    CollectionFiles files{roms.take(reports[0]), videos.take(reports[1]), {}, {}};
    if (otherFormats) {
        files.romOtherFormats = romOthers->take({});
        files.videoOtherFormats = videoOthers->take({});
    }
    return files;
}

FoundFiles cacheFilenamesFromDirsWithFileExtensions(const QString &zelvoraDir, const QStringList &directories,
                                                    const QString &extension, Progress *progress)
{
    return sortFoundFiles(gatherFilesWithExtension(zelvoraDir, directories, extension, progress));
}

static FoundFiles cacheWithOtherFormats(const QString &zelvoraDir, const QStringList &directories,
                                        QStringView extension, const QStringList &otherExtensions, Progress *progress,
                                        FoundFiles *otherFormats)
{
    FoundFiles found = gatherFilesWithExtension(zelvoraDir, directories, extension.toString(), progress,
                                                otherExtensions, otherFormats);
    if (otherFormats)
        *otherFormats = sortFoundFiles(*otherFormats);
    return sortFoundFiles(found);
}

FoundFiles cacheZelvoraRomDirs(const QString &zelvoraDir, Progress *progress, FoundFiles *otherFormats)
{
    return cacheWithOtherFormats(zelvoraDir, romDirectoryNames(), kRomExtension, romOtherFormatExtensions(), progress,
                                 otherFormats);
}

FoundFiles cacheZelvoraVideoDirs(const QString &zelvoraDir, Progress *progress, FoundFiles *otherFormats)
{
    return cacheWithOtherFormats(zelvoraDir, videoDirectoryNames(), kVideoExtension, videoOtherFormatExtensions(),
                                 progress, otherFormats);
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
