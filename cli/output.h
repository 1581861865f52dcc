#pragma once

#include "audit/audits.h"
#include "audit/names/merge.h"

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <string_view>

namespace zelvora::cli {

// Every list of the audit in the window's segment order, each as the window shows it, with "\n"
// line ends, one empty line between lists and a newline at the end. UTF-8.
QByteArray romTextOutput(const RomResults &results);
QByteArray videoTextOutput(const VideoResults &results);

// One JSON object, written to `stream` as it is made: the audit, its paths ("romsList" null when there
// was none) and its lists keyed "valid", "missing", ("extra",) "unknown", names in merge order, exactly
// as they are (only JSON's own escapes). UTF-8. False when not all of it could be written.
// `members`, when given, is written after the lists: further members, each led by ",\n  ".
bool writeRomJsonOutput(std::FILE *stream, const AuditInputs &inputs, const RomResults &lists,
                        QByteArrayView members = {});
bool writeVideoJsonOutput(std::FILE *stream, const AuditInputs &inputs, const VideoResults &lists,
                          QByteArrayView members = {});

// A JSON string literal of a text, or of a name kept as UTF-8 bytes, escaped as the lists' names are.
QByteArray jsonString(QStringView text);
QByteArray jsonString(std::string_view name);

// A message for the user, as UTF-8; one that cannot be written has nowhere else to go.
void printTo(std::FILE *stream, const QString &text);

} // namespace zelvora::cli
