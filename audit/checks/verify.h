#pragma once

// The deep verify: every entry of every counted archive read, inflated (stored and deflate) and its
// CRC-32 and sizes compared with the central directory and the local header (data descriptors too).
// Streaming with bounded buffers per thread: no entry, however large or however it lies about its
// size, costs more than a few MiB or more time than its declared size. Entries without a decoder here
// (encrypted, bzip2, LZMA, zstd, deflate64, ...) are counted, never called damaged.

#include "audit/audits.h"
#include "audit/checks/problems.h"
#include "audit/checks/verdictcache.h"
#include "audit/checks/zipcheck.h"
#include "audit/walk/foundfiles.h"

#include <QString>
#include <atomic>
#include <vector>

namespace zelvora {

struct ArchiveVerdict
{
    QString damagedZip;      // its structure does not hold (the quick check says so too)
    QString damagedEntry;    // the first entry found damaged, named, and why
    quint32 notVerified = 0; // entries that could not be checked
    quint64 bytesRead = 0;
};

// How deflate entries are inflated. The verify inflates an entry that fits its buffers in one call of
// libdeflate, with libdeflate's CRC-32, and streams the rest through zlib; the bench compares that
// with zlib alone.
enum class Inflater { Fastest, ZlibOnly };

// Reads the whole archive of `fileSize` bytes.
ArchiveVerdict verifyArchive(ZipSource &source, quint64 fileSize, Inflater inflater = Inflater::Fastest);

// Live counts for a progress line, updated by the workers, read by anyone.
struct VerifyProgress
{
    std::atomic<qint64> files{0};
    std::atomic<qint64> bytes{0};
    std::atomic<qint64> totalFiles{0};
};

struct VerifySummary
{
    qint64 archives = 0;    // counted archives looked at, from the cache or read
    qint64 bytes = 0;       // read this time
    qint64 damaged = 0;     // archives damaged: in their structure or an entry
    qint64 notVerified = 0; // archives with entries that could not be checked
    qint64 fromCache = 0;   // verdicts taken from the cache, unread
    double seconds = 0;
    QString cacheWarning; // why the cache could not be read or kept; empty when all went well
};

struct VerifyRequest
{
    bool useCache = true; // read and keep the verdicts of unchanged archives
    bool all = false;     // read every archive again, and keep the fresh verdicts
    // Set by someone else: stop soon. The result then covers only the archives read in full; their
    // verdicts are kept beside the earlier ones, so that the next verify goes on from there.
    const std::atomic<bool> *cancel = nullptr;
    // By found file, the identities the quick check read just before (unknown: stat it here).
    const std::vector<FileIdentity> *known = nullptr;
};

struct VerifyResult
{
    std::vector<Problem> problems; // damaged-entry, and archives that could not be read
    VerifySummary summary;
};

// Verifies the counted archives of a rom audit's found files, on all cores.
VerifyResult verifyArchives(const QString &zelvoraDir, const FoundFiles &found, const std::vector<qsizetype> &pairing,
                            const VerifyRequest &request, VerifyProgress *progress = nullptr);

// "Verified 111,857 archives, 2.1 GB, in 9.8 s; 3 damaged, 12 not verified; 108,000 from the cache"
QString verifySummaryText(const VerifySummary &summary);

// Verifies a rom audit's counted archives and adds the rows found to `problems`, which stay in the
// order of their kinds. The deep verify of the command line and of the window.
VerifySummary verifyRomArchives(const QString &zelvoraDir, const RomAudit &audit, const VerifyRequest &request,
                                VerifyProgress *progress, std::vector<Problem> &problems);

} // namespace zelvora
