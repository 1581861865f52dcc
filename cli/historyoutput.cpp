// The changes as text lines and as a JSON object of lists.

#include "cli/historyoutput.h"

#include "audit/files/humantext.h"
#include "cli/output.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace zelvora::cli {

namespace {

std::string_view bytesOf(const QByteArray &bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

QString sinceText(const AuditChanges &changes)
{
    return changes.since.toUTC().toString(Qt::ISODate);
}

using NamedChanges = std::pair<const char *, const std::vector<QByteArray> *>;

std::vector<NamedChanges> namedLists(const AuditChanges &changes, bool jsonKeys)
{
    return {{jsonKeys ? "nowValid" : "now valid", &changes.nowValid},
            {jsonKeys ? "newlyMissing" : "newly missing", &changes.newlyMissing},
            {jsonKeys ? "newUnknown" : "new unknown", &changes.newUnknown},
            {jsonKeys ? "unknownGone" : "unknown gone", &changes.unknownGone}};
}

} // namespace

QByteArray changesText(const std::optional<AuditChanges> &changes)
{
    if (!changes)
        return {};
    QByteArray out = u"Changes since %1:\n"_s.arg(sinceText(*changes)).toUtf8();
    if (changes->isEmpty())
        out += "  none\n";
    for (const auto &[label, names] : namedLists(*changes, false)) {
        for (const QByteArray &name : *names)
            out += message(u"  %1: %2\n", {MessageArg::own(QString::fromLatin1(label)), bytesOf(name)}).toUtf8();
    }
    return out;
}

QByteArray changesJsonMember(const std::optional<AuditChanges> &changes)
{
    QByteArray out = ",\n  \"changes\": ";
    if (!changes)
        return out + "null";
    out += '{';
    for (const auto &[key, names] : namedLists(*changes, true)) {
        out += "\n    \"";
        out += key;
        out += "\": [";
        bool first = true;
        for (const QByteArray &name : *names) {
            out += first ? "\n      " : ",\n      ";
            first = false;
            out += jsonString(bytesOf(name));
        }
        out += names->empty() ? "]," : "\n    ],";
    }
    out += "\n    \"since\": ";
    out += jsonString(QStringView(sinceText(*changes)));
    out += "\n  }";
    return out;
}

} // namespace zelvora::cli
