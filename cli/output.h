#pragma once

#include "audit/audits.h"
#include "audit/merge.h"

#include <QByteArray>
#include <QStringView>
#include <cstdio>

namespace zelvora::cli {

// Every list of the audit in the window's segment order, each as the window shows it, with "\n"
// line ends, one empty line between lists and a newline at the end. UTF-8.
QByteArray romTextOutput(const RomResults &results);
QByteArray videoTextOutput(const VideoResults &results);

// One JSON object: the audit, its paths ("romsList" null when there was none) and its lists keyed
// "valid", "missing", ("extra",) "unknown", names in merge order. UTF-8.
QByteArray romJsonOutput(const AuditInputs &inputs, const RomResults &results);
QByteArray videoJsonOutput(const AuditInputs &inputs, const VideoResults &results);
// The same written to `stream` as it is made; false when not all of it could be written.
bool writeRomJsonOutput(std::FILE *stream, const AuditInputs &inputs, const RomResults &results);
bool writeVideoJsonOutput(std::FILE *stream, const AuditInputs &inputs, const VideoResults &results);
// The same from views of the names, byte for byte.
bool writeRomJsonOutput(std::FILE *stream, const AuditInputs &inputs, const RomNameViews &lists);
bool writeVideoJsonOutput(std::FILE *stream, const AuditInputs &inputs, const VideoNameViews &lists);

// A JSON string literal, quotes included; non-ASCII stays as UTF-8.
QByteArray jsonString(const QString &text);
void appendJsonString(QByteArray &out, QStringView text);

} // namespace zelvora::cli
