#pragma once

// The one line over each result view that says what produced it: when, how long, which mode, and
// in its tooltip the directory and list; marked out of date once the fields differ from those inputs.

#include "audit/audits.h"

#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace zelvora {

struct AuditStamp
{
    AuditInputs inputs;
    QDateTime finished;
    qint64 elapsedMs = 0;
    bool videos = false; // the check box matters to the video audit only
};

// Whether `current` would give another result than the audit stamped.
bool isOutOfDate(const AuditStamp &stamp, const AuditInputs &current);

// "Audited 08:14 · 0.4 s · available roms only", then "showing N of M" while a filter hides names
// (`shown` < 0: no filter) and "out of date" when so.
QString captionText(const AuditStamp &stamp, bool outOfDate, qsizetype shown = -1, qsizetype total = 0);
QString captionToolTip(const AuditStamp &stamp, bool outOfDate);

// A count with the locale's digit groups, also where the locale leaves them out (C): "11,743".
QString groupedCount(qint64 count);

} // namespace zelvora
