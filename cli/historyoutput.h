#pragma once

// The changes since the previous audit of the same directory and list: as a text section and as the
// JSON member "changes".

#include "audit/files/history.h"

#include <QByteArray>
#include <optional>

namespace zelvora::cli {

// "Changes since <ISO 8601>:" and one line per name ("  now valid: name"), or "  none"; nothing
// without a previous run.
QByteArray changesText(const std::optional<AuditChanges> &changes);

// ",\n  \"changes\": {...}", or null without a previous run.
QByteArray changesJsonMember(const std::optional<AuditChanges> &changes);

} // namespace zelvora::cli
