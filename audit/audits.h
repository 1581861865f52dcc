#pragma once

// The two audits, whole: walk, read the list, give it its extension, sort, merge. The window and the
// command line both run these.

#include "audit/names/merge.h"
#include "audit/names/romslist.h"
#include "audit/progress.h"
#include "audit/walk/foundfiles.h"

#include <QString>
#include <QStringView>
#include <optional>

namespace zelvora {

// The phase texts an audit reports, in order. runCollectionAudit reports its one walk under the first,
// then the list, the available roms (check box on), and the two audits.
inline constexpr QStringView kPhaseCachingRomDirs = u"Caching Zelvora rom directories...";
inline constexpr QStringView kPhaseCachingVideoDirs = u"Caching Zelvora video directories...";
inline constexpr QStringView kPhaseCachingRomsList = u"Caching supported rom list...";
inline constexpr QStringView kPhaseCachingAvailableRoms = u"Caching available rom list...";
inline constexpr QStringView kPhaseAuditingRoms = u"Auditing roms...";
inline constexpr QStringView kPhaseAuditingVideos = u"Auditing videos...";

enum class AuditKind { Roms, Videos, All };

// What an audit runs on, taken once when it starts.
struct AuditInputs
{
    QString zelvoraDir;
    QString romsListPath;
    bool availableRomsOnly = false; // videos only
    // The walk also gathers the same kind of file in other formats, for the near-miss pass.
    bool otherFormats = false;
};

// A rom audit's names and its lists, which are views of them. Moving it keeps the views valid.
struct RomAudit
{
    FoundFiles found;    // sorted
    NameBlock supported; // sorted, extension "zip"
    RomResults lists;
    FoundFiles otherFormats; // sorted; only when asked for (AuditInputs::otherFormats)
    // The list's lines as read, in file order: every later step (its problems, the table) uses these, so
    // that all of one run speaks of the same list even if the file changes meanwhile.
    NameBlock listLines;
};

struct VideoAudit
{
    FoundFiles videos;               // sorted
    NameBlock expected;              // sorted, extension "xmv"
    std::optional<NameBlock> lookup; // check box on: the supported names, extension "xmv"
    VideoResults lists;
    // False when the check box was on and the supported roms list could not be used: the run then
    // had no look-up names, so nothing is "extra" and every unexpected video is unknown.
    bool usedRomsList = true;
    // What the walks could not see: below the video folders, and below the rom folders when the
    // expected names came from the archives found.
    WalkReport walk;
    FoundFiles otherFormats;            // sorted; only when asked for (AuditInputs::otherFormats)
    std::optional<NameBlock> listLines; // as RomAudit's; empty when the list could not be used
};

// The warning for a Zelvora directory that is missing or not a directory ("Warning: the Zelvora
// directory ... does not exist; no files are found in it."), or empty. Not an error: the audit still
// runs, on empty lists, but the user most likely mistyped the path.
std::optional<QString> zelvoraDirWarning(const QString &zelvoraDir);

// The whole rom audit. Empty when the supported roms list cannot be used (the caller shows its error).
// `listFault`, if given, then says why the list was refused.
std::optional<RomAudit> runRomAudit(const AuditInputs &inputs, Progress &progress, RomsListFault *listFault = nullptr);

// The whole video audit. Empty when the expected names cannot be built (check box off and the
// supported roms list unusable); `listFault`, if given, says why the list was refused whenever it was.
std::optional<VideoAudit> runVideoAudit(const AuditInputs &inputs, Progress &progress,
                                        RomsListFault *listFault = nullptr);

// Both audits as `all` runs them: the supported roms list read once, the rom and the video folders
// walked once, the archives found also giving the expected videos when the check box is on. Each is
// what runRomAudit and runVideoAudit give on the same inputs, empty in the same cases.
struct CollectionAudit
{
    std::optional<RomAudit> roms;
    std::optional<VideoAudit> videos;
};
CollectionAudit runCollectionAudit(const AuditInputs &inputs, Progress &progress, RomsListFault *listFault = nullptr);

} // namespace zelvora
