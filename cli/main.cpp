#include "audit/names/filenames.h"
#include "cli/run.h"

#include <QStringList>
#include <csignal>
#include <exception>
#include <malloc.h>
#include <new>
#include <unistd.h>

namespace {

// Written without allocating: there may be no memory left to format a message with. The output may
// be cut short; the status says so.
[[noreturn]] void exitOutOfMemory()
{
    static constexpr char message[] = "Error: out of memory.\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(zelvora::cli::kExitOutOfMemory);
}

// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables): set once in main, read by the handler
std::terminate_handler defaultTerminate = nullptr;

// An exception that escapes a helper thread of the audit ends the process here.
[[noreturn]] void onTerminate()
{
    if (const std::exception_ptr exception = std::current_exception()) {
        try {
            std::rethrow_exception(exception);
        } catch (const std::bad_alloc &) {
            exitOutOfMemory();
        } catch (...) {
        }
    }
    defaultTerminate();
    std::abort();
}

} // namespace

int main(int argc, char *argv[])
{
    defaultTerminate = std::set_terminate(onTerminate);
    // A closed pipe or a file size limit is a failed write, said and given its status like a full disk,
    // not a silent death of the process halfway through (renames done, their journal's path unsaid).
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
    static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
    // An audit builds and drops arrays phase after phase. Arrays up to a few megabytes stay with the
    // allocator when freed and serve the next phase, instead of going back to the system and being
    // faulted in again page by page; larger ones always go back, so they leave no hole behind. (By
    // default the threshold rises after each large free, which keeps large arrays too.)
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    try {
        // Decoded as file names, since most arguments are paths, and without loss: a path that is not
        // UTF-8 must still name the same file when it is encoded again.
        QStringList arguments;
        arguments.reserve(argc);
        for (int i = 0; i < argc; ++i) {
            arguments.append(zelvora::decodeFileName(argv[i]));
        }
        return zelvora::cli::run(arguments);
    } catch (const std::bad_alloc &) {
        exitOutOfMemory();
    }
}
