// The possible matches in the window: the table's pairs and default checks, "Rename checked…" renaming
// exactly the checked files after one question, the audit running again, and undo putting them back.
#include "app/nearmissview.h"
#include "app/problemsview.h"
#include "app/statusrow.h"
#include "apptestfixture.h"
#include "platform/segmentedcontrol.h"

#include <QAction>
#include <QApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

class NearMissWindowTest : public AppTest
{
protected:
    void SetUp() override
    {
        // The undo journals go to the user's data folder: never the real one.
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        zelvora.writeList("Space Duel\r\nStreet Brawler II\r\nCastle Adventure\r\nbombjack\r\nGalaxy Run\r\n");
        for (const QString &file : {u"roms/near/space_duel.zip"_s, u"roms/near/Street Brawler 2.zip"_s,
                                    u"roms/Castle Advnture.zip"_s, u"roms/bombjack.7z"_s, u"roms/Galaxy Run.zip"_s})
            zelvora.tree.file(file);
        launchWith(zelvora.tree.path(), zelvora.listPath());
    }
    void TearDown() override { qunsetenv("XDG_DATA_HOME"); }

    bool exists(const QString &file) const { return QFileInfo::exists(zelvora.tree.filePath(file)); }

    // Waits for the renames or the undo to end, then for the audits they started.
    void waitForRenames()
    {
        if (controller.isRenaming()) {
            QSignalSpy spy(&controller, &QKAppDelegate::renamingChanged);
            ASSERT_TRUE(spy.wait(20000)) << "the renames did not finish";
        }
        waitForRomsAudit();
    }

    QTemporaryDir data;
    ZelvoraTree zelvora;
};

TEST_F(NearMissWindowTest, RenamesTheCheckedPairsAndUndoPutsThemBack)
{
    clickAuditRoms();
    NearMissPane *pane = window.nearMissPane(0);
    NearMissModel *model = pane->model();
    ASSERT_FALSE(pane->isHidden());
    EXPECT_EQ(pane->countLabel()->text(), u"Possible matches (4)"_s);
    EXPECT_TRUE(window.nearMissPane(1)->isHidden()) << "no video audit yet";

    const struct
    {
        QString expected, found, folder, reason;
        QVariant check; // none: no check box
    } rows[] = {
        {u"Space Duel.zip"_s, u"space_duel.zip"_s, u"roms/near"_s, u"case-and-separators"_s, Qt::Checked},
        {u"Street Brawler II.zip"_s, u"Street Brawler 2.zip"_s, u"roms/near"_s, u"roman-numerals"_s, Qt::Checked},
        {u"Castle Adventure.zip"_s, u"Castle Advnture.zip"_s, u"roms"_s, u"typo"_s, Qt::Unchecked},
        {u"bombjack.zip"_s, u"bombjack.7z"_s, u"roms"_s, u"other-format"_s, {}},
    };
    ASSERT_EQ(model->rowCount(), int(std::size(rows)));
    for (const auto &row : rows) {
        const QModelIndexList found =
            model->match(model->index(0, NearMissModel::Expected), Qt::DisplayRole, row.expected, 1, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << row.expected.toStdString();
        const int r = found.first().row();
        EXPECT_EQ(model->index(r, NearMissModel::Found).data().toString(), row.found) << row.expected.toStdString();
        EXPECT_EQ(model->index(r, NearMissModel::Folder).data().toString(), row.folder) << row.expected.toStdString();
        EXPECT_EQ(model->index(r, NearMissModel::Reason).data().toString(), row.reason) << row.expected.toStdString();
        const QModelIndex checkCell = model->index(r, NearMissModel::Expected);
        EXPECT_EQ(checkCell.data(Qt::CheckStateRole), row.check) << row.expected.toStdString();
        EXPECT_EQ(bool(checkCell.flags() & Qt::ItemIsUserCheckable), row.check.isValid()) << row.expected.toStdString();
    }

    // The user unchecks the numeral and checks the typo: exactly those two change.
    const auto setCheck = [model](const QString &expected, Qt::CheckState state) {
        const QModelIndex cell =
            model->match(model->index(0, NearMissModel::Expected), Qt::DisplayRole, expected, 1, Qt::MatchExactly)
                .first();
        EXPECT_TRUE(model->setData(cell, state, Qt::CheckStateRole));
    };
    setCheck(u"Street Brawler II.zip"_s, Qt::Unchecked);
    setCheck(u"Castle Adventure.zip"_s, Qt::Checked);
    ASSERT_TRUE(pane->renameButton()->isEnabled());

    // Declined: nothing happens.
    confirm.willAnswer(false);
    QTest::mouseClick(pane->renameButton(), Qt::LeftButton);
    EXPECT_FALSE(controller.isRenaming());
    EXPECT_TRUE(exists(u"roms/near/space_duel.zip"_s));

    confirm.willAnswer(true);
    QTest::mouseClick(pane->renameButton(), Qt::LeftButton);
    waitForRenames();
    ASSERT_EQ(confirm.asked.size(), 2);
    EXPECT_EQ(confirm.asked[1].messageText, u"Rename 2 files?"_s);
    EXPECT_TRUE(confirm.asked[1].informativeText.startsWith(u"In %1, "_s.arg(zelvora.tree.path())));
    EXPECT_TRUE(confirm.asked[1].informativeText.contains(u"roms/near/space_duel.zip → Space Duel.zip"_s));
    EXPECT_TRUE(alert.shown.isEmpty());
    EXPECT_EQ(window.statusRow()->text(),
              u"Renamed 2 files in %1; File > Undo Last Renames puts them back."_s.arg(zelvora.tree.path()));
    EXPECT_EQ(window.statusRow()->folder(), zelvora.tree.path());
    for (const auto &[file, present] : {std::pair{u"roms/near/Space Duel.zip"_s, true},
                                        {u"roms/near/space_duel.zip"_s, false},
                                        {u"roms/Castle Adventure.zip"_s, true},
                                        {u"roms/Castle Advnture.zip"_s, false},
                                        {u"roms/near/Street Brawler 2.zip"_s, true},
                                        {u"roms/bombjack.7z"_s, true}})
        EXPECT_EQ(exists(file), present) << file.toStdString();
    // The audit ran again by itself: the renamed pairs are valid now.
    clickSegment(ui().romsResultControl, 0);
    EXPECT_TRUE(romsText().contains(u"Space Duel.zip"_s));
    EXPECT_TRUE(romsText().contains(u"Castle Adventure.zip"_s));
    EXPECT_EQ(pane->countLabel()->text(), u"Possible matches (2)"_s);
    const QModelIndex brawler =
        model->match(model->index(0, NearMissModel::Expected), Qt::DisplayRole, u"Street Brawler II.zip"_s).first();
    EXPECT_EQ(brawler.data(Qt::CheckStateRole), Qt::Unchecked) << "the user's choice outlives the audit";

    window.undoRenamesAction()->trigger();
    waitForRenames();
    EXPECT_TRUE(alert.shown.isEmpty());
    EXPECT_TRUE(exists(u"roms/near/space_duel.zip"_s));
    EXPECT_TRUE(exists(u"roms/Castle Advnture.zip"_s));
    EXPECT_FALSE(exists(u"roms/near/Space Duel.zip"_s));
    EXPECT_EQ(pane->countLabel()->text(), u"Possible matches (4)"_s);
    EXPECT_EQ(window.statusRow()->text(), u"Put back 2 files in %1."_s.arg(zelvora.tree.path()));

    // Undone in full, the journal is set aside: there is nothing earlier to undo.
    window.undoRenamesAction()->trigger();
    waitForRenames();
    ASSERT_EQ(alert.shown.size(), 1);
    EXPECT_EQ(alert.shown[0].messageText, u"There are no renames to undo."_s);
}

// A file that could not be put back keeps the journal, so that a later undo can still reach it.
TEST_F(NearMissWindowTest, UndoKeepsTheJournalUntilEveryFileIsBack)
{
    const auto journals = [this](const QString &suffix) {
        QStringList found;
        for (QDirIterator it(data.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            if (path.endsWith(suffix))
                found.append(path);
        }
        return found;
    };
    clickAuditRoms();
    confirm.willAnswer(true);
    QTest::mouseClick(window.nearMissPane(0)->renameButton(), Qt::LeftButton);
    waitForRenames();
    ASSERT_TRUE(exists(u"roms/near/Space Duel.zip"_s));
    const QStringList written = journals(u".journal"_s);
    ASSERT_EQ(written.size(), 1);

    zelvora.tree.file(u"roms/near/space_duel.zip"_s, "a new file under the old name");
    window.undoRenamesAction()->trigger();
    waitForRenames();
    ASSERT_EQ(alert.shown.size(), 1);
    EXPECT_EQ(alert.shown[0].messageText, u"1 of 2 files could not be put back."_s);
    EXPECT_TRUE(alert.shown[0].informativeText.contains(written[0]));
    EXPECT_EQ(journals(u".journal"_s), written);
    EXPECT_TRUE(exists(u"roms/near/Street Brawler 2.zip"_s));

    ASSERT_TRUE(QFile::remove(zelvora.tree.filePath(u"roms/near/space_duel.zip"_s)));
    window.undoRenamesAction()->trigger();
    waitForRenames();
    EXPECT_EQ(alert.shown.size(), 1) << "the second try puts the rest back: "
                                     << alert.shown.last().informativeText.toStdString();
    EXPECT_TRUE(exists(u"roms/near/space_duel.zip"_s));
    EXPECT_TRUE(journals(u".journal"_s).isEmpty());
    EXPECT_EQ(journals(u".undone"_s).size(), 1);
}

// A result of another directory than the field's is shown, but its pairs are not renamed.
TEST_F(NearMissWindowTest, RenamesWaitForAResultOfTheDirectoryAsItStands)
{
    clickAuditRoms();
    NearMissPane *pane = window.nearMissPane(0);
    ASSERT_TRUE(pane->renameButton()->isEnabled());
    TempTree other;
    ui().zelvoraDirPathTextField->setText(other.path());

    EXPECT_FALSE(pane->renameButton()->isEnabled());
    EXPECT_TRUE(pane->renameButton()->toolTip().contains(zelvora.tree.path()));
    controller.renameCheckedNearMisses(QKAppDelegate::Audit::Roms);
    EXPECT_TRUE(confirm.asked.isEmpty());
    EXPECT_TRUE(exists(u"roms/near/space_duel.zip"_s));

    ui().zelvoraDirPathTextField->setText(zelvora.tree.path());
    EXPECT_TRUE(pane->renameButton()->isEnabled()) << "the result matches the fields again";
}

// Tab goes from the segments to Problems (N) and leaves the tables: no control is out of reach.
TEST_F(NearMissWindowTest, TabReachesTheProblemsAndLeavesTheTables)
{
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    clickAuditRoms();
    SegmentedControl *segments = ui().romsResultControl;
    segments->segmentButton(0)->setFocus();
    for (int press = 0; press < segments->segmentCount() && segments->isAncestorOf(QApplication::focusWidget());
         ++press)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window.problemsPane(0)->toggle());

    QTableView *table = window.nearMissPane(0)->table();
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), table) << "Tab moved from cell to cell";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), table);
}

// Sorted, filtered and checked in bulk, the table renames exactly the checked pairs it shows: a check
// stays with its pair whatever the order, and a pair the filter hides is never renamed.
TEST_F(NearMissWindowTest, RenamesTheCheckedPairsShownWhateverTheSortAndFilter)
{
    clickAuditRoms();
    NearMissPane *pane = window.nearMissPane(0);
    QSortFilterProxyModel *shown = pane->shown();
    const auto shownNames = [shown] {
        QStringList names;
        for (int row = 0; row < shown->rowCount(); ++row)
            names.append(shown->index(row, NearMissModel::Expected).data().toString());
        return names;
    };
    enum class Bulk { None, CheckAll, UncheckAll };
    const struct
    {
        const char *name;
        QString filter;
        int column;
        Qt::SortOrder order;
        Bulk bulk;
        int toggledRow; // of the shown rows, clicked after the bulk action; -1 none
        QStringList names;
        QString count;
        QStringList renamed; // old paths; every other file stays
    } cases[] = {
        {"a hidden default check is left alone",
         u"CASTLE"_s,
         NearMissModel::Found,
         Qt::AscendingOrder,
         Bulk::CheckAll,
         -1,
         {u"Castle Adventure.zip"_s},
         u"Possible matches (showing 1 of 4)"_s,
         {u"roms/Castle Advnture.zip"_s}},
        {"the check follows its pair through the sort",
         QString(),
         NearMissModel::Reason,
         Qt::DescendingOrder,
         Bulk::UncheckAll,
         1,
         {u"Castle Adventure.zip"_s, u"Street Brawler II.zip"_s, u"bombjack.zip"_s, u"Space Duel.zip"_s},
         u"Possible matches (4)"_s,
         {u"roms/near/Street Brawler 2.zip"_s}},
        {"check all of what the filter shows",
         u"u"_s,
         NearMissModel::Expected,
         Qt::DescendingOrder,
         Bulk::CheckAll,
         -1,
         {u"Space Duel.zip"_s, u"Castle Adventure.zip"_s},
         u"Possible matches (showing 2 of 4)"_s,
         {u"roms/near/space_duel.zip"_s, u"roms/Castle Advnture.zip"_s}},
    };
    const QStringList files{u"roms/near/space_duel.zip"_s, u"roms/near/Street Brawler 2.zip"_s,
                            u"roms/Castle Advnture.zip"_s, u"roms/bombjack.7z"_s, u"roms/Galaxy Run.zip"_s};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        window.pane(0).filter->setText(c.filter);
        pane->table()->sortByColumn(c.column, c.order);
        EXPECT_EQ(shownNames(), c.names);
        EXPECT_EQ(pane->countLabel()->text(), c.count);
        if (c.bulk != Bulk::None)
            (c.bulk == Bulk::CheckAll ? pane->checkAllButton() : pane->uncheckAllButton())->click();
        if (c.toggledRow >= 0) {
            EXPECT_TRUE(
                shown->setData(shown->index(c.toggledRow, NearMissModel::Expected), Qt::Checked, Qt::CheckStateRole));
        }
        // A file in another format never gets a box, not even from Check All.
        for (int row = 0; row < shown->rowCount(); ++row) {
            const QModelIndex cell = shown->index(row, NearMissModel::Expected);
            if (cell.data().toString() == u"bombjack.zip"_s) {
                EXPECT_FALSE(cell.data(Qt::CheckStateRole).isValid());
            }
        }

        confirm.willAnswer(true);
        QTest::mouseClick(pane->renameButton(), Qt::LeftButton);
        waitForRenames();
        EXPECT_TRUE(alert.shown.isEmpty());
        for (const QString &file : files)
            EXPECT_EQ(exists(file), !c.renamed.contains(file)) << file.toStdString();

        // Back as it was for the next case.
        window.undoRenamesAction()->trigger();
        waitForRenames();
        for (const QString &file : files)
            EXPECT_TRUE(exists(file)) << file.toStdString();
    }
}

} // namespace
} // namespace zelvora::test
