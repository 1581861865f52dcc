#pragma once

#include "audit/files/storedsettings.h"

#include <QSettings>
#include <QString>
#include <optional>

namespace zelvora {

// The user's per-user store of text values.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    // Empty when the key is absent or its value is not text (storedText's rule).
    virtual std::optional<QString> stringForKey(const QString &key) const = 0;
    virtual void setString(const QString &key, const QString &value) = 0;
    // Writes pending changes to permanent storage now.
    virtual void synchronize() = 0;
};

// QSettings of organization "zelvora", application "zelvora-auditor"; on Linux
// ~/.config/zelvora/zelvora-auditor.conf (userSettingsFile()), without fallbacks, so that it reads
// what the command line reads.
class QtSettingsStore final : public SettingsStore
{
public:
    QtSettingsStore();
    // A store kept in the INI file at `fileName`.
    explicit QtSettingsStore(const QString &fileName);

    std::optional<QString> stringForKey(const QString &key) const override;
    void setString(const QString &key, const QString &value) override;
    void synchronize() override;

private:
    QSettings m_settings;
};

} // namespace zelvora
