#include "app/qkappdelegate.h"
#include "audit/storedsettings.h"
#include "platform/settingsstore.h"

#include <QLineEdit>

namespace zelvora {

void QKAppDelegate::loadUserDefaults()
{
    // An absent key leaves the field as the window gave it; an empty text is restored as empty.
    if (const std::optional<QString> path = m_settings.stringForKey(kZelvoraDirPathKey.toString()))
        zelvoraDirPathTextField()->setText(*path);
    if (const std::optional<QString> path = m_settings.stringForKey(kZelvoraRomsListPathKey.toString()))
        romsListPathTextField()->setText(*path);
}

void QKAppDelegate::saveUserDefaults()
{
    m_settings.setString(kZelvoraDirPathKey.toString(), zelvoraDirPathTextField()->text());
    m_settings.setString(kZelvoraRomsListPathKey.toString(), romsListPathTextField()->text());
    m_settings.synchronize();
}

} // namespace zelvora
