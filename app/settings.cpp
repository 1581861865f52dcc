#include "app/qkappdelegate.h"
#include "app/usersettings.h"
#include "audit/files/storedsettings.h"
#include "platform/settingsstore.h"

#include <QByteArray>
#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>
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
const QString kLastSaveFolderKey = u"Window/LastSaveFolder"_s;

// The tab is stored by name, so a tab added later does not shift what was stored.
constexpr std::array<QStringView, 2> kTabNames{u"roms", u"videos"};

} // namespace

bool UserSettings::load(const Fields &fields)
{
    // An absent key leaves the field as the window gave it; an empty text is restored as empty.
    if (const std::optional<QString> path = m_store.stringForKey(kZelvoraDirPathKey.toString()))
        fields.zelvoraDir->setText(*path);
    if (const std::optional<QString> path = m_store.stringForKey(kZelvoraRomsListPathKey.toString()))
        fields.romsList->setText(*path);

    bool restoredCheckBox = false;
    // The window's own keys: anything unexpected in them is ignored, never an error.
    if (const std::optional<QString> geometry = m_store.stringForKey(kGeometryKey))
        fields.tabs->window()->restoreGeometry(QByteArray::fromBase64(geometry->toLatin1()));
    if (const std::optional<QString> tab = m_store.stringForKey(kCurrentTabKey)) {
        const auto *named = std::find(kTabNames.begin(), kTabNames.end(), *tab);
        if (named != kTabNames.end())
            fields.tabs->setCurrentIndex(int(named - kTabNames.begin()));
    }
    if (const std::optional<QString> only = m_store.stringForKey(kAvailableRomVideosOnlyKey);
        only && (*only == u"true"_s || *only == u"false"_s)) {
        fields.availableRomVideosOnly->setChecked(*only == u"true"_s);
        restoredCheckBox = true;
    }
    m_recentDirectories.clear();
    if (const std::optional<QString> recent = m_store.stringForKey(kRecentDirectoriesKey)) {
        for (const QString &directory : recent->split(u'\n', Qt::SkipEmptyParts))
            if (m_recentDirectories.size() < kRecentDirectoryCount && !m_recentDirectories.contains(directory))
                m_recentDirectories.append(directory);
    }
    m_lastSaveFolder = m_store.stringForKey(kLastSaveFolderKey).value_or(QString());
    return restoredCheckBox;
}

void UserSettings::save(const Fields &fields)
{
    m_store.setString(kZelvoraDirPathKey.toString(), fields.zelvoraDir->text());
    m_store.setString(kZelvoraRomsListPathKey.toString(), fields.romsList->text());
    m_store.setString(kGeometryKey, QString::fromLatin1(fields.tabs->window()->saveGeometry().toBase64()));
    const int tab = fields.tabs->currentIndex();
    m_store.setString(kCurrentTabKey, kTabNames[std::size_t(tab == 1 ? 1 : 0)].toString());
    m_store.setString(kAvailableRomVideosOnlyKey, fields.availableRomVideosOnly->isChecked() ? u"true"_s : u"false"_s);
    m_store.setString(kRecentDirectoriesKey, m_recentDirectories.join(u'\n'));
    m_store.setString(kLastSaveFolderKey, m_lastSaveFolder);
    m_store.synchronize();
}

void UserSettings::noteRecentDirectory(const QString &directory)
{
    // One line per directory: a name with a line break in it is not kept.
    if (directory.isEmpty() || directory.contains(u'\n'))
        return;
    m_recentDirectories.removeAll(directory);
    m_recentDirectories.prepend(directory);
    while (m_recentDirectories.size() > kRecentDirectoryCount)
        m_recentDirectories.removeLast();
}

void QKAppDelegate::loadUserDefaults()
{
    const UserSettings::Fields fields{zelvoraDirPathTextField(), romsListPathTextField(), tabView(),
                                      checkAvailableRomVideosOnly()};
    if (m_settings.load(fields))
        didClickCheckAvailableRomVideosOnly(checkAvailableRomVideosOnly());
}

void QKAppDelegate::saveUserDefaults()
{
    m_settings.save(UserSettings::Fields{zelvoraDirPathTextField(), romsListPathTextField(), tabView(),
                                         checkAvailableRomVideosOnly()});
}

} // namespace zelvora
