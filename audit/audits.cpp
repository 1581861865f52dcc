#include "audit/audits.h"

#include "audit/names.h"
#include "audit/romslist.h"
#include "audit/scan.h"

#include <future>
#include <system_error>

namespace zelvora {

namespace {

// A sorted name list and whether a name of it holds a path separator (list lines may; file names never).
struct SortedNames
{
    QStringList names;
    bool separators = false;
};

// The names as archive or video names, sorted only now: a new extension can move a name past its
// neighbours ("game 2" sorts after "game", "game 2.zip" before "game.zip").
SortedNames renameAndSort(QStringList names, QStringView extension)
{
    setExtensionOfFilenames(extension.toString(), names);
    const bool separators = sortNames(names);
    return {std::move(names), separators};
}

// Starts `work` on a thread of its own, or runs it on the spot when no thread can be had.
template <typename Work> auto inBackground(Work work) -> std::future<decltype(work())>
{
    try {
        return std::async(std::launch::async, std::move(work));
    } catch (const std::system_error &) {
        return std::async(std::launch::deferred, std::move(work));
    }
}

// The supported names with the given extension; read beside the directory walk, which mostly waits
// on the file system.
std::future<std::optional<SortedNames>> readSupportedNames(const QString &path, QStringView extension)
{
    return inBackground([path, extension]() -> std::optional<SortedNames> {
        std::optional<QStringList> names = readRomsListEntries(path);
        if (!names)
            return std::nullopt;
        return renameAndSort(std::move(*names), extension);
    });
}

// The names of the files found, sorted; with `extension` they are first given that one.
NameBlock findSortedNames(const QString &zelvoraDir, const QStringList &directories, QStringView extension,
                          Progress *progress, std::string_view newExtension = {})
{
    NameBlock names = gatherFilesWithExtension(zelvoraDir, directories, extension.toString(), progress);
    if (!newExtension.empty())
        names.setExtension(newExtension);
    return sortNameBlock(names);
}

} // namespace

std::optional<RomResults> runRomAudit(const AuditInputs &inputs, Progress &progress)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, kRomExtension);
    progress.phase(kPhaseCachingRomDirs.toString());
    const NameBlock found = findSortedNames(inputs.zelvoraDir, romDirectoryNames(), kRomExtension, &progress);

    progress.phase(kPhaseCachingRomsList.toString());
    std::optional<SortedNames> supported = supportedNames.get();
    if (!supported)
        return std::nullopt;

    progress.phase(kPhaseAuditingRoms.toString());
    return mergeRoms(found, std::move(supported->names), NameComparison(supported->separators));
}

std::optional<VideoAudit> runVideoAudit(const AuditInputs &inputs, Progress &progress)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, kVideoExtension);
    std::future<NameBlock> availableNames;
    if (inputs.availableRomsOnly) {
        availableNames = inBackground([dir = inputs.zelvoraDir] {
            const QByteArray extension = kVideoExtension.toUtf8();
            return findSortedNames(dir, romDirectoryNames(), kRomExtension, nullptr,
                                   std::string_view(extension.constData(), std::size_t(extension.size())));
        });
    }
    progress.phase(kPhaseCachingVideoDirs.toString());
    const NameBlock videos = findSortedNames(inputs.zelvoraDir, videoDirectoryNames(), kVideoExtension, &progress);

    progress.phase(kPhaseCachingRomsList.toString());
    std::optional<SortedNames> supported = supportedNames.get();

    VideoAudit audit;
    if (inputs.availableRomsOnly) {
        progress.phase(kPhaseCachingAvailableRoms.toString());
        const NameBlock expected = availableNames.get();
        audit.usedRomsList = supported.has_value();
        progress.phase(kPhaseAuditingVideos.toString());
        audit.lists = mergeVideos(videos, expected, supported ? &supported->names : nullptr,
                                  NameComparison(supported && supported->separators));
        return audit;
    }
    if (!supported)
        return std::nullopt;
    progress.phase(kPhaseAuditingVideos.toString());
    audit.lists = mergeVideos(videos, std::move(supported->names), nullptr, NameComparison(supported->separators));
    return audit;
}

} // namespace zelvora
