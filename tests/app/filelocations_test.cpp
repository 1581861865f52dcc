// Where a listed name lies: the path behind each line of the result views and the menu items it gives.
#include "apptestfixture.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

using Audit = QKAppDelegate::Audit;

class FileLocationsTest : public AppTest
{
protected:
    void SetUp() override
    {
        zelvora.writeList("alpha\nbeta\ngamma\n");
        zelvora.tree.file(u"roms/a/b/Alpha.zip"_s); // another case than the list's
        zelvora.tree.file(u"roms/beta.zip"_s);
        zelvora.tree.file(u"roms/c/stray.zip"_s);
        zelvora.tree.file(u"videos/v/beta.xmv"_s);
        zelvora.tree.file(u"videos/odd.xmv"_s);
        launchWith(zelvora.tree.path(), zelvora.listPath());
    }

    // The path of each name shown in the audit's view, in order ("" for none).
    QStringList shownPaths(Audit audit)
    {
        QStringList paths;
        const auto lines = controller.pane(audit).shownLines();
        for (qsizetype i = 0; i < lines->lineCount(); ++i)
            if (lines->nameIndexAt(i) >= 0)
                paths.append(controller.pane(audit).filePathAt(i).value_or(QString()));
        return paths;
    }
    QString path(const QString &relative) const { return QDir::cleanPath(zelvora.tree.filePath(relative)); }

    ZelvoraTree zelvora;
};

TEST_F(FileLocationsTest, FoundNamesHaveTheirFilesPathMissingOnesNone)
{
    clickAuditRoms();
    clickAuditVideos();
    const struct
    {
        Audit audit;
        int segment;
        QStringList paths;
    } cases[] = {
        {Audit::Roms, 0, {path(u"roms/a/b/Alpha.zip"_s), path(u"roms/beta.zip"_s)}},
        {Audit::Roms, 1, {QString()}},
        {Audit::Roms, 2, {path(u"roms/c/stray.zip"_s)}},
        {Audit::Videos, 0, {path(u"videos/v/beta.xmv"_s)}},
        {Audit::Videos, 1, {QString(), QString()}},
        {Audit::Videos, 3, {path(u"videos/odd.xmv"_s)}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.segment);
        clickSegment(c.audit == Audit::Roms ? ui().romsResultControl : ui().videosResultControl, c.segment);
        EXPECT_EQ(shownPaths(c.audit), c.paths);
    }
    EXPECT_EQ(controller.pane(Audit::Roms).filePathAt(0), std::nullopt); // the head line
}

TEST_F(FileLocationsTest, MenuOpensTheFolderAndCopiesThePath)
{
    clickAuditRoms();
    const auto actions = [this](qsizetype line) {
        auto menu = std::make_unique<QMenu>();
        controller.addFileActions(Audit::Roms, menu.get(), line);
        return menu;
    };
    clickSegment(ui().romsResultControl, 0);
    const std::unique_ptr<QMenu> menu = actions(2); // Alpha.zip
    auto *open = menu->findChild<QAction *>(u"open-folder"_s);
    auto *copy = menu->findChild<QAction *>(u"copy-path"_s);
    ASSERT_TRUE(open && copy);
    ASSERT_TRUE(open->isEnabled());
    open->trigger();
    ASSERT_EQ(urlOpener.opened.size(), 1);
    EXPECT_EQ(urlOpener.opened[0], QUrl::fromLocalFile(path(u"roms/a/b"_s)));
    copy->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QDir::toNativeSeparators(path(u"roms/a/b/Alpha.zip"_s)));
    EXPECT_EQ(controller.fileToolTipAt(Audit::Roms, 2), QDir::toNativeSeparators(path(u"roms/a/b/Alpha.zip"_s)));

    // A file manager that cannot be started is said.
    urlOpener.opens = false;
    actions(2)->findChild<QAction *>(u"open-folder"_s)->trigger();
    EXPECT_EQ(alert.shown.size(), 1);

    clickSegment(ui().romsResultControl, 1); // missing: no file, nothing to open or copy
    const std::unique_ptr<QMenu> missing = actions(2);
    EXPECT_FALSE(missing->findChild<QAction *>(u"open-folder"_s)->isEnabled());
    EXPECT_FALSE(missing->findChild<QAction *>(u"copy-path"_s)->isEnabled());
    EXPECT_TRUE(controller.fileToolTipAt(Audit::Roms, 2).isEmpty());
}

} // namespace
} // namespace zelvora::test
