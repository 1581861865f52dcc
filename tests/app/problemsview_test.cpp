// The problems view, the exported table and the changes line, driven through the window.
#include "app/problemsview.h"
#include "app/statusrow.h"
#include "apptestfixture.h"
#include "audit/files/history.h"
#include "platform/mainthread.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

using Audit = QKAppDelegate::Audit;

class ProblemsViewTest : public AppTest
{
protected:
    void SetUp() override
    {
        zelvora.writeList("Alpha\nBravo\nDelta\n");
        zelvora.tree.file(u"roms/Alpha.zip"_s); // empty
        // Empty archives: an end record alone.
        const QByteArray archive = QByteArray("PK\5\6") + QByteArray(18, '\0');
        zelvora.tree.file(u"roms/Bravo.zip"_s, archive); // counts
        zelvora.tree.file(u"roms/sub/Bravo.zip"_s, archive);
        zelvora.tree.file(u"roms/Charlie.zip"_s, archive);
        zelvora.tree.file(u"videos/Bravo.xmv"_s, "video");
        launchWith(zelvora.tree.path(), zelvora.listPath());
    }

    // Each row of the problems table as "kind path".
    QStringList problemRows(Audit audit) const
    {
        const QAbstractItemModel *model = window.problemsPane(int(audit))->table()->model();
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row)
            rows.append(model->index(row, 0).data().toString() + u' ' + model->index(row, 1).data().toString());
        return rows;
    }

    ZelvoraTree zelvora;
    TempTree target;
};

TEST_F(ProblemsViewTest, ShowsTheCountAndARowPerProblemInPlaceOfTheList)
{
    ProblemsPane *pane = window.problemsPane(int(Audit::Roms));
    EXPECT_FALSE(pane->toggle()->isEnabled()) << "no problems to show before an audit";
    clickAuditRoms();

    EXPECT_EQ(pane->toggle()->text(), u"Problems (2)"_s);
    EXPECT_EQ(problemRows(Audit::Roms),
              (QStringList{u"duplicate roms/sub/Bravo.zip"_s, u"empty-file roms/Alpha.zip"_s}));

    clickSegment(ui().romsResultControl, 1);
    QTest::mouseClick(pane->toggle(), Qt::LeftButton);
    EXPECT_TRUE(pane->table()->isVisible());
    EXPECT_FALSE(ui().romsResultView->isVisible());
    EXPECT_EQ(ui().romsResultControl->selectedSegment(), -1) << "no list is shown";
    // Leaving by the toggle brings the list back with its segment; choosing a list shows that one.
    QTest::mouseClick(pane->toggle(), Qt::LeftButton);
    EXPECT_EQ(ui().romsResultControl->selectedSegment(), 1);
    QTest::mouseClick(pane->toggle(), Qt::LeftButton);
    clickSegment(ui().romsResultControl, 0);
    EXPECT_FALSE(pane->table()->isVisible());
    EXPECT_TRUE(ui().romsResultView->isVisible());
    EXPECT_EQ(ui().romsResultControl->selectedSegment(), 0);

    // The window's Save writes the problems beside the reports.
    panel.willChoose(target.path());
    QTest::mouseClick(ui().saveRomsButton, Qt::LeftButton);
    const QByteArray csv = target.read(u"problems_roms.csv"_s);
    EXPECT_TRUE(csv.contains("duplicate,roms/sub/Bravo.zip,")) << csv.toStdString();
    EXPECT_TRUE(csv.contains("empty-file,roms/Alpha.zip,")) << csv.toStdString();
}

// The extras of a result wait behind a held worker: the lists are there before them, and only those of
// the result shown last are ever shown, whatever was cancelled or replaced in between.
TEST_F(ProblemsViewTest, TheListsShowFirstAndOnlyTheShownResultsProblemsFollow)
{
    ProblemsPane *pane = window.problemsPane(int(Audit::Roms));
    QSemaphore gate;
    // Released however the test ends: the controller waits for its workers when it goes.
    const std::unique_ptr<QSemaphore, void (*)(QSemaphore *)> opener(&gate, [](QSemaphore *g) { g->release(); });
    startOnPool(controller.pane(Audit::Roms).extrasWorkers(), [&gate] { gate.acquire(); });
    QSignalSpy extras(&controller, &QKAppDelegate::extrasPendingChanged);
    const auto shownExtras = [&extras] {
        qsizetype shown = 0;
        for (const QList<QVariant> &arguments : std::as_const(extras))
            shown += arguments.at(0).toInt() == int(Audit::Roms) && !arguments.at(1).toBool() ? 1 : 0;
        return shown;
    };

    const struct
    {
        const char *step;
        bool cancel;
        QString removed; // before the audit
    } steps[] = {
        {"the first result", false, {}},
        {"a cancelled audit keeps it", true, {}},
        {"a new result replaces it", false, u"roms/sub/Bravo.zip"_s},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.step);
        if (!step.removed.isEmpty()) {
            ASSERT_TRUE(QFile::remove(zelvora.tree.filePath(step.removed)));
        }
        QSignalSpy running(&controller, &QKAppDelegate::romsAuditRunningChanged);
        QTest::mouseClick(ui().auditRomsButton, Qt::LeftButton);
        if (step.cancel)
            controller.cancelAudit(Audit::Roms);
        while (controller.isAuditing(QKAppDelegate::Audit::Roms))
            ASSERT_TRUE(running.wait(20000)) << "the audit did not finish";

        clickSegment(ui().romsResultControl, 0);
        EXPECT_TRUE(romsText().contains(u"Bravo.zip"_s)) << "the valid list is shown";
        EXPECT_TRUE(controller.areExtrasPending(Audit::Roms));
        EXPECT_EQ(pane->toggle()->text(), u"Problems (…)"_s);
        EXPECT_FALSE(pane->toggle()->isEnabled());
        EXPECT_TRUE(pane->changesLabel()->isHidden());
        EXPECT_FALSE(ui().saveRomsButton->isEnabled()) << "the problems go with the saved reports";
        EXPECT_EQ(shownExtras(), 0);
    }

    gate.release();
    waitForExtras(Audit::Roms);
    // The replaced result's problems (two of them) never showed; the shown one's did.
    EXPECT_EQ(shownExtras(), 1);
    EXPECT_EQ(pane->toggle()->text(), u"Problems (1)"_s);
    EXPECT_EQ(problemRows(Audit::Roms), QStringList{u"empty-file roms/Alpha.zip"_s});
    EXPECT_TRUE(pane->toggle()->isEnabled());
    EXPECT_TRUE(ui().saveRomsButton->isEnabled());
    ASSERT_TRUE(pane->changesLabel()->isVisible()) << "compared with the replaced result, which was recorded";
    EXPECT_TRUE(pane->changesLabel()->text().contains(u": 1 unknown gone"_s))
        << pane->changesLabel()->text().toStdString();
}

// Rows of a CSV file as written for spreadsheets (BOM, CR LF); the names here need no quoting.
QList<QStringList> csvRows(const QByteArray &bytes)
{
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    QList<QStringList> rows;
    for (const QByteArray &line : bytes.mid(3).split('\n')) {
        if (line.isEmpty())
            continue;
        EXPECT_TRUE(line.endsWith('\r'));
        rows.append(QString::fromUtf8(line.chopped(1)).split(u','));
    }
    return rows;
}

TEST_F(ProblemsViewTest, ExportTableRunsTheMissingAuditThenWritesBoth)
{
    clickAuditRoms();
    ASSERT_FALSE(controller.hasResults(Audit::Videos));

    struct Case
    {
        QString file;
        bool written;
    };
    const QList<Case> cases{{target.filePath(u"table.csv"_s), true},
                            {target.filePath(u"no such folder/table.csv"_s), false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        alert.shown.clear();
        panel.willChoose(c.file);
        QSignalSpy finished(&controller, &QKAppDelegate::tableExportFinished);
        window.exportTableAction()->trigger();
        ASSERT_TRUE(finished.wait(20000));
        EXPECT_TRUE(controller.hasResults(Audit::Videos)) << "the video audit ran first";
        const OpenPanelOptions &options = panel.requests.last();
        EXPECT_EQ(options.savesFile, true);
        EXPECT_EQ(options.nameFilters.value(0), u"CSV files (*.csv)"_s);
        // The second panel opens where the first export wrote.
        EXPECT_EQ(options.directory, panel.requests.size() == 1 ? QString() : target.path());
        EXPECT_EQ(alert.shown.size(), c.written ? 0 : 1);
        if (!c.written)
            continue;
        EXPECT_EQ(window.statusRow()->text(), u"Exported the table to %1."_s.arg(c.file));
        EXPECT_EQ(window.statusRow()->folder(), target.path());
        QFile file(c.file);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QList<QStringList> rows = csvRows(file.readAll());
        ASSERT_EQ(rows.size(), 5);
        EXPECT_EQ(rows[0].mid(0, 3), (QStringList{u"game"_s, u"rom"_s, u"rom_status"_s}));
        const auto summary = [](const QStringList &row) {
            return QStringList{row.value(0), row.value(2), row.value(3), row.value(5), row.value(8)};
        };
        EXPECT_EQ(summary(rows[1]),
                  (QStringList{u"Alpha"_s, u"valid"_s, u"roms/Alpha.zip"_s, u"missing"_s, u"empty-file"_s}));
        EXPECT_EQ(summary(rows[2]), (QStringList{u"Bravo"_s, u"valid"_s, u"roms/Bravo.zip | roms/sub/Bravo.zip"_s,
                                                 u"valid"_s, u"duplicate"_s}));
        EXPECT_EQ(summary(rows[3]), (QStringList{u"Delta"_s, u"missing"_s, u""_s, u"missing"_s, u""_s}));
        EXPECT_EQ(summary(rows[4]), (QStringList{u""_s, u"unknown"_s, u"roms/Charlie.zip"_s, u""_s, u""_s}));
    }
}

TEST_F(ProblemsViewTest, TheSecondAuditAfterARenameSaysWhatChanged)
{
    TempTree dataHome;
    const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    ProblemsPane *pane = window.problemsPane(int(Audit::Roms));

    clickAuditRoms();
    EXPECT_FALSE(pane->changesLabel()->isVisible()) << "nothing to compare on a first run";
    ASSERT_TRUE(
        QFile::rename(zelvora.tree.filePath(u"roms/Charlie.zip"_s), zelvora.tree.filePath(u"roms/Delta.zip"_s)));
    clickAuditRoms();

    ASSERT_TRUE(pane->changesLabel()->isVisible());
    EXPECT_TRUE(pane->changesLabel()->text().contains(u": 1 now valid, 1 unknown gone"_s))
        << pane->changesLabel()->text().toStdString();
    Q_EMIT pane->changesLabel()->linkActivated(u"#changes"_s);
    ASSERT_NE(pane->changesDialog(), nullptr);
    const auto *tabs = pane->changesDialog()->findChild<QTabWidget *>();
    ASSERT_NE(tabs, nullptr);
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles.append(tabs->tabText(i));
    EXPECT_EQ(titles,
              (QStringList{u"Now valid (1)"_s, u"Newly missing (0)"_s, u"New unknown (0)"_s, u"Unknown gone (1)"_s}));
    pane->changesDialog()->close();
    qputenv("XDG_DATA_HOME", oldDataHome);
}

// Each audit keeps its record under its own name; the video audit's follows the check box, the rom
// audit's does not.
TEST_F(ProblemsViewTest, EachAuditKeepsItsRecordUnderItsOwnName)
{
    const struct
    {
        Audit audit;
        bool availableOnly;
        QStringView name;
    } cases[] = {
        {Audit::Roms, false, u"roms"},
        {Audit::Roms, true, u"roms"},
        {Audit::Videos, false, u"videos"},
        {Audit::Videos, true, u"videos-available"},
    };
    const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toString().toStdString() + (c.availableOnly ? " (check box on)" : ""));
        TempTree dataHome;
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
        ui().checkAvailableRomVideosOnly->setChecked(c.availableOnly);
        c.audit == Audit::Roms ? clickAuditRoms() : clickAuditVideos();
        const AuditInputs inputs{zelvora.tree.path(), zelvora.listPath(), c.availableOnly};
        const QDir records(historyDirectory());
        EXPECT_EQ(records.entryList(QDir::Files), QStringList{historyFileName(historyKey(inputs, c.name))});
    }
    qputenv("XDG_DATA_HOME", oldDataHome);
}

} // namespace
} // namespace zelvora::test
