#pragma once

// The two paths the window keeps between runs, as both the window and the command line see them:
// where they are stored, under which keys, and what counts as a stored path. The window reads and
// writes them with QSettings(kSettingsOrganization, kSettingsApplication); the command line only
// reads the user's own file of that store, through readStoredPaths.

#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <optional>

QT_BEGIN_NAMESPACE
class QVariant;
QT_END_NAMESPACE

namespace zelvora {

inline constexpr QStringView kSettingsOrganization = u"zelvora";
inline constexpr QStringView kSettingsApplication = u"zelvora-auditor";
inline constexpr QStringView kZelvoraDirPathKey = u"ZelvoraDirPath";
inline constexpr QStringView kZelvoraRomsListPathKey = u"ZelvoraRomsListPath";

// A settings file larger than this is not read by the command line: the window writes two paths.
inline constexpr qint64 kStoredSettingsMaxBytes = qint64(64) * 1024;

// A stored value as the text of a path: plain text, or bytes QSettings keeps as @ByteArray(...),
// decoded as UTF-8. Anything else (a list such as "a, b", a number or another value serialised as
// @Variant(...), a rectangle) is no text, and neither is an absent key. An empty text is text.
std::optional<QString> storedText(const QVariant &value);

struct StoredPaths
{
    std::optional<QString> zelvoraDir;
    std::optional<QString> romsListPath;
};

// The user's own file of the store: $XDG_CONFIG_HOME/zelvora/zelvora-auditor.conf on Linux.
QString userSettingsFile();

// The two paths in the settings file `fileName`, read by storedText's rule, without QSettings'
// fallbacks (the organisation's file, $XDG_CONFIG_DIRS). The file is read only when it is a regular
// file (a link to one is followed) of at most kStoredSettingsMaxBytes, and never waited for: anything
// else, or a file that cannot be read, holds no paths.
StoredPaths readStoredPaths(const QString &fileName);

} // namespace zelvora
