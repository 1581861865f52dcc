#include "audit/audits.h"

#include "audit/names.h"
#include "audit/romslist.h"
#include "audit/scan.h"

#include <future>
#include <system_error>

namespace zelvora {

namespace {

// The names given `extension`, sorted only now: a new extension can move a name past its neighbours
// ("game 2" sorts after "game", "game 2.zip" before "game.zip").
NameBlock renameAndSort(NameBlock names, QStringView extension)
{
    const QByteArray bytes = extension.toUtf8();
    names.setExtension(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    return sortNameBlock(names);
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

// The supported names with the given extension; read beside the directory walk.
std::future<std::optional<NameBlock>> readSupportedNames(const QString &path, QStringView extension)
{
    return inBackground([path, extension]() -> std::optional<NameBlock> {
        std::optional<NameBlock> names = readRomsListBlock(path);
        if (!names)
            return std::nullopt;
        return renameAndSort(std::move(*names), extension);
    });
}

// The names of the files found, sorted; with `newExtension` they are first given that one.
NameBlock findSortedNames(const QString &zelvoraDir, const QStringList &directories, QStringView extension,
                          Progress *progress, std::optional<QStringView> newExtension = {})
{
    NameBlock names = gatherFilesWithExtension(zelvoraDir, directories, extension.toString(), progress);
    if (newExtension)
        return renameAndSort(std::move(names), *newExtension);
    return sortNameBlock(names);
}

} // namespace

std::optional<RomResults> runRomAudit(const AuditInputs &inputs, Progress &progress)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, kRomExtension);
    progress.phase(kPhaseCachingRomDirs.toString());
    const NameBlock found = findSortedNames(inputs.zelvoraDir, romDirectoryNames(), kRomExtension, &progress);

    progress.phase(kPhaseCachingRomsList.toString());
    const std::optional<NameBlock> supported = supportedNames.get();
    if (!supported)
        return std::nullopt;

    progress.phase(kPhaseAuditingRoms.toString());
    return mergeRoms(found, *supported);
}

std::optional<VideoAudit> runVideoAudit(const AuditInputs &inputs, Progress &progress)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, kVideoExtension);
    std::future<NameBlock> availableNames;
    if (inputs.availableRomsOnly) {
        availableNames = inBackground([dir = inputs.zelvoraDir] {
            return findSortedNames(dir, romDirectoryNames(), kRomExtension, nullptr, kVideoExtension);
        });
    }
    progress.phase(kPhaseCachingVideoDirs.toString());
    const NameBlock videos = findSortedNames(inputs.zelvoraDir, videoDirectoryNames(), kVideoExtension, &progress);

    progress.phase(kPhaseCachingRomsList.toString());
    const std::optional<NameBlock> supported = supportedNames.get();

    VideoAudit audit;
    if (inputs.availableRomsOnly) {
        progress.phase(kPhaseCachingAvailableRoms.toString());
        const NameBlock expected = availableNames.get();
        audit.usedRomsList = supported.has_value();
        progress.phase(kPhaseAuditingVideos.toString());
        audit.lists = mergeVideos(videos, expected, supported ? &*supported : nullptr);
        return audit;
    }
    if (!supported)
        return std::nullopt;
    progress.phase(kPhaseAuditingVideos.toString());
    audit.lists = mergeVideos(videos, *supported, nullptr);
    return audit;
}

} // namespace zelvora
