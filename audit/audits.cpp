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

// The names of the files found, unsorted.
QStringList findNames(const QString &zelvoraDir, const QStringList &directories, QStringView extension,
                      Progress *progress)
{
    QStringList names;
    walkFilesWithExtension(
        zelvoraDir, directories, extension.toString(),
        [&](const QString &, const QString &name) { names.append(name); }, progress);
    return names;
}

} // namespace

std::optional<RomResults> runRomAudit(const AuditInputs &inputs, Progress &progress)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, kRomExtension);
    progress.phase(kPhaseCachingRomDirs.toString());
    QStringList found = cacheZelvoraRomDirs(inputs.zelvoraDir, &progress);

    progress.phase(kPhaseCachingRomsList.toString());
    std::optional<SortedNames> supported = supportedNames.get();
    if (!supported)
        return std::nullopt;

    progress.phase(kPhaseAuditingRoms.toString());
    return mergeRoms(std::move(found), std::move(supported->names), NameComparison(supported->separators));
}

std::optional<VideoAudit> runVideoAudit(const AuditInputs &inputs, Progress &progress)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, kVideoExtension);
    std::future<SortedNames> availableNames;
    if (inputs.availableRomsOnly) {
        availableNames = inBackground([dir = inputs.zelvoraDir] {
            return renameAndSort(findNames(dir, romDirectoryNames(), kRomExtension, nullptr), kVideoExtension);
        });
    }
    progress.phase(kPhaseCachingVideoDirs.toString());
    QStringList videos = cacheZelvoraVideoDirs(inputs.zelvoraDir, &progress);

    progress.phase(kPhaseCachingRomsList.toString());
    std::optional<SortedNames> supported = supportedNames.get();

    VideoAudit audit;
    SortedNames expected;
    const SortedNames *lookup = nullptr;
    if (inputs.availableRomsOnly) {
        progress.phase(kPhaseCachingAvailableRoms.toString());
        expected = availableNames.get();
        lookup = supported ? &*supported : nullptr;
        audit.usedRomsList = supported.has_value();
    } else {
        if (!supported)
            return std::nullopt;
        expected = std::move(*supported);
    }

    progress.phase(kPhaseAuditingVideos.toString());
    const bool separators = expected.separators || (lookup && lookup->separators);
    audit.lists = mergeVideos(std::move(videos), std::move(expected.names), lookup ? &lookup->names : nullptr,
                              NameComparison(separators));
    return audit;
}

} // namespace zelvora
