// The window started on a settings file that is damaged, unreadable or holds values that are not
// text: it must come up with the fields it would have without that file, and still store the
// paths at the end where the file allows it.
#include "app/mainwindow.h"
#include "app/qkappdelegate.h"
#include "doubles.h"
#include "platform/settingsstore.h"
#include "support/temptree.h"
#include "support/unprivileged.h"
#include "ui_mainwindow.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

const QString kDirKey = u"ZelvoraDirPath"_s;
const QString kListKey = u"ZelvoraRomsListPath"_s;
const QString kInitialDir = u"initial dir"_s;
const QString kInitialList = u"initial list"_s;

// The real window and controller, on the real settings store kept in `file`.
struct Launched
{
    explicit Launched(const QString &file) : store(file)
    {
        window.connectController(controller);
        window.ui().zelvoraDirPathTextField->setText(kInitialDir);
        window.ui().romsListPathTextField->setText(kInitialList);
        controller.applicationDidFinishLaunching();
    }

    QString dir() { return window.ui().zelvoraDirPathTextField->text(); }
    QString list() { return window.ui().romsListPathTextField->text(); }

    QtSettingsStore store;
    OpenPanelDouble panel;
    AlertDouble alert;
    UrlOpenerDouble urlOpener;
    ConfirmDouble confirm;
    MainWindow window;
    QKAppDelegate controller{PlatformServices{store, panel, alert, urlOpener, confirm}};
};

class SettingsFileTest : public ::testing::Test
{
protected:
    // This process keeps a copy of every settings file it has read, so each case has a file of its
    // own, and what a next start would find is read from the disk rather than through a store.
    QString file(int number = 0) const { return dir.filePath(u"zelvora-auditor-%1.conf"_s.arg(number)); }

    static void quitWithNewPaths(Launched &app)
    {
        app.window.ui().zelvoraDirPathTextField->setText(u"/new/dir"_s);
        app.window.ui().romsListPathTextField->setText(u"/new/list.txt"_s);
        app.controller.applicationWillTerminate();
    }

    TempTree dir;
};

TEST_F(SettingsFileTest, DamagedOrOddValuesStartWithTheFieldsOfAFirstRun)
{
    const struct
    {
        const char *name;
        QByteArray content;
        QString dirAfter;
        QString listAfter;
    } cases[] = {
        {"empty file", "", kInitialDir, kInitialList},
        {"binary garbage", QByteArray("\xff\xfe\x00\x01\x02[[[\n===\n\x80\x81", 15) + "ZelvoraDirPath=/after/garbage\n",
         kInitialDir, kInitialList},
        {"NUL inside a value", QByteArray("[General]\nZelvoraDirPath=/a\0b\n", 30), QString::fromUtf8("/a\0b", 4),
         kInitialList},
        {"a number", "[General]\nZelvoraDirPath=@Variant(\\0\\0\\0\\x2\\0\\0\\0*)\n", kInitialDir, kInitialList},
        {"a map",
         "[General]\nZelvoraRomsListPath=@Variant(\\0\\0\\0\\b\\0\\0\\0\\x1\\0\\0\\0\\x2\\0k\\0\\0\\0\\x2\\0\\0\\0\\x1)"
         "\n",
         kInitialDir, kInitialList},
        {"a list", "[General]\nZelvoraDirPath=a, b\nZelvoraRomsListPath=, \n", kInitialDir, kInitialList},
        {"a rectangle and a size", "[General]\nZelvoraDirPath=@Rect(1 2 3 4)\nZelvoraRomsListPath=@Size(1 2)\n",
         kInitialDir, kInitialList},
        {"a group of that name", "[ZelvoraDirPath]\nx=1\n[ZelvoraRomsListPath]\ny=2\n", kInitialDir, kInitialList},
        {"a broken variant stays text", "[General]\nZelvoraDirPath=@Variant(garbage\n", u"@Variant(garbage"_s,
         kInitialList},
        // The file keeps no types: a bare number is the text of a path like any other.
        {"a bare number is text", "[General]\nZelvoraDirPath=42\nZelvoraRomsListPath=true\n", u"42"_s, u"true"_s},
        {"bytes that are not UTF-8", "[General]\nZelvoraDirPath=@ByteArray(\\xff\\xfe)\n", u"\uFFFD\uFFFD"_s,
         kInitialList},
        {"one good key after a broken line", "[General\nZelvoraDirPath=/still/read\n", u"/still/read"_s, kInitialList},
    };
    int number = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = file(++number);
        dir.file(QFileInfo(path).fileName(), c.content);
        Launched app(path);
        EXPECT_EQ(app.dir(), c.dirAfter);
        EXPECT_EQ(app.list(), c.listAfter);
        // A damaged file must not keep the paths from being stored again.
        quitWithNewPaths(app);
        const QByteArray stored = dir.read(QFileInfo(path).fileName());
        EXPECT_TRUE(stored.contains("\nZelvoraDirPath=/new/dir\n")) << stored.constData();
        EXPECT_TRUE(stored.contains("\nZelvoraRomsListPath=/new/list.txt\n")) << stored.constData();
    }
}

TEST_F(SettingsFileTest, AFolderInPlaceOfTheFileIsNeitherReadNorReplaced)
{
    dir.file(QFileInfo(file()).fileName() + u"/ZelvoraDirPath"_s, "/not/a/setting");
    Launched app(file());
    EXPECT_EQ(app.dir(), kInitialDir);
    EXPECT_EQ(app.list(), kInitialList);

    // The paths are lost silently, as with any store that cannot be written.
    quitWithNewPaths(app);
    EXPECT_TRUE(QFileInfo(file()).isDir());
    EXPECT_EQ(dir.read(QFileInfo(file()).fileName() + u"/ZelvoraDirPath"_s), "/not/a/setting");
}

TEST_F(SettingsFileTest, AFileTheUserMayNotReadGivesNoPaths)
{
    const QByteArray content = "[General]\nZelvoraDirPath=/secret/dir\nZelvoraRomsListPath=/secret/list\n";
    dir.file(QFileInfo(file()).fileName(), content);
    ASSERT_EQ(::chmod(QFile::encodeName(file()).constData(), 0), 0);
    // Only the file's own permission stands in the way, not the private folder around it.
    openToOthers(dir.path(), dir.path());

    // Root reads any file, so the store is opened by an unprivileged child.
    const QByteArray seen = runUnprivileged([this] {
        QtSettingsStore store(file());
        const std::optional<QString> dirPath = store.stringForKey(kDirKey);
        const std::optional<QString> listPath = store.stringForKey(kListKey);
        store.setString(kDirKey, u"/new/dir"_s);
        store.synchronize();
        return QByteArray(dirPath ? "dir:" + dirPath->toUtf8() : "no dir") + ';' +
               (listPath ? "list:" + listPath->toUtf8() : "no list");
    });
    EXPECT_EQ(seen, "no dir;no list");

    ASSERT_EQ(::chmod(QFile::encodeName(file()).constData(), 0600), 0);
    EXPECT_EQ(dir.read(QFileInfo(file()).fileName()), content) << "a file that could not be read is never replaced";
}

} // namespace
} // namespace zelvora::test
