#include "platform/settingsstore.h"

namespace zelvora {

QtSettingsStore::QtSettingsStore() : m_settings(kSettingsOrganization.toString(), kSettingsApplication.toString()) {}

QtSettingsStore::QtSettingsStore(const QString &fileName) : m_settings(fileName, QSettings::IniFormat) {}

std::optional<QString> QtSettingsStore::stringForKey(const QString &key) const
{
    const QVariant value = m_settings.value(key);
    // A hand-edited value such as "a, b" comes back as a list; that is not text the fields can hold.
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return value.toString();
    default:
        return std::nullopt;
    }
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
