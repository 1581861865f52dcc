#pragma once

// Comma-separated values as RFC 4180 writes them: fields quoted when they hold a comma, a quote, CR or
// LF (quotes doubled), rows ended by CR LF. Bytes pass through untouched, so a name that is not UTF-8
// reads back exactly as it is on disk.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <initializer_list>

namespace zelvora {

// The byte-order mark spreadsheets need to read a file as UTF-8.
inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// Appends one field, quoted if it needs to be.
void appendCsvField(QByteArray &out, QByteArrayView field);

// Appends a whole row of fields, ended by CR LF.
void appendCsvRow(QByteArray &out, std::initializer_list<QByteArrayView> fields);

} // namespace zelvora
