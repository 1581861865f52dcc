#include "audit/audits.h"

#include "audit/names.h"
#include "audit/romslist.h"
#include "audit/scan.h"

namespace zelvora {

namespace {

// The supported names as archive or video names. Sorted again: a new extension can move a name past
// its neighbours ("game 2" sorts after "game", "game 2.zip" before "game.zip").
void renameAndSort(QStringList &names, QStringView extension)
{
    setExtensionOfFilenames(extension.toString(), names);
    sortNames(names);
}

} // namespace

std::optional<RomResults> runRomAudit(const AuditInputs &inputs, Progress &progress)
{
    progress.phase(kPhaseCachingRomDirs.toString());
    const QStringList found = cacheZelvoraRomDirs(inputs.zelvoraDir, &progress);

    progress.phase(kPhaseCachingRomsList.toString());
    std::optional<QStringList> supported = cacheRomsListFile(inputs.romsListPath);
    if (!supported)
        return std::nullopt;
    renameAndSort(*supported, kRomExtension);

    progress.phase(kPhaseAuditingRoms.toString());
    return mergeRoms(found, *supported);
}

std::optional<VideoAudit> runVideoAudit(const AuditInputs &inputs, Progress &progress)
{
    progress.phase(kPhaseCachingVideoDirs.toString());
    const QStringList videos = cacheZelvoraVideoDirs(inputs.zelvoraDir, &progress);

    progress.phase(kPhaseCachingRomsList.toString());
    std::optional<QStringList> supported = cacheRomsListFile(inputs.romsListPath);
    if (supported)
        renameAndSort(*supported, kVideoExtension);

    VideoAudit audit;
    QStringList expected;
    const QStringList *lookup = nullptr;
    if (inputs.availableRomsOnly) {
        progress.phase(kPhaseCachingAvailableRoms.toString());
        expected = cacheZelvoraRomDirs(inputs.zelvoraDir, &progress);
        renameAndSort(expected, kVideoExtension);
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
