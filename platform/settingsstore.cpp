#include "platform/settingsstore.h"

namespace zelvora {

QtSettingsStore::QtSettingsStore() : m_settings(kSettingsOrganization.toString(), kSettingsApplication.toString())
{
    // Neither the organisation's file nor the system's ($XDG_CONFIG_DIRS): only the user's own.
    m_settings.setFallbacksEnabled(false);
}

QtSettingsStore::QtSettingsStore(const QString &fileName) : m_settings(fileName, QSettings::IniFormat) {}

std::optional<QString> QtSettingsStore::stringForKey(const QString &key) const
{
    // A hand-edited value such as "a, b" comes back as a list; that is not text the fields can hold.
    return storedText(m_settings.value(key));
}

void QtSettingsStore::setString(const QString &key, const QString &value)
{
    m_settings.setValue(key, value);
}

void QtSettingsStore::synchronize()
{
    m_settings.sync();
}

} // namespace zelvora
