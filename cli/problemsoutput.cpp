// The problems as text lines and as a JSON array of objects.

#include "cli/problemsoutput.h"

#include "cli/output.h"

using namespace Qt::StringLiterals;

namespace zelvora::cli {

static std::string_view bytesOf(const QByteArray &bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

QByteArray problemsText(const std::vector<Problem> &problems)
{
    QByteArray out =
        u"Found %1 %2:\n"_s.arg(problems.size()).arg(problems.size() == 1 ? u"problem"_s : u"problems"_s).toUtf8();
    for (const Problem &problem : problems) {
        out += "  ";
        out += problemKindId(problem.kind).toUtf8();
        out += ": ";
        out += problem.path;
        out += " (";
        out += problem.detail.toUtf8();
        out += ")\n";
    }
    return out;
}

QByteArray problemsJsonMember(const std::vector<Problem> &problems)
{
    QByteArray out = ",\n  \"problems\": [";
    bool first = true;
    for (const Problem &problem : problems) {
        out += first ? "\n    {\"kind\": " : ",\n    {\"kind\": ";
        first = false;
        out += jsonString(problemKindId(problem.kind));
        out += ", \"path\": ";
        out += jsonString(bytesOf(problem.path));
        out += ", \"detail\": ";
        out += jsonString(QStringView(problem.detail));
        out += '}';
    }
    out += problems.empty() ? "]" : "\n  ]";
    return out;
}

} // namespace zelvora::cli
