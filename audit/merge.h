#pragma once

#include "audit/names.h"

#include <QStringList>

namespace zelvora {

struct RomResults
{
    QStringList valid;
    QStringList missing;
    QStringList unknown;
};

struct VideoResults
{
    QStringList valid;
    QStringList missing;
    QStringList extra;
    QStringList unknown;
};

// The merges compare with `compare` when given, else with compareSringsCaseInsensitive.

// One forward pass over the found archive names and the supported names (extension already
// "zip"); both sorted by compareSringsCaseInsensitive.
RomResults mergeRoms(const QStringList &found, const QStringList &supported);
RomResults mergeRoms(const QStringList &found, const QStringList &supported, const NameComparison &compare);
// The same, taking the names rather than copying them; the lists are left holding empty names.
RomResults mergeRoms(QStringList &&found, QStringList &&supported, const NameComparison &compare);

// One forward pass over the found videos and the expected names, with an optional forward walk over
// the look-up names (check box on: the supported names, extension "xmv"). All sorted by
// compareSringsCaseInsensitive. Without look-up names every unmatched name is missing or unknown.
VideoResults mergeVideos(const QStringList &videos, const QStringList &expected, const QStringList *lookup);
VideoResults mergeVideos(const QStringList &videos, const QStringList &expected, const QStringList *lookup,
                         const NameComparison &compare);
VideoResults mergeVideos(QStringList &&videos, QStringList &&expected, const QStringList *lookup,
                         const NameComparison &compare);

// The same for names found on disk (sorted by sortNameBlock), whose text is made only for the names a
// result list takes.
RomResults mergeRoms(const NameBlock &found, QStringList &&supported, const NameComparison &compare);
VideoResults mergeVideos(const NameBlock &videos, QStringList &&expected, const QStringList *lookup,
                         const NameComparison &compare);
VideoResults mergeVideos(const NameBlock &videos, const NameBlock &expected, const QStringList *lookup,
                         const NameComparison &compare);

} // namespace zelvora
