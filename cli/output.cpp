#include "cli/output.h"

#include "audit/resulttext.h"

#include <QStringList>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace zelvora::cli {

static QByteArray textOutput(const QStringList &viewTexts)
{
    QByteArray out;
    for (const QString &viewText : viewTexts) {
        QString text = viewText;
        text.replace(u"\r\n"_s, u"\n"_s);
        // An empty list's text ends in its empty line; the gap to the next list is that line.
        while (text.endsWith(u'\n')) {
            text.chop(1);
        }
        if (!out.isEmpty()) {
            out += '\n';
        }
        out += text.toUtf8();
        out += '\n';
    }
    return out;
}

QByteArray romTextOutput(const RomResults &results)
{
    return textOutput({romViewText(results, RomList::Valid), romViewText(results, RomList::Missing),
                       romViewText(results, RomList::Unknown)});
}

QByteArray videoTextOutput(const VideoResults &results)
{
    return textOutput({videoViewText(results, VideoList::Valid), videoViewText(results, VideoList::Missing),
                       videoViewText(results, VideoList::Extra), videoViewText(results, VideoList::Unknown)});
}

static const char *shortEscape(char16_t u)
{
    switch (u) {
    case u'"':
        return "\\\"";
    case u'\\':
        return "\\\\";
    case u'\n':
        return "\\n";
    case u'\r':
        return "\\r";
    case u'\t':
        return "\\t";
    case u'\b':
        return "\\b";
    case u'\f':
        return "\\f";
    default:
        return nullptr;
    }
}

QByteArray jsonString(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() + 2);
    out += '"';
    // Plain runs are converted whole: cheaper than per character, and surrogate pairs stay together.
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        if (end > runStart) {
            out += QStringView(text).mid(runStart, end - runStart).toUtf8();
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const char *escape = shortEscape(u);
        // Control characters must be escaped; the line separators are too, so the output also stays a
        // JavaScript literal; a lone surrogate has no UTF-8 form, only this one.
        const bool needsEscape = escape || u < 0x20 || u == 0x2028 || u == 0x2029 || QChar::isSurrogate(u);
        if (!needsEscape) {
            continue;
        }
        flushRun(i);
        runStart = i + 1;
        if (escape) {
            out += escape;
        } else {
            out += "\\u" + QByteArray::number(u, 16).rightJustified(4, '0');
        }
    }
    flushRun(text.size());
    out += '"';
    return out;
}

using NamedList = std::pair<QString, const QStringList *>;

static QByteArray jsonOutput(const QString &audit, const AuditInputs &inputs, bool withAvailableRomsOnly,
                             const std::vector<NamedList> &lists)
{
    QByteArray out = "{\n";
    out += "  \"audit\": " + jsonString(audit) + ",\n";
    out += "  \"zelvoraDir\": " + jsonString(inputs.zelvoraDir) + ",\n";
    out += "  \"romsList\": " + (inputs.romsListPath.isEmpty() ? QByteArray("null") : jsonString(inputs.romsListPath));
    if (withAvailableRomsOnly) {
        out += ",\n  \"availableRomsOnly\": ";
        out += inputs.availableRomsOnly ? "true" : "false";
    }
    out += ",\n  \"lists\": {";
    bool firstList = true;
    for (const auto &[key, names] : lists) {
        out += firstList ? "\n" : ",\n";
        firstList = false;
        out += "    " + jsonString(key) + ": [";
        for (qsizetype i = 0; i < names->size(); ++i) {
            out += i == 0 ? "\n      " : ",\n      ";
            out += jsonString(names->at(i));
        }
        out += names->isEmpty() ? "]" : "\n    ]";
    }
    out += "\n  }\n}\n";
    return out;
}

QByteArray romJsonOutput(const AuditInputs &inputs, const RomResults &results)
{
    std::vector<NamedList> lists;
    for (const RomList which : {RomList::Valid, RomList::Missing, RomList::Unknown}) {
        lists.emplace_back(romListKey(which), &romList(results, which));
    }
    return jsonOutput(u"roms"_s, inputs, false, lists);
}

QByteArray videoJsonOutput(const AuditInputs &inputs, const VideoResults &results)
{
    std::vector<NamedList> lists;
    for (const VideoList which : {VideoList::Valid, VideoList::Missing, VideoList::Extra, VideoList::Unknown}) {
        lists.emplace_back(videoListKey(which), &videoList(results, which));
    }
    return jsonOutput(u"videos"_s, inputs, true, lists);
}

} // namespace zelvora::cli
