#include "platform/settingsstore.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

// `--settings-writer FILE KEY COUNT`: writes KEY COUNT times to the settings file FILE, synchronizing
// each time, as a second instance of the window would; the settings tests race two of these.
static int writeSettings(int argc, char *argv[])
{
    if (argc != 5)
        return 2;
    QCoreApplication app(argc, argv);
    const QString file = QString::fromLocal8Bit(argv[2]);
    const QString key = QString::fromLocal8Bit(argv[3]);
    const int count = QByteArray(argv[4]).toInt();
    for (int i = 1; i <= count; ++i) {
        zelvora::QtSettingsStore store(file);
        store.setString(key, QString::number(i));
        store.synchronize();
    }
    return 0;
}

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--settings-writer") == 0)
        return writeSettings(argc, argv);

    // The test environment sets the platform too; it is repeated for a run straight from a shell, which
    // must not need a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings of this process alone: never the user's, nor those of a test running beside it.
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    // Each audit keeps a record for the next; a test run's records go with it.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
