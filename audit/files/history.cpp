// Records of past audits: making one from the lists, comparing two, the file format (magic, version,
// payload, BLAKE2b-256: several times faster than SHA-256 in Qt, and damage is all it has to catch),
// and reading and replacing the file of a directory, list and audit.

#include "audit/files/history.h"

#include "audit/files/atomicwrite.h"
#include "audit/files/recordfile.h"
#include "audit/names/filenames.h"

#include <QCryptographicHash>
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

// Sorted by bytes. The first eight bytes, read as one number, settle most comparisons without a call
// to memcmp: this sort was most of what keeping the history cost.
std::vector<std::string_view> sortedNames(const NameList &names)
{
    struct Keyed
    {
        quint64 prefix;
        std::string_view name;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(names.size());
    for (const std::string_view name : names) {
        quint64 prefix = 0;
        for (std::size_t i = 0; i < 8; ++i)
            prefix = (prefix << 8) | (i < name.size() ? static_cast<unsigned char>(name[i]) : 0U);
        keyed.push_back({prefix, name});
    }
    // Equal prefixes (or a name that ends where the other holds a zero byte) fall back to the bytes.
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        return a.prefix != b.prefix ? a.prefix < b.prefix : a.name < b.name;
    });
    std::vector<std::string_view> out;
    out.reserve(keyed.size());
    for (const Keyed &k : keyed)
        out.push_back(k.name);
    return out;
}

std::vector<QByteArray> difference(const std::vector<std::string_view> &a, const std::vector<std::string_view> &b)
{
    std::vector<std::string_view> views;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(views));
    std::vector<QByteArray> out;
    out.reserve(views.size());
    for (const std::string_view name : views)
        out.emplace_back(name.data(), qsizetype(name.size()));
    return out;
}

qint64 namesBytes(const AuditRecord &record)
{
    qint64 total = 0;
    for (const auto *list : {&record.valid, &record.missing, &record.unknown}) {
        for (const std::string_view name : *list)
            total += qint64(name.size()) + 4;
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

} // namespace

AuditRecord auditRecord(const RomResults &results, const QDateTime &when)
{
    return {when, sortedNames(results.valid), sortedNames(results.missing), sortedNames(results.unknown), {}};
}

AuditRecord auditRecord(const VideoResults &results, const QDateTime &when)
{
    return {when, sortedNames(results.valid), sortedNames(results.missing), sortedNames(results.unknown), {}};
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
        QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Blake2b_256).toHex().left(32)));
}

QByteArray encodeAuditRecord(const QString &key, const AuditRecord &record)
{
    const QByteArray keyBytes = key.toUtf8();
    QByteArray bytes;
    bytes.reserve(kMagicSize + 4 + 4 + keyBytes.size() + 8 + 12 + namesBytes(record) + kChecksumSize);
    bytes.append(kMagic, kMagicSize);
    appendRecordNumber(bytes, kVersion);
    appendRecordText(bytes, keyBytes);
    appendRecordNumber(bytes, quint64(record.when.toMSecsSinceEpoch()));
    for (const auto *list : {&record.valid, &record.missing, &record.unknown}) {
        appendRecordNumber(bytes, quint32(list->size()));
        for (const std::string_view name : *list)
            appendRecordText(bytes, QByteArrayView(name.data(), qsizetype(name.size())));
    }
    bytes += QCryptographicHash::hash(bytes, QCryptographicHash::Blake2b_256);
    return bytes;
}

std::optional<AuditRecord> decodeAuditRecord(const QByteArray &file, const QString &key)
{
    AuditRecord record;
    record.storage = file; // shared, not copied: the names are read as views of it
    const QByteArrayView bytes(record.storage);
    if (bytes.size() < kMagicSize + kChecksumSize || !bytes.startsWith(QByteArrayView(kMagic, kMagicSize)))
        return std::nullopt;
    const QByteArrayView body = bytes.first(bytes.size() - kChecksumSize);
    if (QCryptographicHash::hash(body, QCryptographicHash::Blake2b_256) != bytes.last(kChecksumSize))
        return std::nullopt;
    RecordReader in{body.sliced(kMagicSize)};
    quint32 version = 0;
    QByteArrayView storedKey;
    quint64 when = 0;
    if (!in.number(version) || version != kVersion || !in.text(storedKey) || storedKey != key.toUtf8() ||
        !in.number(when))
        return std::nullopt;
    record.when = QDateTime::fromMSecsSinceEpoch(qint64(when), Qt::UTC);
    for (auto *list : {&record.valid, &record.missing, &record.unknown}) {
        quint32 count = 0;
        // Every name takes at least its 4-byte length: a count past that is damage, not a reason to allocate.
        if (!in.number(count) || count > quint32(in.rest.size() / 4))
            return std::nullopt;
        list->reserve(count);
        for (quint32 i = 0; i < count; ++i) {
            QByteArrayView name;
            if (!in.text(name))
                return std::nullopt;
            list->emplace_back(name.data(), std::size_t(name.size()));
        }
    }
    if (!in.rest.isEmpty())
        return std::nullopt;
    return record;
}

// Written without waiting for the disk: a file a crash of the system left empty or cut short fails its
// checksum and counts as absent, which costs one comparison, never a wrong one.
HistoryOutcome recordAudit(const QString &key, const AuditRecord &now)
{
    HistoryOutcome outcome;
    const QString directory = historyDirectory();
    const QString name = historyFileName(key);
    QString problem;
    if (const std::optional<QByteArray> bytes =
            readRecordFile(directory + u'/' + name, kHistoryMaxBytes + (1 << 20), problem)) {
        if (const std::optional<AuditRecord> before = decodeAuditRecord(*bytes, key))
            outcome.changes = compareRecords(*before, now);
        else
            problem = u"damaged or of another version"_s;
    }
    // The comparison is lost for this run only: the file is replaced below.
    if (!problem.isEmpty())
        outcome.warning = u"the previous audit's record could not be used (%1); "_s.arg(problem);
    if (namesBytes(now) > kHistoryMaxBytes) {
        outcome.warning += u"this result was not kept for the next comparison: its names take over %1 MiB"_s.arg(
            kHistoryMaxBytes >> 20);
        return outcome;
    }
    if (!QDir().mkpath(directory)) {
        outcome.warning += u"can't create the folder \"%1\""_s.arg(directory);
        return outcome;
    }
    const SaveFolder folder(directory);
    const QString error = folder.isOpen()
                              ? writeFileAtomically(folder, name, encodeAuditRecord(key, now), Durability::Unsynced)
                              : folder.error();
    if (!error.isEmpty())
        outcome.warning += u"this result was not kept for the next comparison: %1"_s.arg(error);
    else if (!problem.isEmpty())
        outcome.warning += u"it is replaced by this audit's"_s;
    return outcome;
}

} // namespace zelvora
