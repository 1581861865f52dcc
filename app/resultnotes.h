#pragma once

#include "audit/dirwalk.h"

#include <QString>
#include <optional>

namespace zelvora {

// What is shown beside an audit's result when the result may hold fewer files than the tree: the
// Zelvora directory was not there, or some folders could not be read. Empty text: nothing to say.
struct ResultNotes
{
    QString text;
    QString toolTip;
};

// `zelvoraDir` is the audited directory, which the walk's folder paths are relative to.
ResultNotes resultNotes(const QString &zelvoraDir, const std::optional<QString> &dirWarning, const WalkReport &walk);

} // namespace zelvora
