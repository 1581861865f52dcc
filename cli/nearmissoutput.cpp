#include "cli/nearmissoutput.h"

#include "audit/files/humantext.h"
#include "cli/output.h"

using namespace Qt::StringLiterals;

namespace zelvora::cli {

namespace {

QByteArray candidateMembers(const NearMissCandidate &candidate)
{
    return "\"found\": " + jsonString(candidate.found) +
           ", \"path\": " + jsonString(QStringView(nearMissPath(candidate))) +
           ", \"reason\": " + jsonString(nearMissReasonId(candidate.reason));
}

QByteArray candidateText(const NearMissCandidate &candidate)
{
    return message(u"%1 (%2)",
                   {nearMissPath(candidate), MessageArg::own(nearMissReasonId(candidate.reason).toString())})
        .toUtf8();
}

} // namespace

QByteArray nearMissTextOutput(const NearMisses &nearMisses)
{
    QByteArray out = u"Found %1 possible matches:\n"_s.arg(nearMisses.pairs.size()).toUtf8();
    if (!nearMisses.pairs.empty())
        out += '\n';
    for (const NearMiss &pair : nearMisses.pairs)
        out += nameText(pair.expected).toUtf8() + " <- " + candidateText(pair.file) + '\n';
    if (nearMisses.ambiguous.empty())
        return out;
    out += u"\nAmbiguous, not paired (%1):\n\n"_s.arg(nearMisses.ambiguous.size()).toUtf8();
    for (const AmbiguousNearMiss &ambiguous : nearMisses.ambiguous) {
        out += nameText(ambiguous.expected).toUtf8() + " <- ";
        for (std::size_t i = 0; i < ambiguous.candidates.size(); ++i)
            out += (i == 0 ? "" : ", ") + candidateText(ambiguous.candidates[i]);
        out += '\n';
    }
    return out;
}

QByteArray nearMissJsonMembers(const NearMisses &nearMisses)
{
    QByteArray out = ",\n  \"nearMisses\": [";
    for (std::size_t i = 0; i < nearMisses.pairs.size(); ++i) {
        const NearMiss &pair = nearMisses.pairs[i];
        out += (i == 0 ? "\n    {\"expected\": " : ",\n    {\"expected\": ") + jsonString(pair.expected) + ", " +
               candidateMembers(pair.file) + '}';
    }
    out += nearMisses.pairs.empty() ? "]" : "\n  ]";
    out += ",\n  \"ambiguous\": [";
    for (std::size_t i = 0; i < nearMisses.ambiguous.size(); ++i) {
        const AmbiguousNearMiss &ambiguous = nearMisses.ambiguous[i];
        out += (i == 0 ? "\n    {\"expected\": " : ",\n    {\"expected\": ") + jsonString(ambiguous.expected) +
               ", \"candidates\": [";
        for (std::size_t k = 0; k < ambiguous.candidates.size(); ++k)
            out += (k == 0 ? "{" : ", {") + candidateMembers(ambiguous.candidates[k]) + '}';
        out += "]}";
    }
    out += nearMisses.ambiguous.empty() ? "]" : "\n  ]";
    return out;
}

ReportFile romNearMissReportFile(const NearMisses &nearMisses)
{
    return {kRomNearMissesFileName.toString(), nearMissCsv(nearMisses)};
}

ReportFile videoNearMissReportFile(const NearMisses &nearMisses)
{
    return {kVideoNearMissesFileName.toString(), nearMissCsv(nearMisses)};
}

} // namespace zelvora::cli
