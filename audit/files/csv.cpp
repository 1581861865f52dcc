// The RFC 4180 field and row writers.

#include "audit/files/csv.h"

#include "audit/names/textunits.h"

#include <QStringDecoder>

namespace zelvora {

namespace {

// A spreadsheet runs a cell that starts like a formula (or, in some, with a tab or CR).
bool startsLikeFormula(QByteArrayView field)
{
    return !field.isEmpty() && QByteArrayView("=+-@\t\r").contains(field.front());
}

bool isUtf8(QByteArrayView field)
{
    QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decode(field);
    return !decode.hasError();
}

} // namespace

void appendCsvField(QByteArray &out, QByteArrayView field)
{
    QByteArray replaced;
    if (!isAscii(std::string_view(field.data(), std::size_t(field.size()))) && !isUtf8(field)) {
        replaced = textOfUtf8(std::string_view(field.data(), std::size_t(field.size()))).toUtf8();
        field = replaced;
    }
    if (startsLikeFormula(field)) {
        replaced = '\'' + field.toByteArray();
        field = replaced;
    }
    bool quote = false;
    for (const char c : field)
        quote = quote || c == ',' || c == '"' || c == '\r' || c == '\n';
    if (!quote) {
        out.append(field);
        return;
    }
    out.append('"');
    for (const char c : field) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

void appendCsvRow(QByteArray &out, std::initializer_list<QByteArrayView> fields)
{
    bool first = true;
    for (const QByteArrayView field : fields) {
        if (!first)
            out.append(',');
        first = false;
        appendCsvField(out, field);
    }
    out.append("\r\n");
}

} // namespace zelvora
