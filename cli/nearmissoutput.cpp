#include "cli/nearmissoutput.h"

#include "audit/names/textunits.h"

using namespace Qt::StringLiterals;

namespace zelvora::cli {

namespace {

QByteArray jsonString(const QString &text)
{
    QByteArray out = "\"";
    for (const char32_t c : text.toUcs4()) {
        if (c == U'"' || c == U'\\') {
            out += '\\';
            out += char(c);
        } else if (c == U'\n') {
            out += "\\n";
        } else if (c == U'\r') {
            out += "\\r";
        } else if (c == U'\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x2028 || c == 0x2029) {
            out += u"\\u%1"_s.arg(uint(c), 4, 16, QChar(u'0')).toLatin1();
        } else {
            out += QString::fromUcs4(&c, 1).toUtf8();
        }
    }
    return out + '"';
}

QByteArray candidateMembers(const NearMissCandidate &candidate)
{
    return "\"found\": " + jsonString(textOfUtf8(candidate.found)) +
           ", \"path\": " + jsonString(nearMissPath(candidate)) +
           ", \"reason\": " + jsonString(nearMissReasonId(candidate.reason).toString());
}

QByteArray candidateText(const NearMissCandidate &candidate)
{
    return (nearMissPath(candidate) + u" ("_s + nearMissReasonId(candidate.reason).toString() + u')').toUtf8();
}

} // namespace

QByteArray nearMissTextOutput(const NearMisses &nearMisses)
{
    QByteArray out = u"Found %1 possible matches:\n"_s.arg(nearMisses.pairs.size()).toUtf8();
    if (!nearMisses.pairs.empty())
        out += '\n';
    for (const NearMiss &pair : nearMisses.pairs)
        out += textOfUtf8(pair.expected).toUtf8() + " <- " + candidateText(pair.file) + '\n';
    if (nearMisses.ambiguous.empty())
        return out;
    out += u"\nAmbiguous, not paired (%1):\n\n"_s.arg(nearMisses.ambiguous.size()).toUtf8();
    for (const AmbiguousNearMiss &ambiguous : nearMisses.ambiguous) {
        out += textOfUtf8(ambiguous.expected).toUtf8() + " <- ";
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
        out += (i == 0 ? "\n    {\"expected\": " : ",\n    {\"expected\": ") + jsonString(textOfUtf8(pair.expected)) +
               ", " + candidateMembers(pair.file) + '}';
    }
    out += nearMisses.pairs.empty() ? "]" : "\n  ]";
    out += ",\n  \"ambiguous\": [";
    for (std::size_t i = 0; i < nearMisses.ambiguous.size(); ++i) {
        const AmbiguousNearMiss &ambiguous = nearMisses.ambiguous[i];
        out += (i == 0 ? "\n    {\"expected\": " : ",\n    {\"expected\": ") +
               jsonString(textOfUtf8(ambiguous.expected)) + ", \"candidates\": [";
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
