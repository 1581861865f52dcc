#pragma once

// The rules as plain text code, one step at a time, for comparing with the engine's fast paths.

#include "audit/names/names.h"

#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace zelvora::test {

struct TextRoms
{
    QStringList valid;
    QStringList missing;
    QStringList unknown;
    bool operator==(const TextRoms &) const = default;
};

struct TextVideos
{
    QStringList valid;
    QStringList missing;
    QStringList extra;
    QStringList unknown;
    bool operator==(const TextVideos &) const = default;
};

// The rom audit's single pass over two sorted lists.
inline TextRoms referenceRoms(const QStringList &found, const QStringList &supported)
{
    TextRoms r;
    qsizetype f = 0, s = 0;
    while (f < found.size() || s < supported.size()) {
        const int order = f == found.size()       ? 1
                          : s == supported.size() ? -1
                                                  : compareSringsCaseInsensitive(found[f], supported[s]);
        if (order == 0) {
            r.valid.append(supported[s++]);
            ++f;
        } else if (order > 0) {
            r.missing.append(supported[s++]);
        } else {
            r.unknown.append(found[f++]);
        }
    }
    return r;
}

// The video audit's single pass. Without look-up names (null) every unmatched expected name is missing
// and every other video unknown.
inline TextVideos referenceVideos(const QStringList &videos, const QStringList &expected,
                                  const QStringList *lookupNames)
{
    TextVideos r;
    qsizetype v = 0, e = 0, l = 0;
    const QStringList lookup = lookupNames ? *lookupNames : QStringList();
    const auto lookUp = [&](const QString &x) {
        while (l < lookup.size() && compareSringsCaseInsensitive(x, lookup[l]) > 0)
            ++l;
        if (l < lookup.size() && compareSringsCaseInsensitive(x, lookup[l]) == 0) {
            ++l;
            return true;
        }
        return false;
    };
    while (v < videos.size() || e < expected.size()) {
        const int order = v == videos.size()     ? 1
                          : e == expected.size() ? -1
                                                 : compareSringsCaseInsensitive(videos[v], expected[e]);
        if (order == 0) {
            r.valid.append(expected[e++]);
            ++v;
        } else if (order > 0) {
            if (!lookupNames || lookUp(expected[e]))
                r.missing.append(expected[e]);
            ++e;
        } else {
            (lookupNames && lookUp(videos[v]) ? r.extra : r.unknown).append(videos[v]);
            ++v;
        }
    }
    return r;
}

// The list's lines: every one of U+000A..U+000D, U+0085, U+2028 and U+2029 ends one; empty lines go.
inline QStringList referenceSplitLines(QStringView text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const char16_t c = i < text.size() ? text[i].unicode() : u'\n';
        if ((c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029) {
            if (i > start)
                lines.append(text.sliced(start, i - start).toString());
            start = i + 1;
        }
    }
    return lines;
}

// The extension rule: the text after the last dot of the last component, unless that dot starts it.
inline QString referenceWithExtension(QString name, const QString &extension)
{
    while (name.size() > 1 && name.endsWith(u'/'))
        name.chop(1);
    const qsizetype slash = name.lastIndexOf(u'/');
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > slash + 1)
        name.truncate(dot);
    return name + u'.' + extension;
}

} // namespace zelvora::test
