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
        const QByteArray extensionBytes = extension.toUtf8();
        const std::optional<NameBlock> names =
            readRomsListBlock(path, std::string_view(extensionBytes.constData(), std::size_t(extensionBytes.size())));
        if (!names)
            return std::nullopt;
        // Sorted only now that the names have their extension: it can move a name past its neighbours.
        return sortNameBlock(*names);
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

// What the rom audit merges: both sorted.
struct RomNames
{
    NameBlock found;
    NameBlock supported;
};

std::optional<RomNames> romNames(const AuditInputs &inputs, Progress &progress)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, kRomExtension);
    progress.phase(kPhaseCachingRomDirs.toString());
    NameBlock found = findSortedNames(inputs.zelvoraDir, romDirectoryNames(), kRomExtension, &progress);

    progress.phase(kPhaseCachingRomsList.toString());
    std::optional<NameBlock> supported = supportedNames.get();
    if (!supported)
        return std::nullopt;

    progress.phase(kPhaseAuditingRoms.toString());
    return RomNames{std::move(found), std::move(*supported)};
}

// What the video audit merges, all sorted: with the check box on, the expected names are the archives
// found and the supported names are looked up, when the list could be read.
struct VideoNames
{
    NameBlock videos;
    NameBlock expected;
    std::optional<NameBlock> lookup;
    bool usedRomsList = true;
};

std::optional<VideoNames> videoNames(const AuditInputs &inputs, Progress &progress)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, kVideoExtension);
    std::future<NameBlock> availableNames;
    if (inputs.availableRomsOnly) {
        availableNames = inBackground([dir = inputs.zelvoraDir] {
            return findSortedNames(dir, romDirectoryNames(), kRomExtension, nullptr, kVideoExtension);
        });
    }
    progress.phase(kPhaseCachingVideoDirs.toString());
    NameBlock videos = findSortedNames(inputs.zelvoraDir, videoDirectoryNames(), kVideoExtension, &progress);

    progress.phase(kPhaseCachingRomsList.toString());
    std::optional<NameBlock> supported = supportedNames.get();

    if (inputs.availableRomsOnly) {
        progress.phase(kPhaseCachingAvailableRoms.toString());
        NameBlock expected = availableNames.get();
        const bool usedRomsList = supported.has_value();
        progress.phase(kPhaseAuditingVideos.toString());
        return VideoNames{std::move(videos), std::move(expected), std::move(supported), usedRomsList};
    }
    if (!supported)
        return std::nullopt;
    progress.phase(kPhaseAuditingVideos.toString());
    return VideoNames{std::move(videos), std::move(*supported), std::nullopt, true};
}

} // namespace

std::optional<RomResults> runRomAudit(const AuditInputs &inputs, Progress &progress)
{
    const std::optional<RomNames> names = romNames(inputs, progress);
    if (!names)
        return std::nullopt;
    return mergeRoms(names->found, names->supported);
}

std::optional<VideoAudit> runVideoAudit(const AuditInputs &inputs, Progress &progress)
{
    const std::optional<VideoNames> names = videoNames(inputs, progress);
    if (!names)
        return std::nullopt;
    VideoAudit audit;
    audit.lists = mergeVideos(names->videos, names->expected, names->lookup ? &*names->lookup : nullptr);
    audit.usedRomsList = names->usedRomsList;
    return audit;
}

std::optional<RomAuditViews> runRomAuditViews(const AuditInputs &inputs, Progress &progress)
{
    std::optional<RomNames> names = romNames(inputs, progress);
    if (!names)
        return std::nullopt;
    std::optional<RomAuditViews> audit(RomAuditViews{std::move(names->found), std::move(names->supported), {}});
    audit->lists = mergeRomViews(audit->found, audit->supported);
    return audit;
}

std::optional<VideoAuditViews> runVideoAuditViews(const AuditInputs &inputs, Progress &progress)
{
    std::optional<VideoNames> names = videoNames(inputs, progress);
    if (!names)
        return std::nullopt;
    std::optional<VideoAuditViews> audit(VideoAuditViews{
        std::move(names->videos), std::move(names->expected), std::move(names->lookup), {}, names->usedRomsList});
    audit->lists = mergeVideoViews(audit->videos, audit->expected, audit->lookup ? &*audit->lookup : nullptr);
    return audit;
}

} // namespace zelvora
