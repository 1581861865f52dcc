#pragma once

#include "audit/checks/problems.h"
#include "audit/files/history.h"
#include "audit/walk/dirwalk.h"

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
};

// What an audit adds once its lists are shown, found on a worker of its own: its problems, and what
// changed since the previous audit of the same inputs (none on a first run).
struct AuditExtras
{
    // None when they were not looked for: a newer result replaced this one first, or memory ran out.
    std::shared_ptr<const std::vector<Problem>> problems;
    std::optional<AuditChanges> changes;
    // Why the changes are not tracked, or the extras could not be found; empty when all went well.
    QString warning;
};

// `zelvoraDir` is the audited directory, which the walk's folder paths are relative to.
ResultNotes resultNotes(const QString &zelvoraDir, const std::optional<QString> &dirWarning, const WalkReport &walk);

} // namespace zelvora
