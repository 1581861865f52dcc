// The deep verify's floor: the same archives' entries inflated and CRC-checked by the engine on every
// core, from memory, with no file system in the timed part. Prints the archives, bytes and seconds.
//   zelvora-verify-floor ARCHIVE...   (or the paths on standard input, one a line)
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

namespace {

class MemorySource final : public zelvora::ZipSource
{
public:
    explicit MemorySource(const QByteArray &bytes) : m_bytes(bytes) {}
    qint64 read(quint64 offset, char *to, std::size_t size) override
    {
        if (offset >= quint64(m_bytes.size()))
            return 0;
        const auto n = std::min<quint64>(size, quint64(m_bytes.size()) - offset);
        std::memcpy(to, m_bytes.constData() + offset, n);
        return qint64(n);
    }

private:
    const QByteArray &m_bytes;
};

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> paths(argv + 1, argv + argc);
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
            MemorySource source(archives[i]);
            const zelvora::ArchiveVerdict verdict = zelvora::verifyArchive(source, quint64(archives[i].size()));
            if (!verdict.damagedZip.isEmpty() || !verdict.damagedEntry.isEmpty())
                ++damaged;
        },
        8);
    std::printf("%zu archives, %lld bytes, %.3f s, %d damaged\n", archives.size(), static_cast<long long>(total),
                double(timer.nsecsElapsed()) / 1e9, damaged.load());
    return 0;
}
