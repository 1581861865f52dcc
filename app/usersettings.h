#pragma once

#include <QString>
#include <QStringList>

class QCheckBox;
class QLineEdit;
class QTabWidget;

namespace zelvora {

class SettingsStore;

// What the window keeps between runs: the two paths under their long-standing keys, and under keys of
// its own the window's geometry, the shown tab, the check box, the recent Zelvora directories and the
// folder of the last save.
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

    // The folder the last save or export wrote in, where the next one's panel opens.
    QString lastSaveFolder() const { return m_lastSaveFolder; }
    void noteSaveFolder(const QString &folder) { m_lastSaveFolder = folder; }

private:
    SettingsStore &m_store;
    QStringList m_recentDirectories;
    QString m_lastSaveFolder;
};

} // namespace zelvora
