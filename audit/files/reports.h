#pragma once

// Files written and texts made: the map. humantext.h holds the one escaping rule every text a person
// reads passes through; resulttext.h the result formats of the views and report files; reports.h (here)
// the report set; csv.h the one CSV writer, table.h the collection table, history.h the record of the last
// audit; atomicwrite.h the one way a file is written (a reader sees the old content or the new, never a
// mix); storedsettings.h the two paths shared with the window.

#include "audit/names/merge.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

namespace zelvora {

struct ReportFile
{
    QString fileName; // "valid_roms.txt"
    QByteArray bytes; // the file's result text, UTF-8
};

// One audit's report set, in the order it is written.
std::vector<ReportFile> romReportFiles(const RomResults &results);
std::vector<ReportFile> videoReportFiles(const VideoResults &results);

struct WriteFailure
{
    QString fileName;
    QString path;
    QString reason;
};

// Writes every file into `directory` as UTF-8 without a byte-order mark, each replaced atomically
// by writeFileAtomically: a reader sees the old content or the new, never a mix, and a link in the
// folder is replaced, never written through. Temporary files that killed saves left in `directory`
// are removed first. Every file is attempted even when one fails; the failures are returned in write
// order (empty when all were written).
QList<WriteFailure> writeReportFiles(const QString &directory, const std::vector<ReportFile> &files);

} // namespace zelvora
