// Records of past audits: making one from the lists, comparing two, the file format (magic, version,
// payload, SHA-256), and reading and replacing the file of a directory, list and audit.

#include "audit/history.h"

#include "audit/atomicwrite.h"
#include "audit/filenames.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvora {

using namespace Qt::StringLiterals;

namespace {

constexpr char kMagic[] = "ZELVORA-AUDIT-HISTORY\n";
constexpr qsizetype kMagicSize = sizeof kMagic - 1;
constexpr quint32 kVersion = 1;
constexpr qsizetype kChecksumSize = 32;

std::vector<QByteArray> sortedNames(const NameList &names)
{
    std::vector<QByteArray> out;
    out.reserve(names.size());
    for (const std::string_view name : names)
        out.emplace_back(name.data(), qsizetype(name.size()));
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<QByteArray> difference(const std::vector<QByteArray> &a, const std::vector<QByteArray> &b)
{
    std::vector<QByteArray> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

qint64 namesBytes(const AuditRecord &record)
{
    qint64 total = 0;
    for (const auto *list : {&record.valid, &record.missing, &record.unknown}) {
        for (const QByteArray &name : *list)
            total += name.size() + 4;
    }
    return total;
}

QString canonical(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? info.absoluteFilePath() : resolved;
}

// The file's bytes, if it is a regular file of a sensible size; opened without following a link or
// waiting on a special file.
std::optional<QByteArray> readSmallFile(const QString &path)
{
    const int fd = ::open(encodeFileName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> bytes;
    struct stat st = {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kHistoryMaxBytes + (1 << 20)) {
        QByteArray data(qsizetype(st.st_size), Qt::Uninitialized);
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t n = ::read(fd, data.data() + done, std::size_t(data.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += n;
        }
        data.truncate(done);
        bytes = std::move(data);
    }
    ::close(fd);
    return bytes;
}

} // namespace

AuditRecord auditRecord(const RomResults &results, const QDateTime &when)
{
    return {when, sortedNames(results.valid), sortedNames(results.missing), sortedNames(results.unknown)};
}

AuditRecord auditRecord(const VideoResults &results, const QDateTime &when)
{
    return {when, sortedNames(results.valid), sortedNames(results.missing), sortedNames(results.unknown)};
}

AuditChanges compareRecords(const AuditRecord &before, const AuditRecord &now)
{
    return {before.when, difference(now.valid, before.valid), difference(now.missing, before.missing),
            difference(now.unknown, before.unknown), difference(before.unknown, now.unknown)};
}

QString historyKey(const AuditInputs &inputs, QStringView audit)
{
    return audit.toString() + u'\n' + canonical(inputs.zelvoraDir) + u'\n' + canonical(inputs.romsListPath);
}

QString historyDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           u"/zelvora/zelvora-auditor/history"_s;
}

QString historyFileName(const QString &key)
{
    return u"audit-%1.history"_s.arg(
        QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(32)));
}

QByteArray encodeAuditRecord(const QString &key, const AuditRecord &record)
{
    QByteArray bytes(kMagic, kMagicSize);
    {
        QDataStream out(&bytes, QIODevice::WriteOnly | QIODevice::Append);
        out.setVersion(QDataStream::Qt_6_4);
        out << kVersion << key.toUtf8() << record.when.toMSecsSinceEpoch();
        for (const auto *list : {&record.valid, &record.missing, &record.unknown}) {
            out << quint32(list->size());
            for (const QByteArray &name : *list)
                out << name;
        }
    }
    bytes += QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    return bytes;
}

std::optional<AuditRecord> decodeAuditRecord(QByteArrayView bytes, const QString &key)
{
    if (bytes.size() < kMagicSize + kChecksumSize || !bytes.startsWith(QByteArrayView(kMagic, kMagicSize)))
        return std::nullopt;
    const QByteArrayView body = bytes.first(bytes.size() - kChecksumSize);
    if (QCryptographicHash::hash(body, QCryptographicHash::Sha256) != bytes.last(kChecksumSize))
        return std::nullopt;
    QByteArray payload = body.sliced(kMagicSize).toByteArray();
    QDataStream in(&payload, QIODevice::ReadOnly);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 version = 0;
    QByteArray storedKey;
    qint64 when = 0;
    in >> version;
    if (version != kVersion)
        return std::nullopt;
    in >> storedKey >> when;
    if (in.status() != QDataStream::Ok || storedKey != key.toUtf8())
        return std::nullopt;
    AuditRecord record;
    record.when = QDateTime::fromMSecsSinceEpoch(when, Qt::UTC);
    for (auto *list : {&record.valid, &record.missing, &record.unknown}) {
        quint32 count = 0;
        in >> count;
        // Every name takes at least its 4-byte length: a count past that is damage, not a reason to allocate.
        if (in.status() != QDataStream::Ok || count > quint32(payload.size() / 4))
            return std::nullopt;
        list->reserve(count);
        for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
            QByteArray name;
            in >> name;
            list->push_back(std::move(name));
        }
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return record;
}

HistoryOutcome recordAudit(const QString &key, const AuditRecord &now)
{
    HistoryOutcome outcome;
    const QString directory = historyDirectory();
    const QString name = historyFileName(key);
    if (const std::optional<QByteArray> bytes = readSmallFile(directory + u'/' + name)) {
        if (const std::optional<AuditRecord> before = decodeAuditRecord(*bytes, key))
            outcome.changes = compareRecords(*before, now);
    }
    if (namesBytes(now) > kHistoryMaxBytes) {
        outcome.warning = u"this result was not kept for the next comparison: its names take over %1 MiB"_s.arg(
            kHistoryMaxBytes >> 20);
        return outcome;
    }
    if (!QDir().mkpath(directory)) {
        outcome.warning = u"can't create the folder \"%1\""_s.arg(directory);
        return outcome;
    }
    const SaveFolder folder(directory);
    const QString error =
        folder.isOpen() ? writeFileAtomically(folder, name, encodeAuditRecord(key, now)) : folder.error();
    if (!error.isEmpty())
        outcome.warning = u"this result was not kept for the next comparison: %1"_s.arg(error);
    return outcome;
}

} // namespace zelvora
