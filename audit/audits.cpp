#include "audit/audits.h"

#include "audit/names/filenames.h"
#include "audit/names/namesort.h"
#include "audit/names/romslist.h"
#include "audit/names/textunits.h"
#include "audit/nearmiss/nearmissfold.h"
#include "audit/walk/scan.h"

#include <cstdint>
#include <cstring>
#include <future>
#include <sys/stat.h>
#include <system_error>

namespace zelvora {

namespace {

std::string_view bytesOf(const QByteArray &bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

// Starts `work` on a thread of its own, or, when no thread can be had, runs it on the calling thread
// when its result is asked for. The work is copied, so a failed start leaves it whole.
template <typename Work> auto inBackground(const Work &work) -> std::future<decltype(work())>
{
    try {
        return std::async(std::launch::async, work);
    } catch (const std::system_error &) {
        return std::async(std::launch::deferred, work);
    }
}

// With a name ICU must fold, the near-miss pass's folding is made ready beside the walk. Most names are
// ASCII: the block, whose names lie one after another, is searched eight bytes a step for a byte
// beyond ASCII, and only the names that hold one are looked at (a look at every name took a millisecond
// and a half of the walk's cores).
void prepareFoldingFor(const NameBlock &names)
{
    if (names.isEmpty())
        return;
    const std::string_view last = names.at(names.size() - 1);
    const char *at = names.at(0).data();
    const char *const end = last.data() + last.size();
    qsizetype i = 0;
    while (true) {
        for (std::uint64_t bytes = 0; end - at >= 8; at += 8) {
            std::memcpy(&bytes, at, 8);
            if ((bytes & 0x8080808080808080ULL) != 0)
                break;
        }
        while (at < end && static_cast<unsigned char>(*at) < 0x80)
            ++at;
        if (at == end)
            return;
        while (names.at(i).data() + names.at(i).size() <= at)
            ++i;
        if (!nearmiss::foldsWithoutIcu(names.at(i))) {
            nearmiss::prepareFolding();
            return;
        }
        at = names.at(i).data() + names.at(i).size();
    }
}

NameBlock withExtension(const NameBlock &names, QStringView extension)
{
    NameBlock renamed = names;
    renamed.setExtension(bytesOf(extension.toUtf8()));
    return renamed;
}

// The list's lines from one read of the file, and its names sorted with each audit's extension, sorted
// only now: a new extension can move a name past its neighbours ("game 2" sorts after "game", "game
// 2.zip" before "game.zip"). Read beside the walk.
struct SupportedNames
{
    std::optional<NameBlock> lines;
    std::optional<NameBlock> roms;
    std::optional<NameBlock> videos;
    RomsListFault fault = RomsListFault::Missing; // when there are none
};

// With `nearMisses`, a list that holds a name ICU must fold also has the folding of the near-miss pass
// made ready here, beside the walk.
std::future<SupportedNames> readSupportedNames(const QString &path, bool roms, bool videos, bool nearMisses)
{
    return inBackground([path, roms, videos, nearMisses] {
        SupportedNames supported;
        supported.lines = readRomsListBlock(path, {}, &supported.fault);
        if (!supported.lines)
            return supported;
        if (nearMisses)
            prepareFoldingFor(*supported.lines);
        if (roms)
            supported.roms = sortNameBlock(withExtension(*supported.lines, kRomExtension));
        if (videos)
            supported.videos = sortNameBlock(withExtension(*supported.lines, kVideoExtension));
        return supported;
    });
}

} // namespace

std::optional<QString> zelvoraDirWarning(const QString &zelvoraDir)
{
    const QByteArray path = encodeFileName(zelvoraDir);
    struct stat st = {};
    if (::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return std::nullopt;
    const bool exists = ::lstat(path.constData(), &st) == 0;
    return QStringLiteral("Warning: the Zelvora directory \"%1\" %2; no files are found in it.")
        .arg(zelvoraDir, exists ? QStringLiteral("is not a directory") : QStringLiteral("does not exist"));
}

std::optional<RomAudit> runRomAudit(const AuditInputs &inputs, Progress &progress, RomsListFault *listFault)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, true, false, inputs.otherFormats);
    progress.phase(kPhaseCachingRomDirs.toString());
    FoundFiles otherFormats;
    FoundFiles found = cacheZelvoraRomDirs(inputs.zelvoraDir, &progress, inputs.otherFormats ? &otherFormats : nullptr);

    progress.phase(kPhaseCachingRomsList.toString());
    SupportedNames supported = supportedNames.get();
    if (!supported.lines) {
        if (listFault)
            *listFault = supported.fault;
        return std::nullopt;
    }

    progress.phase(kPhaseAuditingRoms.toString());
    std::optional<RomAudit> audit(RomAudit{
        std::move(found), std::move(*supported.roms), {}, std::move(otherFormats), std::move(*supported.lines)});
    audit->lists = mergeRoms(audit->found.names, audit->supported);
    return audit;
}

std::optional<VideoAudit> runVideoAudit(const AuditInputs &inputs, Progress &progress, RomsListFault *listFault)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, false, true, inputs.otherFormats);
    // With the check box on, a video is expected for each archive found, under the archive's name.
    std::future<FoundFiles> archiveNames;
    if (inputs.availableRomsOnly) {
        archiveNames = inBackground([dir = inputs.zelvoraDir] {
            FoundFiles archives = gatherFilesWithExtension(dir, romDirectoryNames(), kRomExtension.toString());
            archives.names.setExtension(bytesOf(kVideoExtension.toUtf8()));
            archives.names = sortNameBlock(archives.names);
            return archives;
        });
    }
    progress.phase(kPhaseCachingVideoDirs.toString());
    FoundFiles otherFormats;
    FoundFiles videos =
        cacheZelvoraVideoDirs(inputs.zelvoraDir, &progress, inputs.otherFormats ? &otherFormats : nullptr);

    progress.phase(kPhaseCachingRomsList.toString());
    SupportedNames names = supportedNames.get();
    if (!names.lines && listFault)
        *listFault = names.fault;
    std::optional<NameBlock> &supported = names.videos;

    std::optional<VideoAudit> audit;
    if (inputs.availableRomsOnly) {
        progress.phase(kPhaseCachingAvailableRoms.toString());
        FoundFiles archives = archiveNames.get();
        const bool usedRomsList = supported.has_value();
        audit.emplace(VideoAudit{std::move(videos),
                                 std::move(archives.names),
                                 std::move(supported),
                                 {},
                                 usedRomsList,
                                 std::move(archives.walk),
                                 {},
                                 {}});
    } else if (supported) {
        audit.emplace(VideoAudit{std::move(videos), std::move(*supported), std::nullopt, {}, true, {}, {}, {}});
    } else {
        return std::nullopt;
    }
    progress.phase(kPhaseAuditingVideos.toString());
    audit->otherFormats = std::move(otherFormats);
    audit->listLines = std::move(names.lines);
    audit->walk.append(audit->videos.walk);
    audit->lists = mergeVideos(audit->videos.names, audit->expected, audit->lookup ? &*audit->lookup : nullptr);
    return audit;
}

CollectionAudit runCollectionAudit(const AuditInputs &inputs, Progress &progress, RomsListFault *listFault)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, true, true, inputs.otherFormats);
    // One walk finds both kinds; it is shown as the first of the two folder phases.
    progress.phase(kPhaseCachingRomDirs.toString());
    FoundFiles roms;
    FoundFiles videos;
    FoundFiles romOthers;
    FoundFiles videoOthers;
    {
        const CollectionFiles files = gatherCollectionFiles(inputs.zelvoraDir, &progress, inputs.otherFormats);
        roms = sortFoundFiles(files.roms);
        videos = sortFoundFiles(files.videos);
        if (inputs.otherFormats) {
            romOthers = sortFoundFiles(files.romOtherFormats);
            videoOthers = sortFoundFiles(files.videoOtherFormats);
        }
    }

    progress.phase(kPhaseCachingRomsList.toString());
    SupportedNames names = supportedNames.get();
    if (!names.roms && listFault)
        *listFault = names.fault;

    // With the check box on, a video is expected for each archive found, under the archive's name.
    std::optional<NameBlock> archives;
    if (inputs.availableRomsOnly) {
        progress.phase(kPhaseCachingAvailableRoms.toString());
        archives = sortNameBlock(withExtension(roms.names, kVideoExtension));
    }

    CollectionAudit audit;
    const WalkReport romWalk = roms.walk;
    if (names.roms) {
        progress.phase(kPhaseAuditingRoms.toString());
        audit.roms.emplace(RomAudit{std::move(roms), std::move(*names.roms), {}, std::move(romOthers), *names.lines});
        audit.roms->lists = mergeRoms(audit.roms->found.names, audit.roms->supported);
    }

    std::optional<VideoAudit> &video = audit.videos;
    if (archives) {
        const bool usedRomsList = names.videos.has_value();
        video.emplace(VideoAudit{
            std::move(videos), std::move(*archives), std::move(names.videos), {}, usedRomsList, romWalk, {}, {}});
    } else if (names.videos) {
        video.emplace(VideoAudit{std::move(videos), std::move(*names.videos), std::nullopt, {}, true, {}, {}, {}});
    } else {
        return audit;
    }
    progress.phase(kPhaseAuditingVideos.toString());
    video->otherFormats = std::move(videoOthers);
    video->listLines = std::move(names.lines);
    video->walk.append(video->videos.walk);
    video->lists = mergeVideos(video->videos.names, video->expected, video->lookup ? &*video->lookup : nullptr);
    return audit;
}

} // namespace zelvora
