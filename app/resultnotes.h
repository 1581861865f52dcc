#pragma once

#include "audit/dirwalk.h"
#include "audit/history.h"
#include "audit/problems.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace zelvora {

// What is shown beside an audit's result when the result may hold fewer files than the tree: the
// Zelvora directory was not there, or some folders could not be read. Empty text: nothing to say.
struct ResultNotes
{
    QString text;
    QString toolTip;
    // The audit's problems, and what changed since the previous audit of the same inputs (none on a
    // first run), made on the audit's worker.
    std::shared_ptr<const std::vector<Problem>> problems;
    std::optional<AuditChanges> changes;
};

// `zelvoraDir` is the audited directory, which the walk's folder paths are relative to.
ResultNotes resultNotes(const QString &zelvoraDir, const std::optional<QString> &dirWarning, const WalkReport &walk);

} // namespace zelvora
