#include "apptestfixture.h"
#include "platform/segmentedcontrol.h"
#include "platform/settingsstore.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

const QString kDirKey = u"ZelvoraDirPath"_s;
const QString kListKey = u"ZelvoraRomsListPath"_s;

class SettingsTest : public AppTest
{
protected:
    void SetUp() override
    {
        ui().zelvoraDirPathTextField->setText(u"initial dir"_s);
        ui().romsListPathTextField->setText(u"initial list"_s);
    }
};

TEST_F(SettingsTest, LaunchRestoresWhatTheStoreHolds)
{
    const struct
    {
        const char *name;
        std::optional<QString> storedDir;
        std::optional<QString> storedList;
        QString dirAfter;
        QString listAfter;
    } cases[] = {
        {"first run", std::nullopt, std::nullopt, u"initial dir"_s, u"initial list"_s},
        {"only the directory", u"/zelvora"_s, std::nullopt, u"/zelvora"_s, u"initial list"_s},
        {"empty texts", u""_s, u""_s, u""_s, u""_s},
        {"spaces, non-ASCII and a trailing separator", u"/media/Jogos Árcade/zelvora/"_s,
         u"/media/Jogos Árcade/zelvora/- Supported Games Lookup For Naming.txt"_s, u"/media/Jogos Árcade/zelvora/"_s,
         u"/media/Jogos Árcade/zelvora/- Supported Games Lookup For Naming.txt"_s},
        {"a path that no longer exists", u"/gone/away"_s, u"/gone/list"_s, u"/gone/away"_s, u"/gone/list"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        settings.values.clear();
        if (c.storedDir)
            settings.values.insert(kDirKey, *c.storedDir);
        if (c.storedList)
            settings.values.insert(kListKey, *c.storedList);
        ui().zelvoraDirPathTextField->setText(u"initial dir"_s);
        ui().romsListPathTextField->setText(u"initial list"_s);

        controller.applicationDidFinishLaunching();

        EXPECT_EQ(ui().zelvoraDirPathTextField->text(), c.dirAfter);
        EXPECT_EQ(ui().romsListPathTextField->text(), c.listAfter);
        EXPECT_TRUE(settings.writes.isEmpty()) << "restoring writes nothing back";
    }
}

TEST_F(SettingsTest, TerminationStoresBothFieldsThenSynchronizes)
{
    controller.applicationDidFinishLaunching();
    ui().zelvoraDirPathTextField->setText(u""_s);
    ui().romsListPathTextField->setText(u"/média/lista, nova.txt"_s);

    controller.applicationWillTerminate();

    // The two paths first, the window's own keys after them, then one synchronize.
    ASSERT_GE(settings.writes.size(), 3);
    EXPECT_EQ(settings.writes.mid(0, 2), (QStringList{kDirKey, kListKey}));
    EXPECT_EQ(settings.writes.last(), u"<synchronize>"_s);
    EXPECT_EQ(settings.writes.count(u"<synchronize>"_s), 1);
    EXPECT_EQ(settings.stringForKey(kDirKey), std::optional<QString>(u""_s)) << "empty, not absent";
    EXPECT_EQ(settings.stringForKey(kListKey), std::optional<QString>(u"/média/lista, nova.txt"_s));
}

TEST_F(SettingsTest, LaunchThenTerminateWritesBackWhatWasRestored)
{
    settings.values.insert(kDirKey, u"/restored"_s);
    controller.applicationDidFinishLaunching();
    controller.applicationWillTerminate();
    EXPECT_EQ(settings.values.value(kDirKey), u"/restored"_s);
    EXPECT_EQ(settings.values.value(kListKey), u"initial list"_s);
}

} // namespace
} // namespace zelvora::test

namespace zelvora::test {
namespace {

// The window's own keys: what one run leaves, the next finds, through a store of real files.
TEST(RememberedSettings, GeometryTabCheckBoxAndRecentDirectoriesComeBack)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"zelvora-auditor.conf"_s);
    const QRect geometry(40, 50, 900, 700);
    {
        QtSettingsStore store(file);
        MainWindow window;
        OpenPanelDouble panel;
        AlertDouble alert;
        UrlOpenerDouble opener;
        ConfirmDouble confirm;
        QKAppDelegate controller(PlatformServices{store, panel, alert, opener, confirm});
        window.connectController(controller);
        controller.applicationDidFinishLaunching();
        window.setGeometry(geometry);
        window.ui().tabView->setCurrentWidget(window.ui().videosTab);
        window.ui().checkAvailableRomVideosOnly->setChecked(true);
        for (int i = 1; i <= 10; ++i)
            controller.noteRecentDirectory(u"/zelvora/%1"_s.arg(i));
        controller.noteRecentDirectory(u"/zelvora/5"_s); // chosen again: first, once
        controller.noteRecentDirectory(u"/bad\nname"_s);
        controller.applicationWillTerminate();
    }
    QtSettingsStore store(file);
    EXPECT_EQ(store.stringForKey(u"ZelvoraDirPath"_s), std::optional<QString>(u""_s)) << "the old keys stay";
    MainWindow window;
    OpenPanelDouble panel;
    AlertDouble alert;
    UrlOpenerDouble opener;
    ConfirmDouble confirm;
    QKAppDelegate controller(PlatformServices{store, panel, alert, opener, confirm});
    window.connectController(controller);
    controller.applicationDidFinishLaunching();
    EXPECT_EQ(window.geometry().size(), geometry.size());
    EXPECT_EQ(window.ui().tabView->currentWidget(), window.ui().videosTab);
    EXPECT_TRUE(window.ui().checkAvailableRomVideosOnly->isChecked());
    EXPECT_TRUE(window.ui().videosResultControl->isEnabledForSegment(2)) << "the segment follows the check box";
    EXPECT_EQ(controller.recentDirectories(),
              (QStringList{u"/zelvora/5"_s, u"/zelvora/10"_s, u"/zelvora/9"_s, u"/zelvora/8"_s, u"/zelvora/7"_s,
                           u"/zelvora/6"_s, u"/zelvora/4"_s, u"/zelvora/3"_s}));
}

// Two instances writing the settings at once: QSettings' locking keeps the file whole, with both keys.
TEST(RememberedSettings, TwoWritersRacingLeaveAFileWithBothKeys)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"zelvora-auditor.conf"_s);
    constexpr int kWrites = 150;
    QProcess first;
    QProcess second;
    const QString self = QCoreApplication::applicationFilePath();
    first.start(self, {u"--settings-writer"_s, file, u"ZelvoraDirPath"_s, QString::number(kWrites)});
    second.start(self, {u"--settings-writer"_s, file, u"Window/CurrentTab"_s, QString::number(kWrites)});
    ASSERT_TRUE(first.waitForFinished(60000));
    ASSERT_TRUE(second.waitForFinished(60000));
    ASSERT_EQ(first.exitCode(), 0);
    ASSERT_EQ(second.exitCode(), 0);

    QSettings settings(file, QSettings::IniFormat);
    EXPECT_EQ(settings.status(), QSettings::NoError);
    EXPECT_EQ(settings.value(u"ZelvoraDirPath"_s).toString(), QString::number(kWrites));
    EXPECT_EQ(settings.value(u"Window/CurrentTab"_s).toString(), QString::number(kWrites));
    EXPECT_EQ(readStoredPaths(file).zelvoraDir, std::optional<QString>(QString::number(kWrites)));
}

} // namespace
} // namespace zelvora::test
