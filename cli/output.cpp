#include "cli/output.h"

#include "audit/files/humantext.h"
#include "audit/files/resulttext.h"
#include "audit/names/textunits.h"
#include "audit/parallel.h"
#include "audit/tuning.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace zelvora::cli {

// Each list as the window shows it, with "\n" line ends, one empty line between lists and a newline at
// the end.
template <typename Which, typename Results>
static QByteArray textOutput(const Results &results, std::initializer_list<Which> lists, QStringView (*format)(Which),
                             const NameList &(*list)(const Results &, Which))
{
    QByteArray out;
    for (const Which which : lists) {
        QByteArray text = formatResultText(format(which), list(results, which), "\n");
        // An empty list's text ends in its empty line; the gap to the next list is that line.
        while (text.endsWith('\n'))
            text.chop(1);
        if (!out.isEmpty())
            out += '\n';
        out += text;
        out += '\n';
    }
    return out;
}

QByteArray romTextOutput(const RomResults &results)
{
    return textOutput(results, {RomList::Valid, RomList::Missing, RomList::Unknown}, romViewFormat, romList);
}

QByteArray videoTextOutput(const VideoResults &results)
{
    return textOutput(results, {VideoList::Valid, VideoList::Missing, VideoList::Extra, VideoList::Unknown},
                      videoViewFormat, videoList);
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

// Writes `text` as a JSON string literal at `p`, which has room for 6 * size + 2 bytes (the worst
// case); returns the end. Units are UTF-16, or bytes of text known to be ASCII.
template <typename Unit> static char *writeJsonString(char *p, const Unit *text, qsizetype size)
{
    *p++ = '"';
    for (qsizetype i = 0; i < size; ++i) {
        const auto u = char16_t(text[i]);
        if (u >= 0x20 && u < 0x80 && u != u'"' && u != u'\\') {
            *p++ = char(u);
        } else if (const char *escape = shortEscape(u)) {
            while (*escape)
                *p++ = *escape++;
        } else if (QChar::isHighSurrogate(u) && i + 1 < size && QChar::isLowSurrogate(char16_t(text[i + 1]))) {
            p = encodeUtf8(QChar::surrogateToUcs4(u, char16_t(text[++i])), p);
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
        } else {
            p = encodeUtf8(u, p);
        }
    }
    *p++ = '"';
    return p;
}

namespace {

// An output buffer written through a pointer: appending name by name through QByteArray costs more
// than encoding the names. With a stream it is written out whenever it fills, so that a million names
// never sit in memory twice, once as lists and once as output.
class OutputBuffer
{
public:
    OutputBuffer() = default;
    explicit OutputBuffer(std::FILE *stream) : m_stream(stream) {}

    void append(const char *text) { append(QByteArrayView(text)); }
    void append(QByteArrayView bytes)
    {
        char *p = room(bytes.size());
        std::memcpy(p, bytes.data(), std::size_t(bytes.size()));
        m_used += bytes.size();
    }
    void appendJsonString(QStringView text)
    {
        m_used = writeJsonString(room(6 * text.size() + 2), text.utf16(), text.size()) - m_bytes.data();
    }
    // A name as UTF-8 bytes, written as its text would be: most are ASCII and need no decoding.
    void appendJsonString(std::string_view name)
    {
        const auto size = qsizetype(name.size());
        if (!isAscii(name))
            appendJsonString(textOfUtf8(name));
        else
            m_used = writeJsonString(room(6 * size + 2), name.data(), size) - m_bytes.data();
    }
    QByteArray take()
    {
        m_bytes.truncate(m_used);
        return std::move(m_bytes);
    }

    bool isStreaming() const { return m_stream != nullptr; }

    QByteArrayView view() const { return {m_bytes.constData(), m_used}; }
    void clear() { m_used = 0; }

    // Appends bytes made elsewhere; a stream takes them as they are, without a copy.
    void write(QByteArrayView bytes)
    {
        // An empty view may hold no pointer at all, which fwrite must not be given.
        if (bytes.isEmpty())
            return;
        if (!m_stream) {
            append(bytes);
            return;
        }
        writeOut();
        if (!m_failed &&
            std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), m_stream) != std::size_t(bytes.size()))
            m_failed = true;
    }

    // Writes what is left to the stream; false when any of the output could not be written.
    bool finish()
    {
        writeOut();
        return !m_failed && std::fflush(m_stream) == 0;
    }

private:
    static constexpr qsizetype kStreamChunk = 1 << 20;

    void writeOut()
    {
        if (!m_failed && m_used > 0 &&
            std::fwrite(m_bytes.constData(), 1, std::size_t(m_used), m_stream) != std::size_t(m_used))
            m_failed = true;
        m_used = 0;
    }

    char *room(qsizetype needed)
    {
        if (m_stream && m_used + needed > kStreamChunk)
            writeOut();
        if (m_used + needed > m_bytes.size())
            m_bytes.resize(std::max(2 * m_bytes.size(), m_used + needed + 4096));
        return m_bytes.data() + m_used;
    }

    std::FILE *m_stream = nullptr;
    QByteArray m_bytes;
    qsizetype m_used = 0;
    bool m_failed = false;
};

} // namespace

using NamedList = std::pair<QString, const NameList *>;

static void writeJson(OutputBuffer &out, const QString &audit, const AuditInputs &inputs, bool withAvailableRomsOnly,
                      const std::vector<NamedList> &lists, QByteArrayView members)
{
    out.append("{\n  \"audit\": ");
    out.appendJsonString(audit);
    out.append(",\n  \"zelvoraDir\": ");
    out.appendJsonString(inputs.zelvoraDir);
    out.append(",\n  \"romsList\": ");
    if (inputs.romsListPath.isEmpty())
        out.append("null");
    else
        out.appendJsonString(inputs.romsListPath);
    if (withAvailableRomsOnly) {
        out.append(",\n  \"availableRomsOnly\": ");
        out.append(inputs.availableRomsOnly ? "true" : "false");
    }
    out.append(",\n  \"lists\": {");
    bool firstList = true;
    for (const NamedList &list : lists) {
        const NameList *names = list.second;
        out.append(firstList ? "\n    " : ",\n    ");
        firstList = false;
        out.appendJsonString(list.first);
        out.append(": [");
        const auto writeNames = [names](OutputBuffer &to, qsizetype from, qsizetype end) {
            for (qsizetype i = from; i < end; ++i) {
                to.append(i == 0 ? "\n      " : ",\n      ");
                to.appendJsonString(names->at(i));
            }
        };
        const auto count = qsizetype(names->size());
        if (out.isStreaming() && count >= tuning::kJsonOnTwoCoresFrom) {
            // Names go in pairs of runs: the second run of each pair is encoded on another core meanwhile,
            // into a buffer of its own, and written after the first.
            OutputBuffer ahead;
            for (qsizetype from = 0; from < count; from += 2 * tuning::kJsonRun) {
                const qsizetype middle = std::min(from + tuning::kJsonRun, count);
                const qsizetype end = std::min(middle + tuning::kJsonRun, count);
                onTwoCores([&](int half) {
                    if (half == 0)
                        writeNames(ahead, middle, end);
                    else
                        writeNames(out, from, middle);
                });
                out.write(ahead.view());
                ahead.clear();
            }
        } else {
            writeNames(out, 0, count);
        }
        out.append(names->empty() ? "]" : "\n    ]");
    }
    out.append("\n  }");
    out.write(members);
    out.append("\n}\n");
}

bool writeRomJsonOutput(std::FILE *stream, const AuditInputs &inputs, const RomResults &lists, QByteArrayView members)
{
    OutputBuffer out(stream);
    writeJson(out, u"roms"_s, inputs, false,
              {{romListKey(RomList::Valid), &lists.valid},
               {romListKey(RomList::Missing), &lists.missing},
               {romListKey(RomList::Unknown), &lists.unknown}},
              members);
    return out.finish();
}

bool writeVideoJsonOutput(std::FILE *stream, const AuditInputs &inputs, const VideoResults &lists,
                          QByteArrayView members)
{
    OutputBuffer out(stream);
    writeJson(out, u"videos"_s, inputs, true,
              {{videoListKey(VideoList::Valid), &lists.valid},
               {videoListKey(VideoList::Missing), &lists.missing},
               {videoListKey(VideoList::Extra), &lists.extra},
               {videoListKey(VideoList::Unknown), &lists.unknown}},
              members);
    return out.finish();
}

QByteArray jsonString(QStringView text)
{
    OutputBuffer out;
    out.appendJsonString(text);
    return out.take();
}

QByteArray jsonString(std::string_view name)
{
    OutputBuffer out;
    out.appendJsonString(name);
    return out.take();
}

void printTo(std::FILE *stream, const QString &text)
{
    // Each line through the one rule again: a message that forgot it still cannot reach the terminal raw.
    const QString lines = shownLines(text);
    const QByteArray bytes = lines.toUtf8();
    static_cast<void>(std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream));
}

} // namespace zelvora::cli
