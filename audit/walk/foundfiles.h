#pragma once

// The files a walk counted: their names in one block, and for each the folder it lies in, as an index
// into a table of folders, so that a million files cost a few arrays and every later step can still say
// where a file is.

#include "audit/names/growingarray.h"
#include "audit/names/nameblock.h"
#include "audit/walk/dirwalk.h"

#include <QtGlobal>
#include <string_view>

namespace zelvora {

struct FoundFiles
{
    NameBlock names;
    // For each name, its folder's index in `folderPaths`.
    GrowingArray<quint32> folders;
    // Folders relative to the Zelvora directory ("roms/a/b"), as bytes; only those holding a counted file.
    NameBlock folderPaths;
    // What the walk that found them could not see.
    WalkReport walk;

    qsizetype size() const { return names.size(); }
    std::string_view folderOf(qsizetype i) const { return folderPaths.at(qsizetype(folders[std::size_t(i)])); }

    // Appends the files of `other`, folders and all.
    void append(const FoundFiles &other)
    {
        const auto base = quint32(folderPaths.size());
        names.append(other.names);
        folderPaths.append(other.folderPaths);
        folders.reserve(folders.size() + other.folders.size());
        for (const quint32 folder : other.folders)
            folders.push_back(base + folder);
        walk.append(other.walk);
    }
};

} // namespace zelvora
