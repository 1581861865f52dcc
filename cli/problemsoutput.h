#pragma once

// The problems section of the command's output: as text, and as the JSON member "problems".

#include "audit/checks/problems.h"

#include <QByteArray>
#include <vector>

namespace zelvora::cli {

// "Found N problems:" and one line per problem ("  kind: path (detail)"), "\n" line ends.
QByteArray problemsText(const std::vector<Problem> &problems);

// ",\n  \"problems\": [...]", each problem an object with "kind", "path" and "detail".
QByteArray problemsJsonMember(const std::vector<Problem> &problems);

} // namespace zelvora::cli
