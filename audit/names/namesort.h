#pragma once

// The sort of every name list: names folded once into keys that order like compareSringsCaseInsensitive,
// spread into buckets by their first two folded units, then sorted a byte at a time.

#include "audit/names/nameblock.h"
#include "audit/tuning.h"
#include "audit/walk/foundfiles.h"

#include <string_view>
#include <vector>

namespace zelvora {

// The positions of the names in ascending compareSringsCaseInsensitive order of their last components;
// names that compare equal are ordered by their bytes, so the order never depends on the walk's.
// `sizes` is for the tuning benchmark; the engine keeps the defaults.
std::vector<qint32> sortedPositions(const NameBlock &names, const tuning::SortSizes &sizes = {});

NameBlock sortNameBlock(const NameBlock &names, const tuning::SortSizes &sizes = {});

// The files in the same order, each keeping its folder.
FoundFiles sortFoundFiles(const FoundFiles &files);

// The position in `sorted` (a block in this order) of a name that compares equal to `name`, the one
// with the same bytes if there is such; -1 when none does. A binary search: a handful of comparisons.
qsizetype findSortedName(const NameBlock &sorted, std::string_view name);

} // namespace zelvora
