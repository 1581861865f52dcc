#pragma once

// What the last audit of a Zelvora directory and list found, kept to tell the user what changed since:
// one small file per directory, list and audit in the user's data folder, replaced atomically. A file
// starts with a magic line and a version and ends with a BLAKE2b-256 of all before it; one that is damaged,
// of another version, or written for other inputs is treated as absent and replaced. A result whose
// names take more than kHistoryMaxBytes is not kept (the file of the run before stays).

#include "audit/audits.h"
#include "audit/names/merge.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringView>
#include <optional>
#include <string_view>
#include <vector>

namespace zelvora {

inline constexpr qint64 kHistoryMaxBytes = 32LL << 20;

// An audit's lists as names (UTF-8 bytes), each sorted by its bytes. The extra videos are not kept:
// they are neither valid, missing nor unknown. The names are views: of the audit's blocks, which must
// outlive the record, or of `storage` when the record was read from a file (a copy of the record
// shares it, so the views stay valid). A hundred thousand names cost no allocation each.
struct AuditRecord
{
    QDateTime when;
    std::vector<std::string_view> valid;
    std::vector<std::string_view> missing;
    std::vector<std::string_view> unknown;
    QByteArray storage;
};

AuditRecord auditRecord(const RomResults &results, const QDateTime &when);
AuditRecord auditRecord(const VideoResults &results, const QDateTime &when);

// What changed from one run to the next; each list sorted by its bytes.
struct AuditChanges
{
    QDateTime since; // when the run before ran
    std::vector<QByteArray> nowValid;
    std::vector<QByteArray> newlyMissing;
    std::vector<QByteArray> newUnknown;
    std::vector<QByteArray> unknownGone;

    bool isEmpty() const
    {
        return nowValid.empty() && newlyMissing.empty() && newUnknown.empty() && unknownGone.empty();
    }
};

AuditChanges compareRecords(const AuditRecord &before, const AuditRecord &now);

// The identity of the inputs a record belongs to: the audit ("roms", "videos", "videos-available"),
// and the canonical paths of the Zelvora directory and the list.
QString historyKey(const AuditInputs &inputs, QStringView audit);

// The folder the records are kept in (below QStandardPaths' generic data folder, where the desktop
// application's AppDataLocation is), and the file for a key in it.
QString historyDirectory();
QString historyFileName(const QString &key);

// The file's bytes for a record, and the record back; empty when the bytes are damaged, of another
// version, or for another key.
QByteArray encodeAuditRecord(const QString &key, const AuditRecord &record);
std::optional<AuditRecord> decodeAuditRecord(const QByteArray &file, const QString &key);

struct HistoryOutcome
{
    std::optional<AuditChanges> changes; // empty on the first run (or after a damaged file)
    QString warning;                     // why the record could not be read or kept; empty when all went well
};

// Reads the record of the previous run with the same key, keeps `now` in its place, and gives the
// changes. Never fails the audit: whatever goes wrong is in the warning.
HistoryOutcome recordAudit(const QString &key, const AuditRecord &now);

} // namespace zelvora
