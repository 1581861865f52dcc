#pragma once

// What the command adds to an audit's lists when asked: its problems, and the changes since the
// previous run (kept in the history unless --no-history), as text and as JSON members.

#include "audit/audits.h"
#include "audit/checks/problems.h"
#include "audit/files/history.h"
#include "cli/options.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringView>
#include <functional>
#include <vector>

namespace zelvora::cli {

struct AuditExtras
{
    QByteArray text;        // each section led by an empty line
    QByteArray jsonMembers; // for writeRomJsonOutput / writeVideoJsonOutput
};

// `problems` are shown when options.problems is set. `record` makes the record of this run, kept for
// the next, unless options.noHistory; a history that cannot be read or kept is a warning on stderr.
AuditExtras auditExtras(const Options &options, const std::vector<Problem> &problems, const AuditInputs &inputs,
                        QStringView audit, const std::function<AuditRecord(const QDateTime &now)> &record);

} // namespace zelvora::cli
