#include "audit/audits.h"

#include "audit/filenames.h"
#include "audit/namesort.h"
#include "audit/nearmissfold.h"
#include "audit/romslist.h"
#include "audit/scan.h"
#include "audit/textunits.h"

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

// The supported names with the given extension, sorted only now: a new extension can move a name past
// its neighbours ("game 2" sorts after "game", "game 2.zip" before "game.zip"). Read beside the walk.
struct SupportedNames
{
    std::optional<NameBlock> names;
    RomsListFault fault = RomsListFault::Missing; // when there are none
};

// With `nearMisses`, a list that holds a name ICU must fold also has the folding of the near-miss pass
// made ready here, beside the walk.
std::future<SupportedNames> readSupportedNames(const QString &path, QStringView extension, bool nearMisses)
{
    return inBackground([path, extension = extension.toUtf8(), nearMisses] {
        SupportedNames supported;
        const std::optional<NameBlock> names = readRomsListBlock(path, bytesOf(extension), &supported.fault);
        if (names)
            supported.names = sortNameBlock(*names);
        if (names && nearMisses) {
            for (qsizetype i = 0; i < names->size(); ++i) {
                if (!nearmiss::foldsWithoutIcu(names->at(i))) {
                    nearmiss::prepareFolding();
                    break;
                }
            }
        }
        return supported;
    });
}

std::optional<NameBlock> takeNames(SupportedNames supported, RomsListFault *listFault)
{
    if (!supported.names && listFault)
        *listFault = supported.fault;
    return std::move(supported.names);
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
    auto supportedNames = readSupportedNames(inputs.romsListPath, kRomExtension, inputs.otherFormats);
    progress.phase(kPhaseCachingRomDirs.toString());
    FoundFiles otherFormats;
    FoundFiles found = cacheZelvoraRomDirs(inputs.zelvoraDir, &progress, inputs.otherFormats ? &otherFormats : nullptr);

    progress.phase(kPhaseCachingRomsList.toString());
    std::optional<NameBlock> supported = takeNames(supportedNames.get(), listFault);
    if (!supported)
        return std::nullopt;

    progress.phase(kPhaseAuditingRoms.toString());
    std::optional<RomAudit> audit(RomAudit{std::move(found), std::move(*supported), {}, std::move(otherFormats)});
    audit->lists = mergeRoms(audit->found.names, audit->supported);
    return audit;
}

std::optional<VideoAudit> runVideoAudit(const AuditInputs &inputs, Progress &progress, RomsListFault *listFault)
{
    auto supportedNames = readSupportedNames(inputs.romsListPath, kVideoExtension, inputs.otherFormats);
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
    std::optional<NameBlock> supported = takeNames(supportedNames.get(), listFault);

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
                                 {}});
    } else if (supported) {
        audit.emplace(VideoAudit{std::move(videos), std::move(*supported), std::nullopt, {}, true, {}, {}});
    } else {
        return std::nullopt;
    }
    progress.phase(kPhaseAuditingVideos.toString());
    audit->otherFormats = std::move(otherFormats);
    audit->walk.append(audit->videos.walk);
    audit->lists = mergeVideos(audit->videos.names, audit->expected, audit->lookup ? &*audit->lookup : nullptr);
    return audit;
}

} // namespace zelvora
