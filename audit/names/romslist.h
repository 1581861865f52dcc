#pragma once

#include "audit/names/nameblock.h"

#include <QByteArrayView>
#include <QString>
#include <optional>
#include <string_view>

namespace zelvora {

inline constexpr qint64 kRomsListMaxBytes = 2'097'152;
inline constexpr QStringView kRomsListFileName = u"- Supported Games Lookup For Naming.txt";

// Decodes the bytes of a supported roms list: UTF-8, UTF-16 or UTF-32 after a byte-order mark (the
// mark is dropped); without one, UTF-8 when the bytes are valid UTF-8, else Windows-1252 unless they
// hold a NUL byte, which no such text has (binary data is not a list).
// Empty when the bytes cannot be decoded in the encoding their mark names.
std::optional<QString> decodeRomsListText(QByteArrayView bytes);

// Why a supported roms list was refused.
enum class RomsListFault { Missing, NotRegularFile, TooBig, Unreadable, NotDecodable };

// "missing", "not a regular file", "over 2 MiB", "unreadable", "not decodable".
QString romsListFaultText(RomsListFault fault);

// The non-empty lines of the supported roms list at `path`, exactly as written, in file order, as UTF-8
// in one block; given `extension`, each of them as setExtensionOfFilenames gives it that one. Every one
// of U+000A..U+000D, U+0085, U+2028 and U+2029 ends a line. Empty when the path names nothing, a
// directory, a symbolic link or another non-regular file, a file over kRomsListMaxBytes, or text that
// cannot be decoded; then `fault`, if given, says which.
std::optional<NameBlock> readRomsListBlock(const QString &path, std::string_view extension = {},
                                           RomsListFault *fault = nullptr);

// The bytes of the list file at `path`: empty, with `fault` saying why, when it names nothing, a directory,
// a link or another non-regular file, or a file over kRomsListMaxBytes.
std::optional<QByteArray> readRomsListBytes(const QString &path, RomsListFault &fault);

// readRomsListBlock for bytes already read: what one run reads once and every step then uses.
std::optional<NameBlock> romsListBlock(QByteArrayView bytes, std::string_view extension = {},
                                       RomsListFault *fault = nullptr);

// The same entries, sorted.
std::optional<NameBlock> cacheRomsListFile(const QString &path);

} // namespace zelvora
