// The verdict cache's file: magic, version, key, verdicts, BLAKE2b-256 of all before it; numbers
// big-endian, texts as a 32-bit length and their bytes.

#include "audit/checks/verdictcache.h"

#include "audit/files/atomicwrite.h"
#include "audit/files/history.h"
#include "audit/files/recordfile.h"
#include "audit/names/filenames.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvora {

using namespace Qt::StringLiterals;

namespace {

constexpr char kMagic[] = "ZELVORA-VERIFY-VERDICTS\n";
constexpr qsizetype kMagicSize = sizeof kMagic - 1;
constexpr quint32 kVersion = 1;
constexpr qsizetype kChecksumSize = 32;

} // namespace

QString VerdictCache::keyOf(const QString &zelvoraDir)
{
    const QFileInfo info(zelvoraDir);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

QString VerdictCache::filePath(const QString &key)
{
    // Beside the history, in a folder of its own.
    return QFileInfo(historyDirectory()).path() +
           u"/verdicts/verdicts-%1.cache"_s.arg(QString::fromLatin1(
               QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Blake2b_256).toHex().left(32)));
}

const CachedVerdict *VerdictCache::find(const QByteArray &path, const FileIdentity &identity) const
{
    const auto it = m_verdicts.constFind(path);
    return it != m_verdicts.constEnd() && it->identity == identity ? &*it : nullptr;
}

QByteArray VerdictCache::encode(const QString &key) const
{
    QByteArray bytes(kMagic, kMagicSize);
    appendRecordNumber(bytes, kVersion);
    appendRecordText(bytes, key.toUtf8());
    appendRecordNumber(bytes, quint32(m_verdicts.size()));
    for (auto it = m_verdicts.constBegin(); it != m_verdicts.constEnd(); ++it) {
        const CachedVerdict &v = it.value();
        appendRecordText(bytes, it.key());
        appendRecordNumber(bytes, v.identity.device);
        appendRecordNumber(bytes, v.identity.inode);
        appendRecordNumber(bytes, v.identity.size);
        appendRecordNumber(bytes, v.identity.mtime);
        appendRecordNumber(bytes, v.identity.ctime);
        appendRecordNumber(bytes, quint8(v.damagedZip ? 1 : 0));
        appendRecordNumber(bytes, v.notVerified);
        appendRecordText(bytes, v.damagedEntry.toUtf8());
    }
    bytes += QCryptographicHash::hash(bytes, QCryptographicHash::Blake2b_256);
    return bytes;
}

bool VerdictCache::decode(const QByteArray &file, const QString &key)
{
    m_verdicts.clear();
    const QByteArrayView bytes(file);
    if (bytes.size() < kMagicSize + kChecksumSize || !bytes.startsWith(QByteArrayView(kMagic, kMagicSize)))
        return false;
    const QByteArrayView body = bytes.first(bytes.size() - kChecksumSize);
    if (QCryptographicHash::hash(body, QCryptographicHash::Blake2b_256) != bytes.last(kChecksumSize))
        return false;
    RecordReader in{body.sliced(kMagicSize)};
    quint32 version = 0;
    QByteArrayView storedKey;
    quint32 count = 0;
    // Each verdict takes at least 53 bytes: a count past that is damage, not a reason to allocate.
    if (!in.number(version) || version != kVersion || !in.text(storedKey) || storedKey != key.toUtf8() ||
        !in.number(count) || count > quint32(in.rest.size() / 53))
        return false;
    m_verdicts.reserve(qsizetype(count));
    for (quint32 i = 0; i < count; ++i) {
        QByteArrayView path;
        QByteArrayView entry;
        CachedVerdict v;
        quint8 damagedZip = 0;
        if (!in.text(path) || !in.number(v.identity.device) || !in.number(v.identity.inode) ||
            !in.number(v.identity.size) || !in.number(v.identity.mtime) || !in.number(v.identity.ctime) ||
            !in.number(damagedZip) || !in.number(v.notVerified) || !in.text(entry)) {
            m_verdicts.clear();
            return false;
        }
        v.damagedZip = damagedZip != 0;
        v.damagedEntry = QString::fromUtf8(entry);
        m_verdicts.insert(path.toByteArray(), v);
    }
    if (!in.rest.isEmpty()) {
        m_verdicts.clear();
        return false;
    }
    return true;
}

QString VerdictCache::load(const QString &zelvoraDir)
{
    const QString key = keyOf(zelvoraDir);
    QString problem;
    if (const std::optional<QByteArray> bytes = readRecordFile(filePath(key), kVerdictCacheMaxBytes, problem)) {
        if (!decode(*bytes, key))
            problem = u"damaged or of another version"_s;
    }
    // Every archive is read again this time, and the file is replaced.
    return problem.isEmpty() ? QString() : u"the verify cache could not be used (%1)"_s.arg(problem);
}

// Written without waiting for the disk: a file a crash left cut short fails its checksum and costs one
// full verify, never a wrong verdict.
QString VerdictCache::save(const QString &zelvoraDir) const
{
    const QString key = keyOf(zelvoraDir);
    const QByteArray bytes = encode(key);
    if (bytes.size() > kVerdictCacheMaxBytes)
        return u"the verdicts were not kept: they take over %1 MiB"_s.arg(kVerdictCacheMaxBytes >> 20);
    const QFileInfo file(filePath(key));
    if (!QDir().mkpath(file.path()))
        return u"the verdicts were not kept: can't create the folder \"%1\""_s.arg(file.path());
    const SaveFolder folder(file.path());
    const QString error =
        folder.isOpen() ? writeFileAtomically(folder, file.fileName(), bytes, Durability::Unsynced) : folder.error();
    return error.isEmpty() ? QString() : u"the verdicts were not kept: %1"_s.arg(error);
}

FileIdentity fileIdentity(const struct stat &st)
{
    return {quint64(st.st_dev), quint64(st.st_ino), quint64(st.st_size),
            qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

} // namespace zelvora
