#pragma once

// Near misses and renames: the map. nearmiss.h (here) pairs missing names with the files that are almost
// them, by the folded keys of nearmissfold.h; nearmissrenames.h turns chosen pairs into rename requests;
// saferename.h renames them within their folders, never replacing a file (the no-replace rename seam of
// platform/fs), and journals each rename so that undoRenames can put it back.
//
// The near-miss pass: after an audit, pairs each missing name with the one file on disk that is almost
// that name, and says why (NearMissReason). Files are the audit's unknown files and the files of the
// same kind in another format that its walk gathered. Variants of one game are never paired; a file or
// a name with two equal fits is listed apart as ambiguous. The audit's own lists are not touched.
// nearmiss.cpp holds the pass; nearmissfold.{h,cpp} the name folding it indexes by.

#include "audit/audits.h"
#include "audit/names/merge.h"
#include "audit/walk/foundfiles.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <string_view>
#include <vector>

namespace zelvora {

// From the smallest change to the largest: a file that fits two names at the same reason fits them
// equally.
enum class NearMissReason {
    CaseAndSeparators,
    ForbiddenCharacters,
    Accents,
    RomanNumerals,
    Article,
    DownloadCopy,
    DoubleExtension,
    DottedName,
    OtherFormat,
    Typo,
};

// The stable identifier of a reason ("case-and-separators", ...), as output and reports use it.
QStringView nearMissReasonId(NearMissReason reason);

// A file on disk that may be a missing name. Views of the audit's blocks, which must outlive it.
struct NearMissCandidate
{
    std::string_view found;  // the file's name on disk, extension included
    std::string_view folder; // its folder below the Zelvora directory, "/"-separated ("roms/a")
    NearMissReason reason;
};

// A missing name and the file it is paired with: renaming `found` in `folder` to `expected` completes it
// (except for OtherFormat, which no rename can mend).
struct NearMiss
{
    std::string_view expected; // the expected file name, extension included ("Game.zip")
    NearMissCandidate file;
};

// A missing name that more than one file fits equally, or whose file fits another name equally.
struct AmbiguousNearMiss
{
    std::string_view expected;
    std::vector<NearMissCandidate> candidates; // sorted by folder, then name
};

struct NearMisses
{
    std::vector<NearMiss> pairs;              // in the order of the missing names
    std::vector<AmbiguousNearMiss> ambiguous; // the same order
};

// The report files of the pairs (RFC 4180, UTF-8, CR LF, a header row): expected, found, path, reason.
inline constexpr QStringView kRomNearMissesFileName = u"near_misses_roms.csv";
inline constexpr QStringView kVideoNearMissesFileName = u"near_misses_videos.csv";
QByteArray nearMissCsv(const NearMisses &nearMisses);

// A pair's found file below the Zelvora directory, "/"-separated ("roms/a/Game.7z"), as text.
QString nearMissPath(const NearMissCandidate &candidate);
// The same path as bytes, exactly as on disk.
QByteArray nearMissPathBytes(const NearMissCandidate &candidate);

// The pass over names: `listed` holds every name of the list, `missing` the expected names among them
// (with `extension`), `found` the files of the audit's format (sorted as the merge read them) and `unknown`
// the views of those that are unknown, in merge order; `otherFormats` the files of the same kind in
// other formats.
NearMisses findNearMisses(const NameBlock &listed, const NameList &missing, const FoundFiles &found,
                          const NameList &unknown, const FoundFiles &otherFormats, std::string_view extension);

// The pass over a finished audit run with AuditInputs::otherFormats set (else without other formats).
NearMisses findRomNearMisses(const RomAudit &audit);
NearMisses findVideoNearMisses(const VideoAudit &audit);

} // namespace zelvora
