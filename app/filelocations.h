#pragma once

// Where a listed name lies on disk: found names are looked up in the audit's found files, which know
// each file's folder; a name no walk found (a missing one) has no path.

#include "audit/walk/foundfiles.h"

#include <QString>
#include <optional>
#include <string_view>

namespace zelvora {

// The path of the found file that `name` stands for, below `zelvoraDir`, the directory the walk ran
// on; `found` is sorted. Empty when no found file has that name.
std::optional<QString> foundFilePath(const QString &zelvoraDir, const FoundFiles &found, std::string_view name);

} // namespace zelvora
