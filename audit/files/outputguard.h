#pragma once

// A file the program writes must never be one it reads: the supported roms list, or anything inside the
// folders an audit walks (a table written as roms/pacman.zip would destroy a rom, and the next audit
// would count it). Paths are compared as the file system resolves them, links and ".." included.

#include "audit/audits.h"

#include <QString>
#include <optional>

namespace zelvora {

// Why writing `file` would replace the audit's own input, or nothing when it would not. `file` need not
// exist yet, nor its folder.
std::optional<QString> overwrittenInput(const QString &file, const AuditInputs &inputs);

} // namespace zelvora
