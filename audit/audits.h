#pragma once

#include "merge.h"
#include "progress.h"

#include <QString>
#include <QStringView>
#include <optional>

namespace zelvora {

// The phase texts an audit reports, in order.
inline constexpr QStringView kPhaseCachingRomDirs = u"Caching Zelvora rom directories...";
inline constexpr QStringView kPhaseCachingVideoDirs = u"Caching Zelvora video directories...";
inline constexpr QStringView kPhaseCachingRomsList = u"Caching supported rom list...";
inline constexpr QStringView kPhaseCachingAvailableRoms = u"Caching available rom list...";
inline constexpr QStringView kPhaseAuditingRoms = u"Auditing roms...";
inline constexpr QStringView kPhaseAuditingVideos = u"Auditing videos...";

// What an audit runs on, taken once when it starts.
struct AuditInputs
{
    QString zelvoraDir;
    QString romsListPath;
    bool availableRomsOnly = false; // videos only
};

// The whole rom audit: scan, read the list, give it the extension "zip", merge. Empty when the
// supported roms list cannot be used (the caller shows its error).
std::optional<RomResults> runRomAudit(const AuditInputs &inputs, Progress &progress);

struct VideoAudit
{
    VideoResults lists;
    // False when the check box was on and the supported roms list could not be used: the run then
    // had no look-up names, so nothing is "extra" and every unexpected video is unknown.
    bool usedRomsList = true;
};

// The whole video audit. Empty when the expected names cannot be built (check box off and the
// supported roms list unusable).
std::optional<VideoAudit> runVideoAudit(const AuditInputs &inputs, Progress &progress);

// The same audits with their lists as views of the names they read, which they keep: for a caller
// that only writes the names out and needs no text of them. Moving one keeps its views valid.
struct RomAuditViews
{
    NameBlock found;
    NameBlock supported;
    RomNameViews lists;
};

struct VideoAuditViews
{
    NameBlock videos;
    NameBlock expected;
    std::optional<NameBlock> lookup;
    VideoNameViews lists;
    bool usedRomsList = true;
};

std::optional<RomAuditViews> runRomAuditViews(const AuditInputs &inputs, Progress &progress);
std::optional<VideoAuditViews> runVideoAuditViews(const AuditInputs &inputs, Progress &progress);

} // namespace zelvora
