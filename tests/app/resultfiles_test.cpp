#include "app/problemsview.h"
#include "app/statusrow.h"
#include "apptestfixture.h"
#include "audit/checks/problems.h"
#include "support/headers.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

class ResultFilesTest : public AppTest
{
protected:
    void SetUp() override
    {
        zelvora.writeList("Bravo\nRaceOne\nzzz\nabd\nabe\n");
        zelvora.tree.file(u"roms/raceone.zip"_s);
        zelvora.tree.file(u"roms/Bravo.zip"_s);
        zelvora.tree.file(u"roms/abe.zip"_s);
        zelvora.tree.file(u"roms/abf.zip"_s);
        zelvora.tree.file(u"roms/Éclair.zip"_s);
        zelvora.tree.file(u"videos/abd.xmv"_s);
        zelvora.tree.file(u"videos/abc.xmv"_s);
        launchWith(zelvora.tree.path(), zelvora.listPath());
    }

    QStringList filesIn(const TempTree &dir) const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }

    ZelvoraTree zelvora;
    TempTree target;
};

TEST_F(ResultFilesTest, SavesTheRomReportSet)
{
    clickAuditRoms();
    panel.willChoose(target.path());
    QTest::mouseClick(ui().saveRomsButton, Qt::LeftButton);

    ASSERT_EQ(panel.requests.size(), 1);
    const OpenPanelOptions &options = panel.requests.at(0);
    EXPECT_EQ(options.title, u"Save results"_s);
    EXPECT_EQ(options.prompt, u"Select"_s);
    EXPECT_TRUE(options.canChooseDirectories);
    EXPECT_FALSE(options.canChooseFiles);
    EXPECT_FALSE(options.allowsMultipleSelection);

    // The archives are empty files, a problem each: the problems go with the reports.
    EXPECT_EQ(filesIn(target),
              (QStringList{u"missing_roms.txt"_s, u"problems_roms.csv"_s, u"unknown_roms.txt"_s, u"valid_roms.txt"_s}));
    EXPECT_EQ(target.read(u"valid_roms.txt"_s),
              resultBytes(headers::kValidRoms, {"abe.zip", "Bravo.zip", "RaceOne.zip"}));
    EXPECT_EQ(target.read(u"missing_roms.txt"_s), resultBytes(headers::kMissingRoms, {"abd.zip", "zzz.zip"}));
    EXPECT_EQ(target.read(u"unknown_roms.txt"_s),
              resultBytes(headers::kUnknownRomsFile, {"abf.zip", "\303\211clair.zip"}));
    EXPECT_TRUE(alert.shown.isEmpty()) << "a save that worked says nothing";
}

TEST_F(ResultFilesTest, SavesTheVideoReportSetIncludingAnEarlierExtraList)
{
    ui().checkAvailableRomVideosOnly->setChecked(true);
    clickAuditVideos();
    ui().checkAvailableRomVideosOnly->setChecked(false);
    controller.didClickCheckAvailableRomVideosOnly(ui().checkAvailableRomVideosOnly);

    panel.willChoose(target.path());
    QTest::mouseClick(ui().saveVideosButton, Qt::LeftButton);

    EXPECT_EQ(filesIn(target), (QStringList{u"extra_videos.txt"_s, u"missing_videos.txt"_s, u"unknown_videos.txt"_s,
                                            u"valid_videos.txt"_s}));
    EXPECT_EQ(target.read(u"extra_videos.txt"_s), resultBytes(headers::kExtraVideos, {"abd.xmv"}));
    EXPECT_EQ(target.read(u"missing_videos.txt"_s),
              resultBytes(headers::kMissingVideos, {"abe.xmv", "Bravo.xmv", "raceone.xmv"}));
    EXPECT_EQ(target.read(u"unknown_videos.txt"_s), resultBytes(headers::kUnknownVideos, {"abc.xmv"}));
    EXPECT_EQ(target.read(u"valid_videos.txt"_s), resultBytes(headers::kValidVideos, {}));
}

TEST_F(ResultFilesTest, EachSaveWaitsForResultsOfItsOwnAudit)
{
    const auto saves = [this] {
        return std::pair(ui().saveRomsButton->isEnabled(), ui().saveVideosButton->isEnabled());
    };
    EXPECT_EQ(saves(), std::pair(false, false)) << "nothing to save before an audit";
    controller.saveRomsResult(ui().saveRomsButton);
    controller.saveVideosResult(ui().saveVideosButton);
    EXPECT_TRUE(panel.requests.isEmpty());

    clickAuditRoms();
    EXPECT_EQ(saves(), std::pair(true, false));
    clickAuditVideos();
    EXPECT_EQ(saves(), std::pair(true, true));

    // An audit that gives no result keeps the earlier one, which can still be saved.
    ui().romsListPathTextField->setText(zelvora.tree.filePath(u"absent.txt"_s));
    clickAuditRoms();
    EXPECT_EQ(saves(), std::pair(true, true));
    EXPECT_TRUE(filesIn(target).isEmpty());
}

TEST_F(ResultFilesTest, AsksOnceBeforeReplacingReports)
{
    clickAuditRoms();
    const QString valid = u"Found 3 roms with valid filename:\r\n\r\nabe.zip\r\nBravo.zip\r\nRaceOne.zip"_s;
    const struct
    {
        const char *name;
        QStringList existing;
        std::optional<bool> answer; // empty: no question expected
        QString question;           // with %1 for the folder
    } cases[] = {
        {"none there", {}, std::nullopt, {}},
        {"all three, no",
         {u"valid_roms.txt"_s, u"missing_roms.txt"_s, u"unknown_roms.txt"_s},
         false,
         u"Replace the 3 rom report files in %1?"_s},
        {"all three, yes",
         {u"valid_roms.txt"_s, u"missing_roms.txt"_s, u"unknown_roms.txt"_s},
         true,
         u"Replace the 3 rom report files in %1?"_s},
        {"one, yes", {u"valid_roms.txt"_s}, true, u"Replace the rom report file valid_roms.txt in %1?"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempTree folder;
        folder.file(u"other.txt"_s, "keep");
        for (const QString &name : c.existing)
            folder.file(name, "earlier");
        confirm.asked.clear();
        if (c.answer)
            confirm.willAnswer(*c.answer);
        panel.willChoose(folder.path());
        QTest::mouseClick(ui().saveRomsButton, Qt::LeftButton);

        ASSERT_EQ(confirm.asked.size(), c.answer ? 1 : 0);
        if (c.answer) {
            EXPECT_EQ(confirm.asked.at(0).messageText, c.question.arg(folder.path()));
        }
        const bool written = c.answer.value_or(true);
        EXPECT_EQ(folder.read(u"valid_roms.txt"_s), written ? valid.toUtf8() : QByteArray("earlier"));
        // The three reports, the problems (the archives are empty) and the other file.
        EXPECT_EQ(filesIn(folder).size(), written ? 5 : 1 + c.existing.size());
        EXPECT_EQ(folder.read(u"other.txt"_s), "keep");
    }
}

TEST_F(ResultFilesTest, CancellingWritesNothing)
{
    clickAuditRoms();
    clickAuditVideos();
    panel.willCancel();
    panel.willCancel();
    controller.saveRomsResult(ui().saveRomsButton);
    controller.saveVideosResult(ui().saveVideosButton);
    EXPECT_EQ(panel.requests.size(), 2);
    EXPECT_TRUE(filesIn(target).isEmpty());
    EXPECT_TRUE(alert.shown.isEmpty());
}

TEST_F(ResultFilesTest, SavingAgainReplacesEachFileWhole)
{
    target.file(u"valid_roms.txt"_s, QByteArray(4096, 'x'));
    target.file(u"other.txt"_s, "keep");
    clickAuditRoms();
    confirm.willAnswer(true);
    panel.willChoose(target.path());
    controller.saveRomsResult(ui().saveRomsButton);

    EXPECT_EQ(target.read(u"valid_roms.txt"_s),
              resultBytes(headers::kValidRoms, {"abe.zip", "Bravo.zip", "RaceOne.zip"}));
    EXPECT_EQ(target.read(u"other.txt"_s), "keep");
}

// A problems file left by an earlier save would still name problems the collection no longer has.
TEST_F(ResultFilesTest, SaveReplacesAnEarlierProblemsFileWhenNoneAreLeft)
{
    const QByteArray emptyZip = QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0');
    for (const QString &archive :
         {u"roms/raceone.zip"_s, u"roms/Bravo.zip"_s, u"roms/abe.zip"_s, u"roms/abf.zip"_s, u"roms/Éclair.zip"_s})
        zelvora.tree.file(archive, emptyZip);
    target.file(u"problems_roms.csv"_s, "kind,path\nempty-file,roms/abe.zip\n");
    clickAuditRoms();
    ASSERT_EQ(window.problemsPane(0)->toggle()->text(), u"Problems (0)"_s) << "the archives are sound now";
    confirm.willAnswer(true);
    panel.willChoose(target.path());
    controller.saveRomsResult(ui().saveRomsButton);

    EXPECT_EQ(target.read(u"problems_roms.csv"_s), problemsCsv({}));
    EXPECT_TRUE(alert.shown.isEmpty());
}

TEST_F(ResultFilesTest, TheStatusRowSaysWhatWasSavedAndTheNextPanelOpensThere)
{
    clickAuditRoms();
    panel.willChoose(target.path());
    QTest::mouseClick(ui().saveRomsButton, Qt::LeftButton);
    const StatusRow &row = *window.statusRow();
    EXPECT_EQ(row.text(), u"Saved 4 rom result files to %1."_s.arg(target.path()));
    ASSERT_TRUE(row.folderButton()->isVisibleTo(&window));
    QTest::mouseClick(row.folderButton(), Qt::LeftButton);
    EXPECT_EQ(urlOpener.opened, QList<QUrl>{QUrl::fromLocalFile(target.path())});

    const QString gone = target.filePath(u"gone"_s);
    panel.willChoose(gone);
    QTest::mouseClick(ui().saveRomsButton, Qt::LeftButton);
    EXPECT_EQ(panel.requests.last().directory, target.path());
    EXPECT_EQ(row.text(), u"No rom result files could be saved."_s);
    EXPECT_FALSE(row.folderButton()->isVisibleTo(&window));
    controller.applicationWillTerminate();
    EXPECT_EQ(settings.values.value(u"Window/LastSaveFolder"_s), gone) << "the next run opens there too";
}

TEST_F(ResultFilesTest, SavingTheResultsOfAnotherFolderIsAskedFirst)
{
    clickAuditRoms();
    TempTree other;
    ui().zelvoraDirPathTextField->setText(other.path());
    for (const bool answer : {false, true}) {
        confirm.willAnswer(answer);
        if (answer)
            panel.willChoose(target.path());
        QTest::mouseClick(ui().saveRomsButton, Qt::LeftButton);
        ASSERT_EQ(confirm.asked.size(), answer ? 2 : 1);
        EXPECT_EQ(confirm.asked.last().messageText, u"Save the rom results of %1?"_s.arg(zelvora.tree.path()));
        EXPECT_EQ(panel.requests.size(), answer ? 1 : 0);
        EXPECT_EQ(filesIn(target).size(), answer ? 4 : 0);
    }
}

TEST_F(ResultFilesTest, FailedWriteIsReportedAndTheOthersAreWritten)
{
    clickAuditRoms();
    target.dir(u"missing_roms.txt"_s); // nothing can replace a folder with a file
    panel.willChoose(target.path());
    confirm.willAnswer(true);
    controller.saveRomsResult(ui().saveRomsButton);

    EXPECT_FALSE(target.read(u"valid_roms.txt"_s).isEmpty());
    EXPECT_FALSE(target.read(u"unknown_roms.txt"_s).isEmpty());
    ASSERT_EQ(alert.shown.size(), 1);
    const AlertMessage &warning = alert.shown.at(0);
    EXPECT_EQ(warning.messageText, u"Some result files could not be saved."_s);
    EXPECT_EQ(warning.style, AlertMessage::Style::Warning);
    EXPECT_TRUE(warning.informativeText.contains(u"missing_roms.txt: "_s)) << warning.informativeText.toStdString();
    EXPECT_FALSE(warning.informativeText.contains(u"valid_roms.txt"_s));
    EXPECT_TRUE(warning.informativeText.contains(target.path()));
}

TEST_F(ResultFilesTest, NoFileCanBeWrittenInAMissingFolder)
{
    clickAuditVideos();
    panel.willChoose(target.filePath(u"gone"_s));
    controller.saveVideosResult(ui().saveVideosButton);

    ASSERT_EQ(alert.shown.size(), 1);
    EXPECT_EQ(alert.shown.at(0).messageText, u"No result files could be saved."_s);
    for (const QString &name :
         {u"valid_videos.txt"_s, u"missing_videos.txt"_s, u"extra_videos.txt"_s, u"unknown_videos.txt"_s})
        EXPECT_TRUE(alert.shown.at(0).informativeText.contains(name)) << name.toStdString();
    EXPECT_TRUE(filesIn(target).isEmpty());
}

} // namespace
} // namespace zelvora::test
