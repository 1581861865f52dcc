#pragma once

// The deep verify's verdicts, kept per Zelvora directory in the user's data folder so that the next
// verify reads only archives that are new or changed. An archive is the same while its device, inode,
// size and modification and change times (in nanoseconds) are: any write changes the change time,
// even one that puts the modification time back. Like the history: one file, replaced atomically,
// checksummed (BLAKE2b-256); damaged, of another version or for another directory means absent.

#include <QByteArray>
#include <QHash>
#include <QString>

struct stat;

namespace zelvora {

struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    quint64 size = 0;
    qint64 mtime = 0; // nanoseconds
    qint64 ctime = 0;

    bool operator==(const FileIdentity &) const = default;
    // None was read (no file has inode 0).
    bool isKnown() const { return inode != 0; }
};

// The identity `st` gives.
FileIdentity fileIdentity(const struct stat &st);

struct CachedVerdict
{
    FileIdentity identity;
    bool damagedZip = false;
    QString damagedEntry; // stays reported until the archive changes
    quint32 notVerified = 0;
};

// More verdicts than this are not kept: the file would take longer to read than it saves.
inline constexpr qint64 kVerdictCacheMaxBytes = 256LL << 20;

class VerdictCache
{
public:
    // Reads the cache of `zelvoraDir`; empty when all went well (or there was none), else why not.
    QString load(const QString &zelvoraDir);
    // Replaces the cache of `zelvoraDir` with this one's verdicts; empty when it was kept, else why not.
    QString save(const QString &zelvoraDir) const;

    // The verdict kept for the archive at `path` (below the Zelvora directory) if it still has `identity`.
    // Safe to call from many threads at once.
    const CachedVerdict *find(const QByteArray &path, const FileIdentity &identity) const;
    void add(const QByteArray &path, const CachedVerdict &verdict) { m_verdicts.insert(path, verdict); }
    qsizetype size() const { return m_verdicts.size(); }

    // The file's bytes, and a cache back from them (false when damaged, of another version or another key).
    QByteArray encode(const QString &key) const;
    bool decode(const QByteArray &file, const QString &key);

    static QString keyOf(const QString &zelvoraDir);
    static QString filePath(const QString &key);

private:
    QHash<QByteArray, CachedVerdict> m_verdicts;
};

} // namespace zelvora
