#pragma once

// From near misses to renames: which reasons a user may ask to rename ("all", or a comma list of
// identifiers), and the safe renames that give each chosen pair's file its expected name in its own
// folder. A file in another format is never renamed: a new name can't change what is inside it.

#include "audit/nearmiss/nearmiss.h"
#include "audit/nearmiss/saferename.h"

#include <QStringView>
#include <bitset>
#include <variant>
#include <vector>

namespace zelvora {

using NearMissReasons = std::bitset<10>;

inline bool isRenamable(NearMissReason reason)
{
    return reason != NearMissReason::OtherFormat;
}

// "all" (every renamable reason) or identifiers separated by commas; the error text names what is wrong.
std::variant<NearMissReasons, QString> parseRenameReasons(QStringView text);

// The renames of the pairs whose reason is in `reasons`, in the pairs' order.
std::vector<RenameRequest> renameRequests(const NearMisses &nearMisses, const NearMissReasons &reasons);

} // namespace zelvora
