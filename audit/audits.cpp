#include "audit/audits.h"

#include "audit/names.h"
#include "audit/romslist.h"
#include "audit/scan.h"

#include <future>
#include <system_error>

namespace zelvora {

namespace {

// The names as archive or video names, sorted only now: a new extension can move a name past its
// neighbours ("game 2" sorts after "game", "game 2.zip" before "game.zip").
void renameAndSort(QStringList &names, QStringView extension)
{
    setExtensionOfFilenames(extension.toString(), names);
    sortNames(names);
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
std::future<std::optional<QStringList>> readSupportedNames(const QString &path, QStringView extension)
{
    return inBackground([path, extension] {
        std::optional<QStringList> names = readRomsListEntries(path);
        if (names)
            renameAndSort(*names, extension);
        return names;
    });
}

} // namespace

std::optional<RomResults> runRomAudit(const AuditInputs &inputs, Progress &progress)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, kRomExtension);
    progress.phase(kPhaseCachingRomDirs.toString());
    const QStringList found = cacheZelvoraRomDirs(inputs.zelvoraDir, &progress);

    progress.phase(kPhaseCachingRomsList.toString());
    const std::optional<QStringList> supported = supportedNames.get();
    if (!supported)
        return std::nullopt;

    progress.phase(kPhaseAuditingRoms.toString());
    return mergeRoms(found, *supported);
}

std::optional<VideoAudit> runVideoAudit(const AuditInputs &inputs, Progress &progress)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, kVideoExtension);
    std::future<QStringList> availableNames;
    if (inputs.availableRomsOnly) {
        availableNames = inBackground([dir = inputs.zelvoraDir] {
            QStringList names;
            walkFilesWithExtension(dir, romDirectoryNames(), kRomExtension.toString(),
                                   [&](const QString &, const QString &name) { names.append(name); });
            renameAndSort(names, kVideoExtension);
            return names;
        });
    }
    progress.phase(kPhaseCachingVideoDirs.toString());
    const QStringList videos = cacheZelvoraVideoDirs(inputs.zelvoraDir, &progress);

    progress.phase(kPhaseCachingRomsList.toString());
    std::optional<QStringList> supported = supportedNames.get();

    VideoAudit audit;
    QStringList expected;
    const QStringList *lookup = nullptr;
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
    audit.lists = mergeVideos(videos, expected, lookup);
    return audit;
}

} // namespace zelvora
