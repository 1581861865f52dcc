#pragma once

// List and names: the map. Every name the engine holds is UTF-8 bytes in a NameBlock (nameblock.h): one
// block per list, a million names in two allocations. romslist.h reads and decodes the supported roms
// list (once per run) into such a block; filenames.h turns file names into text and back without losing a
// byte; names.h (here) and namesort.h give the one ordering every list is sorted in; merge.h compares two
// sorted blocks in one forward pass and gives the result lists as views of their names. textunits.h and
// growingarray.h are the small tools the others share.
//
// The ordering of every name list, as text and as UTF-8 bytes.

#include <QStringView>
#include <string_view>

namespace zelvora {

// The last component of a path: "a/b/game1.zip" gives "game1.zip"; trailing separators are ignored.
QStringView lastPathComponent(QStringView path);

// The ordering of every name list: the names' last path components compared without regard to
// letter case (Unicode case folding). Returns -1, 0 or +1.
int compareSringsCaseInsensitive(QStringView a, QStringView b);

// The same ordering for names kept as UTF-8: for two last components (names without a separator).
// ASCII is compared as it stands; past it the names are compared as text.
int compareNameComponents(std::string_view a, std::string_view b);

} // namespace zelvora
