#include "audit/filenames.h"
#include "cli/run.h"

#include <QStringList>
#include <malloc.h>

int main(int argc, char *argv[])
{
    // An audit builds and drops arrays phase after phase. Arrays up to a few megabytes stay with the
    // allocator when freed and serve the next phase, instead of going back to the system and being
    // faulted in again page by page; larger ones always go back, so they leave no hole behind. (By
    // default the threshold rises after each large free, which keeps large arrays too.)
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    // Decoded as file names, since most arguments are paths, and without loss: a path that is not
    // UTF-8 must still name the same file when it is encoded again.
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i) {
        arguments.append(zelvora::decodeFileName(argv[i]));
    }
    return zelvora::cli::run(arguments);
}
