#pragma once

// The audits' forward passes over two sorted lists, giving each result list as views of the names in
// the blocks they were read into: no name is copied.

#include "audit/names/nameblock.h"

#include <string_view>
#include <vector>

namespace zelvora {

// A result list: views of UTF-8 names held by the blocks the merge read, which must outlive it.
using NameList = std::vector<std::string_view>;

struct RomResults
{
    NameList valid;
    NameList missing;
    NameList unknown;
};

struct VideoResults
{
    NameList valid;
    NameList missing;
    NameList extra;
    NameList unknown;
};

// One forward pass over the found archive names and the supported names (extension already "zip"),
// both sorted by sortNameBlock: equal names are valid (the supported name is listed), supported names
// without archive missing, archives without supported name unknown.
RomResults mergeRoms(const NameBlock &found, const NameBlock &supported);

// One forward pass over the found videos and the expected names, with an optional forward walk over
// the look-up names (check box on: the supported names, extension "xmv"), all sorted by sortNameBlock.
// Without look-up names every unmatched name is missing or unknown.
VideoResults mergeVideos(const NameBlock &videoNames, const NameBlock &expectedNames, const NameBlock *lookupNames);

} // namespace zelvora
