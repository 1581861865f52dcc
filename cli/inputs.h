#pragma once

#include "audit/audits.h"
#include "cli/options.h"

#include <QString>
#include <optional>
#include <variant>

namespace zelvora::cli {

// The two paths the desktop application keeps in the user's settings; absent when not saved or
// not text.
struct SavedPaths
{
    std::optional<QString> zelvoraDir;
    std::optional<QString> romsListPath;
};

SavedPaths readSavedPaths();

// The audit's inputs from the options, falling back to the saved paths. When no list is given and
// none is found, romsListPath stays empty. A usage error comes back as its message.
std::variant<AuditInputs, QString> resolveInputs(const Options &options, const SavedPaths &saved);

} // namespace zelvora::cli
