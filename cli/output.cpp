#include "cli/output.h"

#include "audit/resulttext.h"

#include <QStringList>
#include <string>
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

void appendJsonString(QByteArray &out, QStringView text)
{
    // Encoded into a reused buffer with room for the worst case (six bytes a unit), then appended
    // whole: appending byte by byte costs more than the encoding.
    static thread_local std::string buffer;
    const qsizetype size = text.size();
    buffer.resize(std::size_t(6 * size + 2));
    char *p = buffer.data();
    *p++ = '"';
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t u = text[i].unicode();
        if (u >= 0x20 && u < 0x80 && u != u'"' && u != u'\\') {
            *p++ = char(u);
        } else if (const char *escape = shortEscape(u)) {
            while (*escape)
                *p++ = *escape++;
        } else if (QChar::isHighSurrogate(u) && i + 1 < size && text[i + 1].isLowSurrogate()) {
            const char32_t cp = QChar::surrogateToUcs4(u, text[++i].unicode());
            *p++ = char(0xF0 | cp >> 18);
            *p++ = char(0x80 | (cp >> 12 & 0x3F));
            *p++ = char(0x80 | (cp >> 6 & 0x3F));
            *p++ = char(0x80 | (cp & 0x3F));
        } else if (u < 0x20 || u == 0x2028 || u == 0x2029 || QChar::isSurrogate(u)) {
            // Control characters must be escaped; the line separators are too, so the output also stays
            // a JavaScript literal; a lone surrogate has no UTF-8 form, only this one.
            static constexpr char hex[] = "0123456789abcdef";
            *p++ = '\\';
            *p++ = 'u';
            *p++ = hex[u >> 12];
            *p++ = hex[u >> 8 & 0xF];
            *p++ = hex[u >> 4 & 0xF];
            *p++ = hex[u & 0xF];
        } else if (u < 0x800) {
            *p++ = char(0xC0 | u >> 6);
            *p++ = char(0x80 | (u & 0x3F));
        } else {
            *p++ = char(0xE0 | u >> 12);
            *p++ = char(0x80 | (u >> 6 & 0x3F));
            *p++ = char(0x80 | (u & 0x3F));
        }
    }
    *p++ = '"';
    out.append(buffer.data(), p - buffer.data());
}

QByteArray jsonString(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() + 2);
    appendJsonString(out, text);
    return out;
}

using NamedList = std::pair<QString, const QStringList *>;

static QByteArray jsonOutput(const QString &audit, const AuditInputs &inputs, bool withAvailableRomsOnly,
                             const std::vector<NamedList> &lists)
{
    qsizetype estimate = 256;
    for (const auto &[key, names] : lists)
        for (const QString &name : *names)
            estimate += name.size() + 12;
    QByteArray out;
    out.reserve(estimate);
    out += "{\n";
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
            appendJsonString(out, names->at(i));
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
