// The RFC 4180 field and row writers.

#include "audit/files/csv.h"

namespace zelvora {

void appendCsvField(QByteArray &out, QByteArrayView field)
{
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
