#pragma once

#include <QStringList>

namespace zelvora::cli {

// Exit statuses of the command.
enum ExitStatus : int {
    kExitOk = 0,
    kExitOutputFailed = 1,
    kExitUsage = 2,
    kExitRomsListUnusable = 3,
    kExitReportsNotWritten = 4,
    kExitIncomplete = 5,
    kExitOutOfMemory = 6,
};

// Runs the command: `arguments` as main received them, the program name first. Prints to stdout
// and stderr and returns the exit status.
int run(const QStringList &arguments);

} // namespace zelvora::cli
