#pragma once

// The lines a result view shows, made one at a time on request. A list of a million names keeps
// its text where it already is (one QString, or the engine's UTF-8 block) and the view asks only for
// the lines it paints, selects or copies. Sources are immutable once built, so a worker may build
// one and hand it to the main thread as a shared_ptr<const ResultLines>. The interface needs nothing
// beyond Qt Core, so a source may live beside the data it reads.

#include <QList>
#include <QString>
#include <memory>

namespace zelvora {

class ResultLines
{
public:
    virtual ~ResultLines() = default;

    // At least 1: an empty text is one empty line.
    virtual qsizetype lineCount() const = 0;
    // Without its line end. Called for visible, selected and copied lines only.
    virtual QString line(qsizetype index) const = 0;
    // A cheap estimate of a line's length in characters, used only to size the horizontal range.
    virtual qsizetype lineLengthHint(qsizetype index) const { return line(index).size(); }
    // Up to a few hundred lines likely to be the widest, for a source that knows them without reading
    // every line. The view measures them beside its own samples, so a lone wide line is reachable by
    // scrolling before it was ever shown.
    virtual QList<qsizetype> longLines() const { return {}; }
    // The whole text, as string() gives it (a copy joins the lines by LF instead); by default the
    // lines joined by CR LF, the line end of result texts.
    virtual QString text() const
    {
        QString whole;
        for (qsizetype i = 0, count = lineCount(); i < count; ++i) {
            if (i > 0)
                whole.append(u"\r\n");
            whole.append(line(i));
        }
        return whole;
    }
};

// The lines of `text`, split as a plain text edit splits them: CR LF, LF, CR, U+2028 and U+2029 each
// end a line. Its text() is `text` exactly as given. Costs one pass over the text and 8 bytes a line.
std::shared_ptr<const ResultLines> makeStringLines(const QString &text);

} // namespace zelvora
