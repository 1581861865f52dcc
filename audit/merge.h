#pragma once

#include "audit/names.h"

#include <QStringList>
#include <string_view>
#include <vector>

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

// The same for names kept as UTF-8 (found on disk, or read from the list), each block sorted by
// sortNameBlock. A name's text is made only when a result list takes it.
RomResults mergeRoms(const NameBlock &found, const NameBlock &supported);
VideoResults mergeVideos(const NameBlock &videos, const NameBlock &expected, const NameBlock *lookup);

// The same lists as views of the names in the blocks, which must outlive them: for a caller that only
// writes the names out and needs no text of them.
struct RomNameViews
{
    std::vector<std::string_view> valid;
    std::vector<std::string_view> missing;
    std::vector<std::string_view> unknown;
};

struct VideoNameViews
{
    std::vector<std::string_view> valid;
    std::vector<std::string_view> missing;
    std::vector<std::string_view> extra;
    std::vector<std::string_view> unknown;
};

RomNameViews mergeRomViews(const NameBlock &found, const NameBlock &supported);
VideoNameViews mergeVideoViews(const NameBlock &videos, const NameBlock &expected, const NameBlock *lookup);

} // namespace zelvora
