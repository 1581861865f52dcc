#pragma once

// The near misses in the command's output: the text section, the JSON members beside the lists, and
// the report file that --save writes.

#include "audit/files/reports.h"
#include "audit/nearmiss/nearmiss.h"

#include <QByteArray>

namespace zelvora::cli {

// "Found N possible matches:", a line per pair (expected name, found file below the Zelvora directory,
// reason), then the ambiguous names with their candidates. "\n" line ends, UTF-8.
QByteArray nearMissTextOutput(const NearMisses &nearMisses);

// `,\n  "nearMisses": [...],\n  "ambiguous": [...]`: the members that follow "lists" in the JSON object.
QByteArray nearMissJsonMembers(const NearMisses &nearMisses);

ReportFile romNearMissReportFile(const NearMisses &nearMisses);
ReportFile videoNearMissReportFile(const NearMisses &nearMisses);

} // namespace zelvora::cli
