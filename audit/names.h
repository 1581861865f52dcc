#pragma once

#include "audit/nameblock.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <initializer_list>

namespace zelvora {

// The last component of a path: "a/b/game1.zip" gives "game1.zip"; trailing separators are ignored.
QStringView lastPathComponent(QStringView path);

// The ordering of every name list: the names' last path components compared without regard to
// letter case (Unicode case folding). Returns -1, 0 or +1.
int compareSringsCaseInsensitive(QStringView a, QStringView b);

// True when a name of the list holds a path separator.
bool anyHasSeparator(const QStringList &names);

// compareSringsCaseInsensitive for the names of the given lists (null entries are ignored),
// skipping the search for separators when none of them holds one (file names never do).
class NameComparison
{
public:
    explicit NameComparison(std::initializer_list<const QStringList *> lists);
    // For names known to hold no separator (or known to hold some).
    explicit NameComparison(bool namesHoldSeparators) : m_plain(!namesHoldSeparators) {}
    int operator()(QStringView a, QStringView b) const;
    bool holdsSeparators() const { return !m_plain; }

private:
    bool m_plain;
};

// Sorts ascending by compareSringsCaseInsensitive. Returns whether a name holds a path separator,
// found on the way, so that later comparisons of these names need not look again.
bool sortNames(QStringList &names);

// The same order for names found on disk.
NameBlock sortNameBlock(const NameBlock &names);

// The text after the last dot of the last path component; empty when there is none or when that
// dot is the component's first character.
QStringView pathExtension(QStringView name);

// Replaces (or adds) the extension of every name, in place, keeping the order:
// "ver1.1" becomes "ver1.zip", ".hidden" becomes ".hidden.zip".
void setExtensionOfFilenames(const QString &extension, QStringList &filenames);

} // namespace zelvora
