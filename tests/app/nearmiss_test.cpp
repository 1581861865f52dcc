// The possible matches in the window: the table's pairs and default checks, "Rename checked…" renaming
// exactly the checked files after one question, the audit running again, and undo putting them back.
#include "app/nearmissview.h"
#include "apptestfixture.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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
    EXPECT_TRUE(confirm.asked[1].informativeText.contains(u"roms/near/space_duel.zip → Space Duel.zip"_s));
    EXPECT_TRUE(alert.shown.isEmpty());
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

    window.undoRenamesAction()->trigger();
    waitForRenames();
    EXPECT_TRUE(alert.shown.isEmpty());
    EXPECT_TRUE(exists(u"roms/near/space_duel.zip"_s));
    EXPECT_TRUE(exists(u"roms/Castle Advnture.zip"_s));
    EXPECT_FALSE(exists(u"roms/near/Space Duel.zip"_s));
    EXPECT_EQ(pane->countLabel()->text(), u"Possible matches (4)"_s);

    // Undone in full, the journal is set aside: there is nothing earlier to undo.
    window.undoRenamesAction()->trigger();
    waitForRenames();
    ASSERT_EQ(alert.shown.size(), 1);
    EXPECT_EQ(alert.shown[0].messageText, u"There are no renames to undo."_s);
}

} // namespace
} // namespace zelvora::test
