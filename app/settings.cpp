// What the window keeps between runs: the two paths under their long-standing keys, and under keys of
// its own the window's geometry, the shown tab, the check box and the recent Zelvora directories.
#include "app/qkappdelegate.h"
#include "audit/files/storedsettings.h"
#include "platform/settingsstore.h"

#include <QByteArray>
#include <QLineEdit>
#include <QWidget>
#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

const QString kGeometryKey = u"Window/Geometry"_s;
const QString kCurrentTabKey = u"Window/CurrentTab"_s;
const QString kAvailableRomVideosOnlyKey = u"Window/AvailableRomVideosOnly"_s;
const QString kRecentDirectoriesKey = u"Window/RecentZelvoraDirectories"_s;

// The tab is stored by name, so a tab added later does not shift what was stored.
constexpr std::array<QStringView, 2> kTabNames{u"roms", u"videos"};

} // namespace

void QKAppDelegate::loadUserDefaults()
{
    // An absent key leaves the field as the window gave it; an empty text is restored as empty.
    if (const std::optional<QString> path = m_settings.stringForKey(kZelvoraDirPathKey.toString()))
        zelvoraDirPathTextField()->setText(*path);
    if (const std::optional<QString> path = m_settings.stringForKey(kZelvoraRomsListPathKey.toString()))
        romsListPathTextField()->setText(*path);

    // The window's own keys: anything unexpected in them is ignored, never an error.
    if (const std::optional<QString> geometry = m_settings.stringForKey(kGeometryKey))
        tabView()->window()->restoreGeometry(QByteArray::fromBase64(geometry->toLatin1()));
    if (const std::optional<QString> tab = m_settings.stringForKey(kCurrentTabKey)) {
        const auto *named = std::find(kTabNames.begin(), kTabNames.end(), *tab);
        if (named != kTabNames.end())
            tabView()->setCurrentIndex(int(named - kTabNames.begin()));
    }
    if (const std::optional<QString> only = m_settings.stringForKey(kAvailableRomVideosOnlyKey);
        only && (*only == u"true"_s || *only == u"false"_s)) {
        checkAvailableRomVideosOnly()->setChecked(*only == u"true"_s);
        didClickCheckAvailableRomVideosOnly(checkAvailableRomVideosOnly());
    }
    m_recentDirectories.clear();
    if (const std::optional<QString> recent = m_settings.stringForKey(kRecentDirectoriesKey)) {
        for (const QString &directory : recent->split(u'\n', Qt::SkipEmptyParts))
            if (m_recentDirectories.size() < kRecentDirectoryCount && !m_recentDirectories.contains(directory))
                m_recentDirectories.append(directory);
    }
}

void QKAppDelegate::saveUserDefaults()
{
    m_settings.setString(kZelvoraDirPathKey.toString(), zelvoraDirPathTextField()->text());
    m_settings.setString(kZelvoraRomsListPathKey.toString(), romsListPathTextField()->text());
    m_settings.setString(kGeometryKey, QString::fromLatin1(tabView()->window()->saveGeometry().toBase64()));
    const int tab = tabView()->currentIndex();
    m_settings.setString(kCurrentTabKey, kTabNames[std::size_t(tab == 1 ? 1 : 0)].toString());
    m_settings.setString(kAvailableRomVideosOnlyKey,
                         checkAvailableRomVideosOnly()->isChecked() ? u"true"_s : u"false"_s);
    m_settings.setString(kRecentDirectoriesKey, m_recentDirectories.join(u'\n'));
    m_settings.synchronize();
}

void QKAppDelegate::noteRecentDirectory(const QString &directory)
{
    // One line per directory: a name with a line break in it is not kept.
    if (directory.isEmpty() || directory.contains(u'\n'))
        return;
    m_recentDirectories.removeAll(directory);
    m_recentDirectories.prepend(directory);
    while (m_recentDirectories.size() > kRecentDirectoryCount)
        m_recentDirectories.removeLast();
}

void QKAppDelegate::clearRecentDirectories()
{
    m_recentDirectories.clear();
}

} // namespace zelvora
