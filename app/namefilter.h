#pragma once

// The filter over a shown result list: which names hold the typed text, regardless of letter case.
// Runs on a worker; a narrowed text only looks again at the names the wider one let through.

#include "app/resultlists.h"

#include <QString>
#include <QStringView>

namespace zelvora {

// The positions of the names of `names` that contain `needle` without regard to letter case (Unicode
// case folding). With `within`, only those positions are looked at: the matches of a text `needle`
// contains.
NamePositions filterNames(const NameList &names, QStringView needle, const NamePositions *within = nullptr);

} // namespace zelvora
