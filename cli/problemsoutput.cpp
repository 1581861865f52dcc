// The problems as text lines and as a JSON array of objects.

#include "cli/problemsoutput.h"

#include "audit/files/humantext.h"
#include "cli/output.h"

using namespace Qt::StringLiterals;

namespace zelvora::cli {

static std::string_view bytesOf(const QByteArray &bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

QByteArray problemsText(const std::vector<Problem> &problems)
{
    QString out = message(u"Found %1 %2:\n",
                          {problems.size(), MessageArg::own(problems.size() == 1 ? u"problem"_s : u"problems"_s)});
    for (const Problem &problem : problems)
        out += message(u"  %1: %2 (%3)\n",
                       {MessageArg::own(problemKindId(problem.kind).toString()), problem.path, problem.detail});
    return out.toUtf8();
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
