#pragma once

#include <QString>
#include <QStringList>

class QCheckBox;
class QLineEdit;
class QTabWidget;

namespace zelvora {

class SettingsStore;

// What the window keeps between runs: the two paths under their long-standing keys, and under keys of
// its own the window's geometry, the shown tab, the check box and the recent Zelvora directories.
class UserSettings
{
public:
    struct Fields
    {
        QLineEdit *zelvoraDir;
        QLineEdit *romsList;
        QTabWidget *tabs;
        QCheckBox *availableRomVideosOnly;
    };
    explicit UserSettings(SettingsStore &store) : m_store(store) {}

    // Whether the check box was restored.
    bool load(const Fields &fields);
    void save(const Fields &fields);

    // The Zelvora directories chosen lately, the latest first.
    static constexpr qsizetype kRecentDirectoryCount = 8;
    QStringList recentDirectories() const { return m_recentDirectories; }
    void noteRecentDirectory(const QString &directory);
    void clearRecentDirectories() { m_recentDirectories.clear(); }

private:
    SettingsStore &m_store;
    QStringList m_recentDirectories;
};

} // namespace zelvora
