// The deep verify's floor: the same archives' entries inflated and CRC-checked by the engine on every
// core, from memory, with no file system in the timed part. Prints the archives, bytes and seconds.
//   zelvora-verify-floor [--zlib-only] ARCHIVE...   (or the paths on standard input, one a line)
// --zlib-only inflates every deflate entry with zlib's streaming inflate and CRC-32, for the library
// comparison.
#include "audit/checks/verify.h"
#include "audit/parallel.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> paths(argv + 1, argv + argc);
    const bool zlibOnly = !paths.empty() && paths.front() == "--zlib-only";
    if (zlibOnly)
        paths.erase(paths.begin());
    const zelvora::Inflater inflater = zlibOnly ? zelvora::Inflater::ZlibOnly : zelvora::Inflater::Fastest;
    if (paths.empty()) {
        for (std::string line; std::getline(std::cin, line);)
            paths.push_back(line);
    }
    std::vector<QByteArray> archives;
    qint64 total = 0;
    for (const std::string &path : paths) {
        QFile file(QString::fromStdString(path));
        if (!file.open(QIODevice::ReadOnly))
            return std::fprintf(stderr, "cannot read %s\n", path.c_str()), 1;
        archives.push_back(file.readAll());
        total += archives.back().size();
    }
    std::atomic<int> damaged{0};
    QElapsedTimer timer;
    timer.start();
    zelvora::onAllCores(
        archives.size(),
        [&](std::size_t i) {
            zelvora::MemoryZipSource source(archives[i].constData(), std::size_t(archives[i].size()));
            const zelvora::ArchiveVerdict verdict =
                zelvora::verifyArchive(source, quint64(archives[i].size()), inflater);
            if (!verdict.damagedZip.isEmpty() || !verdict.damagedEntry.isEmpty())
                ++damaged;
        },
        8);
    std::printf("%zu archives, %lld bytes, %.3f s, %d damaged\n", archives.size(), static_cast<long long>(total),
                double(timer.nsecsElapsed()) / 1e9, damaged.load());
    return 0;
}
