#pragma once

// Checks: the map. Everything an audit should not trust is a Problem with a stable kind, found here from
// the audit's own walk and names (no second walk, no second read of the list). A new kind of check adds
// its kind to ProblemKind and problemKindId, finds its problems in romProblems/videoProblems (or a
// function they call), and is then shown by every printer, the window's problems table, the CSV and the
// collection table without further work.
//
// What an audit could not see or should not trust, beside its lists: folders it could not read, links
// it did not follow, second copies of a game, empty archives and videos, archives that are no zip
// files, and list lines that repeat a game or carry stray blanks. Kinds are stable identifiers.

#include "audit/audits.h"
#include "audit/checks/verdictcache.h"
#include "audit/walk/foundfiles.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <vector>

namespace zelvora {

enum class ProblemKind {
    UnreadableFolder,
    LinkSkipped,
    NotAFile,
    Duplicate,
    EmptyFile,
    NotAZip,
    DamagedZip,   // its structure (end record, central directory) does not hold
    DamagedEntry, // found by the deep verify: an entry's data does not match its directory
    ListDuplicate,
    ListWhitespace
};

// "unreadable-folder", "link-skipped", "not-a-file", "duplicate", "empty-file", "not-a-zip", "damaged-zip",
// "damaged-entry", "list-duplicate", "list-whitespace".
QStringView problemKindId(ProblemKind kind);

struct Problem
{
    ProblemKind kind{};
    // Below the Zelvora directory ("roms/a/game.zip"), as bytes; for the list kinds the list's path,
    // below the Zelvora directory too when the list lies there (it mostly does), else as given.
    QByteArray path;
    QString detail;
};

// For each found file (sorted), the index of the expected name (sorted) the audit's merge paired it
// with, or -1: exactly the pairing that makes a file valid.
std::vector<qsizetype> pairFoundWithExpected(const FoundFiles &found, const NameBlock &expected);

// The copy that counts for the file the merge paired at `paired`: itself, or among the files right after
// it of exactly its name (whose order the walk decides) the first in path order.
qsizetype countedCopy(const FoundFiles &found, qsizetype paired);

// The path of found file `i` below the Zelvora directory.
QByteArray foundPath(const FoundFiles &found, qsizetype i);

// Folders not read, links not followed, and special files (FIFOs, sockets, devices) named like a file.
std::vector<Problem> walkProblems(const WalkReport &walk);

// Second copies of a paired file, and (reading at most 4 bytes of each paired file, on all cores) empty
// files and, with `zipSignature`, files that do not start like a zip archive and zip archives whose end
// record or central directory does not hold (read from the file's end, never the entries' data).
// `identities`, when given, gets by found file the identity of each file looked at (for the verify).
std::vector<Problem> fileProblems(const QString &zelvoraDir, const FoundFiles &found,
                                  const std::vector<qsizetype> &pairing, bool zipSignature,
                                  std::vector<FileIdentity> *identities = nullptr);

// Games listed twice (`sorted`: the list's names with an extension, sorted) and `lines` of the list (as
// read, in file order) that start or end with spaces or tabs. `listPath` only names the list.
std::vector<Problem> listProblems(const QString &listPath, const NameBlock &sorted, const NameBlock &lines,
                                  const QString &zelvoraDir = {});

// Every problem of an audit, in kind order.
std::vector<Problem> romProblems(const AuditInputs &inputs, const RomAudit &audit,
                                 std::vector<FileIdentity> *identities = nullptr);
std::vector<Problem> videoProblems(const AuditInputs &inputs, const VideoAudit &audit);

// The problems as a CSV file (kind, path, detail; a header row), UTF-8, CR LF.
QByteArray problemsCsv(const std::vector<Problem> &problems);

// The file names `--save` writes them under, beside the report files.
inline constexpr QStringView kRomProblemsFileName = u"problems_roms.csv";
inline constexpr QStringView kVideoProblemsFileName = u"problems_videos.csv";

} // namespace zelvora
