#pragma once

// Comma-separated values as RFC 4180 writes them, for spreadsheets: fields quoted when they hold a comma,
// a quote, CR or LF (quotes doubled), rows ended by CR LF. A field that a spreadsheet would run as a
// formula (it starts with =, +, -, @, a tab or CR) gets a leading apostrophe, which shows it as text;
// bytes that are not UTF-8 become U+FFFD, so the file is always valid UTF-8. JSON keeps names exactly.

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
