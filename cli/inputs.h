#pragma once

#include "audit/audits.h"
#include "audit/files/storedsettings.h"
#include "cli/options.h"

#include <QString>
#include <functional>
#include <variant>

namespace zelvora::cli {

// The audit's inputs from the options, falling back to the paths the desktop application saved,
// which `readSaved` gives. It is called only without -d: a directory given on the command line
// needs nothing from the settings, so they are not read at all. When no list is given and none is
// found, romsListPath stays empty. A usage error comes back as its message.
std::variant<AuditInputs, QString> resolveInputs(const Options &options, const std::function<StoredPaths()> &readSaved);

} // namespace zelvora::cli
