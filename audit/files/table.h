#pragma once

// One table per collection: a row per supported game in list order with its rom archive and video,
// where they are and what is wrong with them, then a row per unknown archive and video. Written as CSV
// (RFC 4180, UTF-8 with a byte-order mark, CR LF) for spreadsheets.

#include "audit/audits.h"
#include "audit/checks/problems.h"
#include "audit/nearmiss/nearmiss.h"

#include <QByteArray>
#include <vector>

namespace zelvora {

struct TableSources
{
    const AuditInputs *inputs = nullptr;
    const RomAudit *roms = nullptr;
    const VideoAudit *videos = nullptr;
    const std::vector<Problem> *romProblems = nullptr;   // romProblems() of the rom audit
    const std::vector<Problem> *videoProblems = nullptr; // videoProblems() of the video audit
    // The near misses of each audit, for the possible_match column; without them it stays empty.
    const NearMisses *romNearMisses = nullptr;
    const NearMisses *videoNearMisses = nullptr;
};

// The columns: game, rom, rom_status, rom_paths, video, video_status, video_paths, possible_match,
// problems. A game's possible match is the found file paired with its rom or video name, with the
// reason ("roms/Game_Name.zip (case-and-separators)"), " | " between the two. A game's status is "valid" when a file of
// its name was found, else "missing"; its paths are every such file below the Zelvora directory, the copy that counts
// first, " | " between them; its problems are the kinds found for those files, for links of the same name, and for its
// list line. The unknown rows have an empty game and the status "unknown"; second copies of a game are in the game's
// row, not there.
QByteArray collectionTableCsv(const TableSources &sources);

} // namespace zelvora
