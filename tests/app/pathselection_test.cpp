#include "app/aboutbox.h"
#include "apptestfixture.h"
#include "version/version.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

const QString kListName = u"- Supported Games Lookup For Naming.txt"_s;

class PathSelectionTest : public AppTest
{
protected:
    void SetUp() override { launchWith(u"/earlier/dir"_s, u"/earlier/list.txt"_s); }

    void chooseZelvoraDirectory(const QString &path)
    {
        panel.willChoose(path);
        QTest::mouseClick(ui().chooseZelvoraDirButton, Qt::LeftButton);
    }
};

TEST_F(PathSelectionTest, FindsTheListBelowTheChosenDirectory)
{
    const struct
    {
        const char *name;
        QStringList files;
        QString expected; // relative to the tree; empty: none found
    } cases[] = {
        {"at depth", {u"a/b/c/"_s + kListName, u"roms/x.zip"_s}, u"a/b/c/"_s + kListName},
        {"at the top", {kListName}, kListName},
        {"letter case differs", {u"- supported games lookup for naming.txt"_s}, {}},
        {"a further extension", {kListName + u".bak"_s}, {}},
        {"a folder of that name is searched, not taken",
         {kListName + u"/inner/"_s + kListName},
         kListName + u"/inner/"_s + kListName},
        {"first in path order", {u"b/"_s + kListName, u"a/"_s + kListName}, u"a/"_s + kListName},
        {"nothing at all", {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempTree tree;
        for (const QString &file : c.files)
            tree.file(file);
        ui().romsListPathTextField->setText(u"/earlier/list.txt"_s);

        chooseZelvoraDirectory(tree.path());
        EXPECT_EQ(ui().zelvoraDirPathTextField->text(), tree.path()) << "the path as the panel gives it";
        waitForRomListSearches(1);

        EXPECT_EQ(ui().romsListPathTextField->text(), c.expected.isEmpty() ? QString() : tree.filePath(c.expected));
    }
}

TEST_F(PathSelectionTest, PanelsOpenAtTheirFieldsPath)
{
    TempTree tree;
    tree.file(u"zelvora/sub/list.txt"_s);
    const QString root = QDir::cleanPath(tree.filePath(u"zelvora"_s));
    const struct
    {
        const char *name;
        QString dir;
        QString list;
        QString dirPanelAt;
        QString listPanelAt;
        QString listSelected;
    } cases[] = {
        {"both exist", root, root + u"/sub/list.txt"_s, root, root + u"/sub"_s, root + u"/sub/list.txt"_s},
        {"gone: the nearest folder above", root + u"/gone/deeper"_s, root + u"/sub/gone.txt"_s, root, root + u"/sub"_s,
         QString()},
        {"no list: the directory's folder", root, QString(), root, root, QString()},
        {"nothing", QString(), QString(), QString(), QString(), QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ui().zelvoraDirPathTextField->setText(c.dir);
        ui().romsListPathTextField->setText(c.list);
        panel.requests.clear();
        panel.willCancel();
        panel.willCancel();
        controller.selectZelvoraDirectory();
        controller.selectRomsListFile();
        ASSERT_EQ(panel.requests.size(), 2);
        EXPECT_EQ(panel.requests[0].directory, c.dirPanelAt);
        EXPECT_EQ(panel.requests[1].directory, c.listPanelAt);
        EXPECT_EQ(panel.requests[1].selectedFile, c.listSelected);
    }
}

TEST_F(PathSelectionTest, PanelsAskForTheRightKindOfItem)
{
    panel.willCancel();
    panel.willCancel();
    QTest::mouseClick(ui().chooseZelvoraDirButton, Qt::LeftButton);
    QTest::mouseClick(ui().chooseRomsListButton, Qt::LeftButton);

    ASSERT_EQ(panel.requests.size(), 2);
    const OpenPanelOptions &directory = panel.requests.at(0);
    EXPECT_EQ(directory.title, u"Zelvora directory"_s);
    EXPECT_EQ(directory.prompt, u"Select"_s);
    EXPECT_TRUE(directory.canChooseDirectories);
    EXPECT_FALSE(directory.canChooseFiles);
    EXPECT_FALSE(directory.allowsMultipleSelection);
    const OpenPanelOptions &list = panel.requests.at(1);
    EXPECT_EQ(list.title, u"Supported roms list"_s);
    EXPECT_EQ(list.prompt, u"Select"_s);
    EXPECT_FALSE(list.canChooseDirectories);
    EXPECT_TRUE(list.canChooseFiles);
    EXPECT_FALSE(list.allowsMultipleSelection);

    // Cancelled: nothing changes and no search starts.
    EXPECT_EQ(ui().zelvoraDirPathTextField->text(), u"/earlier/dir"_s);
    EXPECT_EQ(ui().romsListPathTextField->text(), u"/earlier/list.txt"_s);
    QSignalSpy searches(&controller, &QKAppDelegate::romListSearchFinished);
    EXPECT_FALSE(searches.wait(200));
}

TEST_F(PathSelectionTest, ChoosingTheListFileTouchesNothingElse)
{
    panel.willChoose(u"/home/ana/Listas de jogos/ñandú, 1.txt"_s);
    QTest::mouseClick(ui().chooseRomsListButton, Qt::LeftButton);

    EXPECT_EQ(ui().romsListPathTextField->text(), u"/home/ana/Listas de jogos/ñandú, 1.txt"_s);
    EXPECT_EQ(ui().zelvoraDirPathTextField->text(), u"/earlier/dir"_s);
    QSignalSpy searches(&controller, &QKAppDelegate::romListSearchFinished);
    EXPECT_FALSE(searches.wait(200));
}

TEST_F(PathSelectionTest, AnEarlierSearchNeverOverwritesALaterChoice)
{
    TempTree first;
    first.file(u"deep/"_s + kListName);
    TempTree second;
    second.file(u"other/"_s + kListName);
    TempTree empty;

    // Both choices are made before either search can report back.
    chooseZelvoraDirectory(first.path());
    chooseZelvoraDirectory(second.path());
    waitForRomListSearches(2);
    EXPECT_EQ(ui().romsListPathTextField->text(), second.filePath(u"other/"_s + kListName));

    ui().romsListPathTextField->setText(u"/earlier/list.txt"_s);
    chooseZelvoraDirectory(first.path());
    chooseZelvoraDirectory(empty.path());
    waitForRomListSearches(2);
    EXPECT_EQ(ui().romsListPathTextField->text(), QString()) << "the later directory has no list";

    chooseZelvoraDirectory(first.path());
    panel.willChoose(u"/chosen/by/hand.txt"_s);
    QTest::mouseClick(ui().chooseRomsListButton, Qt::LeftButton);
    waitForRomListSearches(1);
    EXPECT_EQ(ui().romsListPathTextField->text(), u"/chosen/by/hand.txt"_s);
}

TEST_F(PathSelectionTest, TypedDirectoryConfirmedWithEnterIsLookedUpAndNoListIsSaid)
{
    TempTree withList;
    withList.file(u"x/"_s + kListName);
    TempTree without;
    const QString hint = ui().romsListPathTextField->placeholderText();
    const struct
    {
        const TempTree &tree;
        QString list;
        QString placeholder;
    } cases[] = {
        {without, {}, u"No supported roms list found below this folder"_s},
        {withList, withList.filePath(u"x/"_s + kListName), hint},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.tree.path().toStdString());
        ui().zelvoraDirPathTextField->clear();
        ui().zelvoraDirPathTextField->setFocus();
        QTest::keyClicks(ui().zelvoraDirPathTextField, c.tree.path());
        QTest::keyClick(ui().zelvoraDirPathTextField, Qt::Key_Return);
        waitForRomListSearches(1);
        EXPECT_EQ(ui().romsListPathTextField->text(), c.list);
        EXPECT_EQ(ui().romsListPathTextField->placeholderText(), c.placeholder);
    }
}

TEST_F(PathSelectionTest, HomepageWithoutABrowserGivesTheAddressToCopy)
{
    urlOpener.opens = false;
    ui().actionOpenHomepage->trigger();
    ASSERT_EQ(urlOpener.opened.size(), 1);
    ASSERT_EQ(alert.shown.size(), 1) << "a homepage that did not open must not pass for one that did";
    EXPECT_TRUE(alert.shown.at(0).informativeText.contains(urlOpener.opened.at(0).toString()))
        << alert.shown.at(0).informativeText.toStdString();
}

// Sends a drag over `target` and, when it is taken, the drop; returns whether it was taken.
bool dragAndDrop(QWidget *target, const QMimeData &data)
{
    const QPoint at(target->width() / 2, target->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

TEST_F(PathSelectionTest, TakesDroppedFoldersAndListFilesAndRefusesTheRest)
{
    TempTree tree;
    tree.file(u"deep/"_s + kListName);
    tree.file(u"other.txt"_s);
    const QUrl folder = QUrl::fromLocalFile(tree.path());
    const QUrl file = QUrl::fromLocalFile(tree.filePath(u"other.txt"_s));
    enum Target { DirField, ListField, Window };
    const struct
    {
        const char *name;
        Target target;
        QList<QUrl> urls; // empty: plain text
        bool taken;
    } cases[] = {
        {"folder on the directory field", DirField, {folder}, true},
        {"folder on the window", Window, {folder}, true},
        {"file on the list field", ListField, {file}, true},
        {"file on the directory field", DirField, {file}, false},
        {"file on the window", Window, {file}, false},
        {"folder on the list field", ListField, {folder}, false},
        {"two folders", DirField, {folder, folder}, false},
        {"a web address", Window, {QUrl(u"https://example.org/x"_s)}, false},
        {"absent folder", DirField, {QUrl::fromLocalFile(tree.filePath(u"gone"_s))}, false},
        {"plain text", DirField, {}, false},
        {"plain text on the list field", ListField, {}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ui().zelvoraDirPathTextField->setText(u"/earlier/dir"_s);
        ui().romsListPathTextField->setText(u"/earlier/list.txt"_s);
        QMimeData data;
        if (c.urls.isEmpty())
            data.setText(tree.path());
        else
            data.setUrls(c.urls);
        QWidget *target = c.target == DirField    ? static_cast<QWidget *>(ui().zelvoraDirPathTextField)
                          : c.target == ListField ? static_cast<QWidget *>(ui().romsListPathTextField)
                                                  : &window;

        EXPECT_EQ(dragAndDrop(target, data), c.taken);
        if (c.taken && c.target != ListField) {
            waitForRomListSearches(1);
            EXPECT_EQ(ui().zelvoraDirPathTextField->text(), tree.path());
            EXPECT_EQ(ui().romsListPathTextField->text(), tree.filePath(u"deep/"_s + kListName));
        } else {
            EXPECT_EQ(ui().zelvoraDirPathTextField->text(), u"/earlier/dir"_s);
            EXPECT_EQ(ui().romsListPathTextField->text(),
                      c.taken ? tree.filePath(u"other.txt"_s) : u"/earlier/list.txt"_s);
        }
    }
}

TEST_F(PathSelectionTest, OpensTheHomepageFromTheHelpMenuAndTheAboutBox)
{
    ui().actionOpenHomepage->trigger();
    ASSERT_EQ(urlOpener.opened.size(), 1);
    const QUrl url = urlOpener.opened.at(0);
    EXPECT_TRUE(url.isValid());
    EXPECT_TRUE(url.scheme() == u"https"_s || url.scheme() == u"http"_s) << url.toString().toStdString();

    ui().actionAbout->trigger();
    auto *box = window.findChild<AboutBox *>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    auto *text = box->findChild<QLabel *>(u"aboutText"_s);
    ASSERT_NE(text, nullptr);
    for (const QString &shown : {versionText(), u"MIT licence"_s, url.toString()})
        EXPECT_TRUE(text->text().contains(shown.toHtmlEscaped())) << shown.toStdString();

    // What a click on the link sends.
    Q_EMIT text->linkActivated(url.toString());
    ASSERT_EQ(urlOpener.opened.size(), 2);
    EXPECT_EQ(urlOpener.opened.at(1), url);
    box->close();
}

} // namespace
} // namespace zelvora::test
