#pragma once

// Renames that can be taken back: renameSafely renames files within their own folder of a Zelvora
// directory, never replacing a file, and writes each rename to an undo journal (synced to disk before
// the rename happens); undoRenames puts back what a journal recorded. The journal's folder, and the
// most recent journal, for the window's "undo last renames".
//
// The journal is UTF-8 text, one line each:
//   zelvora-auditor rename journal 1
//   directory <Zelvora directory>
//   rename <folder> <old name> <new name> <device>:<inode>     written and synced before the rename
//   renamed | failed <reason>                 the outcome of the rename above it
// Fields are separated by one space. In a field, every byte that is a space, a control character
// (C0, DEL, C1, U+2028, U+2029), '%' or not part of valid UTF-8 is written as %XX, so any name
// round-trips; the folder is "." for the Zelvora directory itself, else plain components below it. The
// identity says which file was renamed (journals written before it was kept lack it). Lines may end in
// CR LF. A last line without its line end (the program was stopped while writing it) is left out; any
// other fault refuses the whole journal, and so does a journal of another user or one that group or
// others may write.

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace zelvora {

// One rename: in `folder` (relative to the Zelvora directory, '/' separated, empty for the directory
// itself; names as decodeFileName gives them), `oldName` becomes `newName`.
struct RenameRequest
{
    QString folder;
    QString oldName;
    QString newName;
};

struct RenameOutcome
{
    RenameRequest request;
    QString error; // why it was not done; empty when it was
    bool isDone() const { return error.isEmpty(); }
};

struct RenameReport
{
    // Why nothing was renamed: no journal could be written. Empty otherwise.
    QString error;
    QString journalPath;
    std::vector<RenameOutcome> outcomes; // in the order of the requests
    qsizetype doneCount() const;
    bool allDone() const { return error.isEmpty() && doneCount() == qsizetype(outcomes.size()); }
};

// Where journals go by default: <user data folder>/zelvora/zelvora-auditor/renames
// (~/.local/share/... on Linux), the same for the window and the command line.
QString journalFolder();

// The most recent journal in journalFolder() (by the time in its name), if any.
std::optional<QString> latestJournal();

// Renames each request in turn; a failed one does not stop the others. The journal is created anew
// (never over an existing file, mode 0600) at `journalPath`, or, when it is empty, in journalFolder()
// as YYYYMMDD-HHMMSS.journal (UTC; "-2", "-3"... added when that name is taken). Without a journal
// nothing is renamed. No requests make no journal.
// `journalReady`, if given, is told the journal's path once it is on disk, before the first rename: a
// caller that is stopped midway has still said where the journal is.
RenameReport renameSafely(const QString &zelvoraDir, const std::vector<RenameRequest> &requests,
                          const QString &journalPath = {},
                          const std::function<void(const QString &journalPath)> &journalReady = {});

// What undoRenames did with one recorded rename: `request` is the rename as it was made.
struct UndoOutcome
{
    RenameRequest request;
    QString error; // why the file was not put back; empty when it was
    bool isDone() const { return error.isEmpty(); }
};

struct UndoReport
{
    QString zelvoraDir; // as the journal names it
    // Why the journal was refused (unreadable, damaged, of another version): nothing was touched.
    QString error;
    std::vector<UndoOutcome> outcomes; // latest rename first
    bool allDone() const;
};

// Puts back, latest first, every recorded rename whose file is still under its new name and whose old
// name is free (never replacing a file). Renames that failed are skipped, and so is one whose outcome
// was never written when its file is not under the new name (it did not happen).
UndoReport undoRenames(const QString &journalPath);

} // namespace zelvora
