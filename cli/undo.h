#pragma once

// The command line's side of safe renames: the `undo JOURNAL` subcommand, and the report of a rename
// run (what was renamed, the journal to undo it with, and each rename that failed).

#include "audit/nearmiss/saferename.h"

#include <QStringList>
#include <cstdio>

namespace zelvora::cli {

// True when `arguments` (as main received them) ask for the undo subcommand.
bool isUndoCommand(const QStringList &arguments);

// Runs `zelvora-auditor-cli undo JOURNAL`: prints what was put back on stdout and what could not be,
// with why, on stderr. Returns kExitOk when every file was put back, kExitUsage for a usage error,
// and kExitReportsNotWritten (4) when a file could not be put back or the journal was refused.
int runUndo(const QStringList &arguments);

// Prints a rename run: "Renamed N of M files; undo journal: PATH" on stdout, then each failed rename
// with its reason on stderr. Returns kExitOk when every rename was made, else 4 (as for report files
// that could not be written).
int printRenameReport(const RenameReport &report, std::FILE *out = stdout, std::FILE *err = stderr);

} // namespace zelvora::cli
