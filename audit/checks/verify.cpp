// Entry by entry in the order they lie in the file, read through one large window per thread so that a
// rom archive costs one read. Entries that fit the window inflate in one call of libdeflate (several
// times zlib's speed, with a fast CRC-32); larger ones stream through zlib, a chunk at a time.

#include "audit/checks/verify.h"

#include "audit/checks/verdictcache.h"
#include "audit/files/humantext.h"
#include "audit/names/filenames.h"
#include "audit/parallel.h"

#include <QElapsedTimer>
#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <libdeflate.h>
#include <memory>
#include <numeric>
#include <span>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

namespace zelvora {

using namespace Qt::StringLiterals;

namespace {

// Threads beyond this gain nothing on a disk and would only add buffers.
constexpr unsigned kMostThreads = 8;
// Per thread: a window of the file and a buffer for inflated data, each a share of this budget (at
// least 2 MiB, at most 16): the verify never holds more, whatever the entries' sizes. Entries that fit
// both inflate in one call; fewer threads get larger buffers, so fewer entries take the slower stream.
constexpr std::size_t kBudget = 48U << 20;

std::size_t bufferSize()
{
    static const std::size_t size = [] {
        const std::size_t threads = std::clamp(std::thread::hardware_concurrency(), 1U, kMostThreads);
        return std::clamp<std::size_t>(kBudget / threads / 2, 2U << 20, 16U << 20) & ~std::size_t(0xFFFF);
    }();
    return size;
}
constexpr std::size_t kChunk = 256U << 10;
constexpr std::size_t kLocalSize = 30;

// Room that costs memory only where it is written: a small archive never touches most of the pages of
// a buffer sized for the largest entries (nothing zeroes them first).
class Buffer
{
public:
    explicit Buffer(std::size_t size) : m_bytes(new char[size]), m_size(size) {}
    char *data() { return m_bytes.get(); }
    std::size_t size() const { return m_size; }

private:
    std::unique_ptr<char[]> m_bytes;
    std::size_t m_size;
};

struct Decoders
{
    std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> whole{
        libdeflate_alloc_decompressor(), &libdeflate_free_decompressor};
    Buffer window{bufferSize()};
    Buffer output{bufferSize()};
    Inflater inflater = Inflater::Fastest;

    quint32 crc32(quint32 crc, const char *bytes, std::size_t size) const
    {
        if (inflater == Inflater::Fastest)
            return libdeflate_crc32(crc, bytes, size);
        for (std::size_t done = 0; done < size;) {
            const auto piece = uInt(std::min<std::size_t>(size - done, 1U << 30));
            crc = quint32(::crc32(crc, reinterpret_cast<const Bytef *>(bytes + done), piece));
            done += piece;
        }
        return crc;
    }
};

Decoders &threadDecoders()
{
    thread_local Decoders decoders;
    return decoders;
}

class Reader
{
public:
    Reader(ZipSource &source, quint64 fileSize, Buffer &buffer)
        : m_source(source), m_fileSize(fileSize), m_buffer(buffer)
    {}

    // The bytes [offset, offset + size), size at most the window; null when the file ends before.
    char *at(quint64 offset, std::size_t size)
    {
        if (offset >= m_start && offset - m_start + size <= m_size)
            return m_buffer.data() + (offset - m_start);
        if (offset > m_fileSize || size > m_fileSize - offset)
            return nullptr;
        const auto want = std::size_t(std::min<quint64>(m_buffer.size(), m_fileSize - offset));
        std::size_t done = 0;
        while (done < want) {
            const qint64 n = m_source.read(offset + done, m_buffer.data() + done, want - done);
            if (n <= 0)
                break;
            done += std::size_t(n);
        }
        m_bytesRead += done;
        m_start = offset;
        m_size = done;
        return done >= size ? m_buffer.data() : nullptr;
    }

    quint64 bytesRead() const { return m_bytesRead; }

private:
    ZipSource &m_source;
    quint64 m_fileSize;
    Buffer &m_buffer;
    quint64 m_start = 0;
    std::size_t m_size = 0;
    quint64 m_bytesRead = 0;
};

QString named(const ZipEntry &entry, const QString &why)
{
    return u"entry \"%1\": %2"_s.arg(QString::fromUtf8(entry.name.data(), qsizetype(entry.name.size())), why);
}

// Why the entry's data does not match its directory record; empty when it does.
QString inflateEntry(Reader &reader, Decoders &decoders, const ZipEntry &entry, quint64 dataStart)
{
    quint32 crc = 0;
    quint64 produced = 0;
    if (entry.method == 0) {
        if (entry.compressedSize != entry.size)
            return u"size differs from the directory"_s;
        for (quint64 done = 0; done < entry.size;) {
            const auto piece = std::size_t(std::min<quint64>(decoders.window.size(), entry.size - done));
            const char *bytes = reader.at(dataStart + done, piece);
            if (bytes == nullptr)
                return u"cut short"_s;
            crc = decoders.crc32(crc, bytes, piece);
            done += piece;
        }
        produced = entry.size;
    } else if (decoders.inflater == Inflater::Fastest && entry.compressedSize <= decoders.window.size() &&
               entry.size <= decoders.output.size()) {
        const char *in = reader.at(dataStart, std::size_t(entry.compressedSize));
        if (in == nullptr)
            return u"cut short"_s;
        std::size_t out = 0;
        const libdeflate_result result =
            libdeflate_deflate_decompress_ex(decoders.whole.get(), in, std::size_t(entry.compressedSize),
                                             decoders.output.data(), std::size_t(entry.size), nullptr, &out);
        if (result == LIBDEFLATE_INSUFFICIENT_SPACE)
            return u"size differs from the directory (it inflates past it)"_s;
        if (result != LIBDEFLATE_SUCCESS)
            return u"invalid compressed data"_s;
        crc = libdeflate_crc32(0, decoders.output.data(), out);
        produced = out;
    } else {
        z_stream z = {};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            throw std::bad_alloc();
        const std::unique_ptr<z_stream, decltype(&inflateEnd)> ending(&z, &inflateEnd);
        quint64 consumed = 0;
        int status = Z_OK;
        while (status != Z_STREAM_END) {
            if (z.avail_in == 0) {
                if (consumed == entry.compressedSize)
                    return u"cut short"_s; // the stream wants more than the entry holds
                const auto piece = std::size_t(std::min<quint64>(kChunk, entry.compressedSize - consumed));
                char *bytes = reader.at(dataStart + consumed, piece);
                if (bytes == nullptr)
                    return u"cut short"_s;
                z.next_in = reinterpret_cast<Bytef *>(bytes);
                z.avail_in = uInt(piece);
                consumed += piece;
            }
            z.next_out = reinterpret_cast<Bytef *>(decoders.output.data());
            z.avail_out = uInt(decoders.output.size());
            status = inflate(&z, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
                return u"invalid compressed data"_s;
            const std::size_t out = decoders.output.size() - z.avail_out;
            crc = decoders.crc32(crc, decoders.output.data(), out);
            produced += out;
            // A bomb stops here: nothing past the declared size is inflated.
            if (produced > entry.size)
                return u"size differs from the directory (it inflates past it)"_s;
        }
    }
    if (produced != entry.size)
        return u"size differs from the directory"_s;
    if (crc != entry.crc)
        return u"CRC mismatch"_s;
    return {};
}

// The local header's sizes, from its zip64 extra field where the fixed ones are full.
void localZip64(const char *extra, std::size_t extraSize, quint64 &size, quint64 &compressed)
{
    for (std::size_t i = 0; i + 4 <= extraSize;) {
        const std::size_t length = zipLe16(extra + i + 2);
        if (zipLe16(extra + i) == 1 && length >= 16 && i + 4 + length <= extraSize) {
            size = zipLe64(extra + i + 4);
            compressed = zipLe64(extra + i + 12);
            return;
        }
        i += 4 + length;
    }
}

// Why the entry is damaged; empty when it is sound. `checked` is false for an entry without a decoder.
QString verifyEntry(Reader &reader, Decoders &decoders, const ZipEntry &entry, quint64 directoryOffset, bool &checked)
{
    checked = false;
    const char *local = reader.at(entry.localOffset, kLocalSize);
    if (local == nullptr)
        return u"cut short"_s;
    if (std::memcmp(local, "PK\3\4", 4) != 0)
        return u"its local header is missing"_s;
    const quint16 flags = zipLe16(local + 6);
    const quint16 method = zipLe16(local + 8);
    const quint32 crc = zipLe32(local + 14);
    quint64 compressed = zipLe32(local + 18);
    quint64 size = zipLe32(local + 22);
    const std::size_t nameSize = zipLe16(local + 26);
    const std::size_t extraSize = zipLe16(local + 28);
    const char *names = reader.at(entry.localOffset + kLocalSize, nameSize + extraSize);
    if (names == nullptr)
        return u"cut short"_s;
    if (compressed == 0xFFFFFFFF || size == 0xFFFFFFFF)
        localZip64(names + nameSize, extraSize, size, compressed);
    const bool descriptor = (flags & 8) != 0;
    if (method != entry.method ||
        (!descriptor && (crc != entry.crc || compressed != entry.compressedSize || size != entry.size)))
        return u"its local header differs from the directory"_s;
    const quint64 dataStart = entry.localOffset + kLocalSize + nameSize + extraSize;
    if (dataStart > directoryOffset || entry.compressedSize > directoryOffset - dataStart)
        return u"runs past the central directory"_s;
    if ((entry.flags & 1) != 0 || (entry.method != 0 && entry.method != 8))
        return {}; // encrypted, or no decoder here: counted, not judged
    checked = true;
    if (QString why = inflateEntry(reader, decoders, entry, dataStart); !why.isEmpty())
        return why;
    if (descriptor) {
        const quint64 at = dataStart + entry.compressedSize;
        const bool wide = entry.size >= 0xFFFFFFFF || entry.compressedSize >= 0xFFFFFFFF;
        const std::size_t fields = wide ? 20 : 12;
        const char *bytes = reader.at(at, std::min<quint64>(fields + 4, directoryOffset - at));
        if (bytes == nullptr || directoryOffset - at < fields)
            return u"its data descriptor is missing"_s;
        const bool signature = std::memcmp(bytes, "PK\7\x08", 4) == 0 && directoryOffset - at >= fields + 4;
        const char *d = signature ? bytes + 4 : bytes;
        const quint64 dCompressed = wide ? zipLe64(d + 4) : zipLe32(d + 4);
        const quint64 dSize = wide ? zipLe64(d + 12) : zipLe32(d + 8);
        if (zipLe32(d) != entry.crc || dCompressed != entry.compressedSize || dSize != entry.size)
            return u"its data descriptor differs from the directory"_s;
    }
    return {};
}

// Fails every read once the verify is cancelled, so that a large entry stops mid-way too.
class CancellableSource final : public ZipSource
{
public:
    CancellableSource(ZipSource &inner, const std::atomic<bool> *cancel) : m_inner(inner), m_cancel(cancel) {}
    qint64 read(quint64 offset, char *to, std::size_t size) override
    {
        if (m_cancel != nullptr && m_cancel->load(std::memory_order_relaxed))
            return -1;
        return m_inner.read(offset, to, size);
    }

private:
    ZipSource &m_inner;
    const std::atomic<bool> *m_cancel;
};

} // namespace

ArchiveVerdict verifyArchive(ZipSource &source, quint64 fileSize, Inflater inflater)
{
    ArchiveVerdict verdict;
    ZipDirectory directory;
    verdict.damagedZip = readZipDirectory(source, fileSize, &directory);
    if (!verdict.damagedZip.isEmpty())
        return verdict;
    Decoders &decoders = threadDecoders();
    decoders.inflater = inflater;
    Reader reader(source, fileSize, decoders.window);
    // In file order: the window moves forward only, one large read after another.
    std::vector<std::size_t> order(directory.entries.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return directory.entries[a].localOffset < directory.entries[b].localOffset;
    });
    for (const std::size_t i : order) {
        const ZipEntry &entry = directory.entries[i];
        bool checked = false;
        const QString why = verifyEntry(reader, decoders, entry, directory.directoryOffset, checked);
        if (!why.isEmpty()) {
            verdict.damagedEntry = named(entry, why);
            break;
        }
        if (!checked)
            ++verdict.notVerified;
    }
    verdict.bytesRead = reader.bytesRead();
    return verdict;
}

VerifyResult verifyArchives(const QString &zelvoraDir, const FoundFiles &found, const std::vector<qsizetype> &pairing,
                            const VerifyRequest &request, VerifyProgress *progress)
{
    QElapsedTimer timer;
    timer.start();
    VerifyResult result;
    std::vector<qsizetype> files;
    for (qsizetype f = 0; f < found.size(); ++f) {
        if (pairing[std::size_t(f)] >= 0)
            files.push_back(countedCopy(found, f));
    }
    std::vector<QByteArray> paths(files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        paths[i] = foundPath(found, files[i]);

    VerdictCache cache;
    if (request.useCache)
        result.summary.cacheWarning = cache.load(zelvoraDir);
    if (progress != nullptr)
        progress->totalFiles = qint64(files.size());

    struct Outcome
    {
        bool seen = false;
        bool fromCache = false;
        CachedVerdict verdict;
    };
    std::vector<Outcome> outcomes(files.size());
    std::atomic<qint64> bytes{0};
    // Folder by folder, each opened once and its files by name in it, in pieces small enough to
    // spread a large folder over the threads.
    constexpr std::size_t kPiece = 64;
    std::vector<std::size_t> order(files.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return found.folders[std::size_t(files[a])] < found.folders[std::size_t(files[b])];
    });
    std::vector<std::pair<std::size_t, std::size_t>> pieces; // [begin, end) in `order`
    for (std::size_t begin = 0; begin < order.size();) {
        std::size_t end = begin + 1;
        while (end < order.size() && end - begin < kPiece &&
               found.folders[std::size_t(files[order[end]])] == found.folders[std::size_t(files[order[begin]])])
            ++end;
        pieces.emplace_back(begin, end);
        begin = end;
    }
    const auto cancelled = [&] { return request.cancel != nullptr && request.cancel->load(std::memory_order_relaxed); };
    const auto verifyOne = [&](int folderFd, std::size_t i) {
        if (cancelled())
            return;
        Outcome &outcome = outcomes[i];
        const std::string name(found.names.at(files[i]));
        // The quick check has just read what it opened: its identity saves a stat per archive.
        FileIdentity identity = request.known != nullptr ? (*request.known)[std::size_t(files[i])] : FileIdentity{};
        if (!identity.isKnown()) {
            struct stat st = {};
            if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
                return; // gone since the walk, or no longer a file: nothing to verify
            identity = fileIdentity(st);
        }
        outcome.seen = true;
        if (!request.all) {
            if (const CachedVerdict *cached = cache.find(paths[i], identity)) {
                outcome.verdict = *cached;
                outcome.fromCache = true;
                if (progress != nullptr)
                    ++progress->files;
                return;
            }
        }
        const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        struct stat opened = {};
        if (fd < 0 || ::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            if (fd >= 0)
                ::close(fd);
            outcome.seen = false;
            return;
        }
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        FileZipSource file(fd);
        CancellableSource source(file, request.cancel);
        // An empty file or one that is no zip at all has its own kind: nothing to verify in it.
        char head[4] = {};
        const bool zip = source.read(0, head, sizeof head) == sizeof head && isZipSignature(head);
        const ArchiveVerdict verdict = zip ? verifyArchive(source, quint64(opened.st_size)) : ArchiveVerdict{};
        ::close(fd);
        if (cancelled()) {
            outcome.seen = false; // its reads may have been cut off: no verdict
            return;
        }
        outcome.verdict.identity = fileIdentity(opened);
        // The quick check already names an archive whose structure does not hold.
        outcome.verdict.damagedZip = !verdict.damagedZip.isEmpty();
        outcome.verdict.damagedEntry = verdict.damagedEntry;
        outcome.verdict.notVerified = verdict.notVerified;
        bytes += qint64(verdict.bytesRead);
        if (progress != nullptr) {
            progress->bytes += qint64(verdict.bytesRead);
            ++progress->files;
        }
    };
    const QByteArray root = encodeFileName(zelvoraDir);
    onAllCores(
        pieces.size(),
        [&](std::size_t p) {
            const auto [begin, end] = pieces[p];
            const std::string_view folder = found.folderOf(files[order[begin]]);
            QByteArray folderPath = root;
            if (!folderPath.isEmpty() && !folderPath.endsWith('/'))
                folderPath += '/';
            folderPath.append(folder.data(), qsizetype(folder.size()));
            const int folderFd = ::open(folderPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (folderFd < 0)
                return;
            try {
                for (std::size_t k = begin; k < end; ++k)
                    verifyOne(folderFd, order[k]);
            } catch (...) {
                ::close(folderFd);
                throw;
            }
            ::close(folderFd);
        },
        kMostThreads);

    for (std::size_t i = 0; i < files.size(); ++i) {
        const Outcome &outcome = outcomes[i];
        if (!outcome.seen)
            continue;
        ++result.summary.archives;
        if (outcome.fromCache)
            ++result.summary.fromCache;
        if (outcome.verdict.damagedZip || !outcome.verdict.damagedEntry.isEmpty())
            ++result.summary.damaged;
        if (!outcome.verdict.damagedEntry.isEmpty())
            result.problems.push_back({ProblemKind::DamagedEntry, paths[i], outcome.verdict.damagedEntry});
        if (outcome.verdict.notVerified > 0)
            ++result.summary.notVerified;
    }
    // An unchanged tree leaves the file as it is: rewriting it, or even gathering what it would hold,
    // would cost as much as reading it. Each verdict was found under its own path, so as many as the
    // file holds is all of them; cancelled, the file keeps the others anyway.
    const bool unchanged = result.summary.fromCache == result.summary.archives &&
                           (cancelled() || qsizetype(result.summary.fromCache) == cache.size());
    if (request.useCache && !unchanged) {
        // Cancelled, the archives not reached keep their earlier verdicts.
        VerdictCache kept = cancelled() ? cache : VerdictCache{};
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (outcomes[i].seen)
                kept.add(paths[i], outcomes[i].verdict);
        }
        const QString warning = kept.save(zelvoraDir);
        if (!warning.isEmpty())
            result.summary.cacheWarning += (result.summary.cacheWarning.isEmpty() ? u""_s : u"; "_s) + warning;
    }
    result.summary.bytes = bytes;
    result.summary.seconds = double(timer.nsecsElapsed()) / 1e9;
    return result;
}

QString verifySummaryText(const VerifySummary &summary)
{
    const QLocale english(QLocale::English);
    const auto count = [&](qint64 n) { return MessageArg::own(english.toString(n)); };
    return message(u"Verified %1 %2, %3, in %4 s; %5 damaged, %6 not verified; %7 from the cache",
                   {count(summary.archives), MessageArg::own(summary.archives == 1 ? u"archive"_s : u"archives"_s),
                    MessageArg::own(byteSizeText(summary.bytes)),
                    MessageArg::own(QString::number(summary.seconds, 'f', 1)), count(summary.damaged),
                    count(summary.notVerified), count(summary.fromCache)});
}

VerifySummary verifyRomArchives(const QString &zelvoraDir, const RomAudit &audit, const VerifyRequest &request,
                                VerifyProgress *progress, std::vector<Problem> &problems)
{
    VerifyResult verified =
        verifyArchives(zelvoraDir, audit.found, pairFoundWithExpected(audit.found, audit.supported), request, progress);
    problems.insert(problems.end(), std::make_move_iterator(verified.problems.begin()),
                    std::make_move_iterator(verified.problems.end()));
    std::stable_sort(problems.begin(), problems.end(),
                     [](const Problem &a, const Problem &b) { return a.kind < b.kind; });
    return verified.summary;
}

} // namespace zelvora
