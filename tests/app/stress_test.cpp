// Thousands of random clicks on the real window while audits run on a real tree. After every step
// the window must agree with a model built from the engine's own results for the same inputs.
#include "apptestfixture.h"
#include "audit/audits.h"
#include "audit/files/reports.h"
#include "audit/files/resulttext.h"
#include "audit/names/romslist.h"
#include "platform/busyindicator.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <map>
#include <random>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

#if defined(__SANITIZE_THREAD__)
constexpr int kDefaultIterations = 600;
#else
constexpr int kDefaultIterations = 3000;
#endif
// A stop for slow machines: the run ends early, and says so, rather than outstay CI.
constexpr int kDefaultSeconds = 20;
// An audit of these trees takes well under a second; one that runs this long hangs.
constexpr qint64 kHangMs = 60000;

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// Several thousand files in three Zelvora directories, one without a list, and a list too big to use.
struct StressTrees
{
    StressTrees()
    {
        const QString listName = kRomsListFileName.toString();
        const QStringList romDirs{u"roms"_s, u"roms16BitConsoles/sega"_s, u"romsConsoles/a/b"_s};
        const QStringList videoDirs{u"videos"_s, u"videos2/x"_s, u"videos3"_s, u"videos4/y/z"_s, u"videosextra"_s};
        const auto name = [](int i) {
            // Mixed case and letters beyond ASCII, so the sort and the folding have work to do.
            return i % 7 == 0 ? u"Ärger-%1"_s.arg(i) : (i % 5 == 0 ? u"GAME%1"_s.arg(i) : u"game%1"_s.arg(i));
        };

        QByteArray list;
        for (int i = 0; i < 1800; ++i)
            list += name(i).toUtf8() + (i % 3 ? ".7z\r\n" : "\n");
        big.file(u"deep/"_s + listName, list);
        for (int i = 300; i < 2300; ++i)
            big.file(romDirs.at(i % 3) + u"/"_s + name(i).toLower() + u".zip"_s);
        for (int i = 0; i < 1500; ++i)
            big.file(videoDirs.at(i % 5) + u"/"_s + name(i * 2) + u".xmv"_s);
        bigList = big.filePath(u"deep/"_s + listName);

        QByteArray smallList;
        for (int i = 0; i < 250; ++i)
            smallList += name(i * 3).toUtf8() + "\n";
        small.file(u"a/b/c/"_s + listName, smallList);
        for (int i = 0; i < 300; ++i)
            small.file(romDirs.at(i % 3) + u"/"_s + name(i) + u".zip"_s);
        for (int i = 0; i < 200; ++i)
            small.file(videoDirs.at(i % 5) + u"/"_s + name(i) + u".xmv"_s);
        smallListPath = small.filePath(u"a/b/c/"_s + listName);

        for (int i = 0; i < 50; ++i)
            noList.file(u"roms/"_s + name(i) + u".zip"_s);
        tooBig.file(u"too-big.txt"_s, QByteArray(2 * 1024 * 1024 + 1, 'a'));
    }

    TempTree big;
    TempTree small;
    TempTree noList;
    TempTree tooBig;
    TempTree saves;
    QString bigList;
    QString smallListPath;
};

// An audit's result, shared with the model that shows it; empty when the audit gave none.
struct RomOutcome
{
    std::shared_ptr<const RomAudit> audit;
};

struct VideoOutcome
{
    std::shared_ptr<const VideoAudit> audit;
};

class StressTest : public AppTest
{
protected:
    void SetUp() override
    {
        bool fixed = false;
        seed = qEnvironmentVariable("ZELVORA_STRESS_SEED").toUInt(&fixed);
        if (!fixed)
            seed = std::random_device{}();
        std::printf("stress seed %u (set ZELVORA_STRESS_SEED to repeat)\n", seed);
        rng.seed(seed);

        directories = {trees.big.path(), trees.small.path(), trees.noList.path(), trees.big.filePath(u"gone"_s)};
        foundLists = {trees.bigList, trees.smallListPath, QString(), QString()};
        listFiles = {trees.bigList, trees.smallListPath, trees.tooBig.filePath(u"too-big.txt"_s),
                     trees.noList.filePath(u"missing.txt"_s)};
        saveDirs = {trees.saves.filePath(u"one"_s), trees.saves.filePath(u"two/three"_s)};
        for (const QString &dir : std::as_const(saveDirs))
            QDir().mkpath(dir);

        launchWith(trees.big.path(), trees.bigList);
        expectedListField = trees.bigList;

        QObject::connect(&controller, &QKAppDelegate::romsAuditRunningChanged, &controller, [this](bool running) {
            if (!running)
                romsFinished();
        });
        QObject::connect(&controller, &QKAppDelegate::videosAuditRunningChanged, &controller, [this](bool running) {
            if (!running)
                videosFinished();
        });
        QObject::connect(&controller, &QKAppDelegate::romListSearchFinished, &controller, [this] {
            if (--searchesRunning == 0) {
                EXPECT_EQ(ui().romsListPathTextField->text(), expectedListField) << "seed " << seed;
            }
        });
    }

    template <typename T> const T &pick(const QList<T> &items)
    {
        return items.at(qsizetype(rng() % quint64(items.size())));
    }
    bool chance(int percent) { return int(rng() % 100) < percent; }

    AuditInputs currentInputs()
    {
        return AuditInputs{ui().zelvoraDirPathTextField->text(), ui().romsListPathTextField->text(),
                           ui().checkAvailableRomVideosOnly->isChecked()};
    }
    static QString key(const AuditInputs &inputs)
    {
        return inputs.zelvoraDir + u'\n' + inputs.romsListPath + u'\n' + QChar(inputs.availableRomsOnly ? u'1' : u'0');
    }

    // What the engine gives for these inputs; the tree never changes, so once per input is enough.
    const RomOutcome &romOutcome(const AuditInputs &inputs)
    {
        const QString k = key(AuditInputs{inputs.zelvoraDir, inputs.romsListPath, false});
        auto it = romOutcomes.find(k);
        if (it == romOutcomes.end()) {
            SilentProgress progress;
            RomOutcome outcome;
            if (std::optional<RomAudit> audit = runRomAudit(inputs, progress))
                outcome.audit = std::make_shared<const RomAudit>(std::move(*audit));
            it = romOutcomes.emplace(k, std::move(outcome)).first;
        }
        return it->second;
    }
    const VideoOutcome &videoOutcome(const AuditInputs &inputs)
    {
        const QString k = key(inputs);
        auto it = videoOutcomes.find(k);
        if (it == videoOutcomes.end()) {
            SilentProgress progress;
            VideoOutcome outcome;
            if (std::optional<VideoAudit> audit = runVideoAudit(inputs, progress))
                outcome.audit = std::make_shared<const VideoAudit>(std::move(*audit));
            it = videoOutcomes.emplace(k, std::move(outcome)).first;
        }
        return it->second;
    }

    void romsFinished()
    {
        ASSERT_TRUE(romsRunning) << "a rom audit finished that was never started; seed " << seed;
        romsRunning = false;
        const RomOutcome &outcome = romOutcome(romsInputs);
        if (outcome.audit)
            roms = outcome.audit;
        else
            ++expectedAlerts;
        romsRendered = true;
        ++finishedAudits;
    }
    void videosFinished()
    {
        ASSERT_TRUE(videosRunning) << "a video audit finished that was never started; seed " << seed;
        videosRunning = false;
        const VideoOutcome &outcome = videoOutcome(videosInputs);
        if (outcome.audit)
            videos = outcome.audit;
        else
            ++expectedAlerts;
        videosRendered = true;
        ++finishedAudits;
    }

    void clickAudit(bool videoAudit)
    {
        QPushButton *button = videoAudit ? ui().auditVideosButton : ui().auditRomsButton;
        ui().tabView->setCurrentWidget(videoAudit ? ui().videosTab : ui().romsTab);
        const bool starts = button->isEnabled();
        const AuditInputs inputs = currentInputs();
        QTest::mouseClick(button, Qt::LeftButton);
        if (!starts)
            return;
        ++startedAudits;
        // The worker runs on what the fields held at the click; work it out now, not later.
        if (videoAudit) {
            videosRunning = true;
            videosInputs = inputs;
            videoOutcome(inputs);
            videosClock.start();
        } else {
            romsRunning = true;
            romsInputs = inputs;
            romOutcome(inputs);
            romsClock.start();
        }
    }

    void clickSegment(bool videoControl)
    {
        SegmentedControl *control = videoControl ? ui().videosResultControl : ui().romsResultControl;
        const int segment = int(rng() % quint64(control->segmentCount()));
        const bool takes = control->isEnabled() && control->isEnabledForSegment(segment);
        AppTest::clickSegment(control, segment);
        if (takes)
            (videoControl ? videosRendered : romsRendered) = true;
    }

    void clickSave(bool videoAudit)
    {
        QPushButton *button = videoAudit ? ui().saveVideosButton : ui().saveRomsButton;
        ui().tabView->setCurrentWidget(videoAudit ? ui().videosTab : ui().romsTab);
        if (!button->isEnabled()) {
            QTest::mouseClick(button, Qt::LeftButton);
            EXPECT_EQ(panel.requests.size(), panelRequests) << "a disabled save opened a panel; seed " << seed;
            return;
        }
        // Results of other folders than the fields name are saved only when the user says so.
        const bool otherFolders =
            controller.pane(videoAudit ? QKAppDelegate::Audit::Videos : QKAppDelegate::Audit::Roms).isOfOtherFolders();
        const bool keep = !otherFolders || !chance(25);
        if (otherFolders)
            confirm.willAnswer(keep);
        if (!keep) {
            QTest::mouseClick(button, Qt::LeftButton);
            ASSERT_TRUE(confirm.answers.empty()) << "the save did not ask about other folders; seed " << seed;
            return;
        }
        const bool cancel = chance(25);
        const QString directory = pick(saveDirs);
        const std::vector<ReportFile> files = videoAudit ? videoReportFiles(videoLists()) : romReportFiles(romLists());
        // Once a folder holds reports, replacing them is asked; a refusal writes nothing.
        const bool asked = !cancel && QFileInfo::exists(directory + u'/' + files.front().fileName);
        const bool refuse = asked && chance(25);
        if (cancel)
            panel.willCancel();
        else
            panel.willChoose(directory);
        if (asked)
            confirm.willAnswer(!refuse);
        QTest::mouseClick(button, Qt::LeftButton);
        ++panelRequests;
        ASSERT_TRUE(panel.answers.empty()) << "the save did not ask for its folder; seed " << seed;
        ASSERT_TRUE(confirm.answers.empty()) << "the save did not ask before replacing; seed " << seed;
        if (cancel || refuse)
            return;
        ++saves;
        for (const ReportFile &file : files) {
            QFile written(directory + u'/' + file.fileName);
            ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << file.fileName.toStdString() << "; seed " << seed;
            EXPECT_EQ(written.readAll(), file.bytes)
                << file.fileName.toStdString() << " is not the shown audit's report; seed " << seed;
        }
    }

    void chooseDirectory()
    {
        if (chance(15)) {
            panel.willCancel();
        } else {
            const int which = int(rng() % quint64(directories.size()));
            panel.willChoose(directories.at(which));
            ++searchesRunning;
            // A later search supersedes an earlier one; a search that finds nothing empties the field.
            expectedListField = foundLists.at(which);
        }
        QTest::mouseClick(ui().chooseZelvoraDirButton, Qt::LeftButton);
        ++panelRequests;
    }

    void chooseListFile()
    {
        if (chance(15)) {
            panel.willCancel();
        } else {
            const QString file = pick(listFiles);
            panel.willChoose(file);
            expectedListField = file;
        }
        QTest::mouseClick(ui().chooseRomsListButton, Qt::LeftButton);
        ++panelRequests;
    }

    void clickCheckBox()
    {
        // Unticking it with the segment of videos for missing roms selected shows the valid ones.
        const bool shows = ui().checkAvailableRomVideosOnly->isChecked() &&
                           ui().videosResultControl->selectedSegment() == int(VideoList::Extra);
        AppTest::clickCheckBox();
        if (shows)
            videosRendered = true;
    }

    void letEventsRun()
    {
        if (chance(50))
            QCoreApplication::processEvents();
        else
            QTest::qWait(int(rng() % 4));
    }

    // What must hold between any two steps.
    void checkWindow()
    {
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", step " << steps);
        EXPECT_EQ(controller.isAuditing(QKAppDelegate::Audit::Roms), romsRunning);
        EXPECT_EQ(controller.isAuditing(QKAppDelegate::Audit::Videos), videosRunning);
        const auto checkIdleLook = [](bool running, QPushButton *audit, QPushButton *save, SegmentedControl *control,
                                      ResultView *view, bool hasResults) {
            EXPECT_EQ(audit->isEnabled(), !running);
            EXPECT_EQ(save->isEnabled(), !running && hasResults);
            EXPECT_EQ(control->isEnabled(), !running);
            EXPECT_EQ(view->isHidden(), running);
        };
        checkIdleLook(romsRunning, ui().auditRomsButton, ui().saveRomsButton, ui().romsResultControl,
                      ui().romsResultView, roms != nullptr && !controller.areExtrasPending(QKAppDelegate::Audit::Roms));
        checkIdleLook(videosRunning, ui().auditVideosButton, ui().saveVideosButton, ui().videosResultControl,
                      ui().videosResultView,
                      videos != nullptr && !controller.areExtrasPending(QKAppDelegate::Audit::Videos));
        const bool busy = romsRunning || videosRunning;
        EXPECT_EQ(ui().progressIndicator->isAnimating(), busy);
        EXPECT_EQ(ui().progressLabel->isHidden(), !busy);
        EXPECT_EQ(ui().videosResultControl->isEnabledForSegment(int(VideoList::Extra)),
                  ui().checkAvailableRomVideosOnly->isChecked());

        // Each view shows one whole list of the last audit that gave results: never a part, never a
        // list of a run still going, never a mix of two runs.
        const int romSegment = ui().romsResultControl->selectedSegment();
        ASSERT_GE(romSegment, 0);
        const QString romText = ui().romsResultView->string();
        if (romsRendered || !romText.isEmpty()) {
            EXPECT_EQ(romText, QString::fromUtf8(formatResultText(romViewFormat(RomList(romSegment)),
                                                                  romList(romLists(), RomList(romSegment)))));
        }
        const int videoSegment = ui().videosResultControl->selectedSegment();
        ASSERT_GE(videoSegment, 0);
        const QString videoText = ui().videosResultView->string();
        if (videosRendered || !videoText.isEmpty()) {
            EXPECT_EQ(videoText, QString::fromUtf8(formatResultText(videoViewFormat(VideoList(videoSegment)),
                                                                    videoList(videoLists(), VideoList(videoSegment)))));
        }

        // An alert is posted just before its finish step, so one may be up already.
        const int running = int(romsRunning) + int(videosRunning);
        EXPECT_GE(alert.shown.size(), expectedAlerts);
        EXPECT_LE(alert.shown.size(), expectedAlerts + running);

        if (romsRunning) {
            ASSERT_LT(romsClock.elapsed(), kHangMs) << "a rom audit hangs";
        }
        if (videosRunning) {
            ASSERT_LT(videosClock.elapsed(), kHangMs) << "a video audit hangs";
        }
    }

    StressTrees trees;
    quint32 seed = 0;
    std::mt19937_64 rng;
    QList<QString> directories;
    QList<QString> foundLists;
    QList<QString> listFiles;
    QList<QString> saveDirs;

    std::map<QString, RomOutcome> romOutcomes;
    std::map<QString, VideoOutcome> videoOutcomes;

    // The model: the lists the window should hold, and what is under way.
    std::shared_ptr<const RomAudit> roms;
    std::shared_ptr<const VideoAudit> videos;
    const RomResults &romLists() const
    {
        static const RomResults none;
        return roms ? roms->lists : none;
    }
    const VideoResults &videoLists() const
    {
        static const VideoResults none;
        return videos ? videos->lists : none;
    }
    bool romsRendered = false;
    bool videosRendered = false;
    bool romsRunning = false;
    bool videosRunning = false;
    AuditInputs romsInputs;
    AuditInputs videosInputs;
    QElapsedTimer romsClock;
    QElapsedTimer videosClock;
    qsizetype expectedAlerts = 0;
    qsizetype panelRequests = 0;
    int searchesRunning = 0;
    QString expectedListField;

    int steps = 0;
    int startedAudits = 0;
    int finishedAudits = 0;
    int stepsWhileAuditing = 0;
    int saves = 0;
};

TEST_F(StressTest, RandomClicksWhileAuditsRunKeepTheWindowTruthful)
{
    const int iterations = envInt("ZELVORA_STRESS_ITERATIONS", kDefaultIterations);
    const qint64 budgetMs = qint64(envInt("ZELVORA_STRESS_SECONDS", kDefaultSeconds)) * 1000;
    QElapsedTimer clock;
    clock.start();

    for (steps = 0; steps < iterations && clock.elapsed() < budgetMs; ++steps) {
        if (romsRunning || videosRunning)
            ++stepsWhileAuditing;
        // Weighted: audits and segment clicks most, the panels less.
        switch (int(rng() % 20)) {
        case 0:
        case 1:
        case 2:
            clickAudit(false);
            break;
        case 3:
        case 4:
        case 5:
            clickAudit(true);
            break;
        case 6:
        case 7:
        case 8:
            clickSegment(false);
            break;
        case 9:
        case 10:
        case 11:
            clickSegment(true);
            break;
        case 12:
        case 13:
            clickCheckBox();
            break;
        case 14:
            clickSave(false);
            break;
        case 15:
            clickSave(true);
            break;
        case 16:
            chooseDirectory();
            break;
        case 17:
            chooseListFile();
            break;
        case 18:
            ui().tabView->setCurrentIndex(int(rng() % 2));
            break;
        default:
            QTest::qWait(int(rng() % 20));
            break;
        }
        if (HasFatalFailure() || HasFailure())
            break;
        letEventsRun();
        checkWindow();
        if (HasFatalFailure() || HasFailure())
            break;
    }

    // Let everything under way end, then the window must be idle and the list field settled.
    QElapsedTimer drain;
    drain.start();
    while ((romsRunning || videosRunning || searchesRunning > 0) && drain.elapsed() < kHangMs)
        QTest::qWait(5);
    EXPECT_FALSE(romsRunning || videosRunning) << "an audit never finished; seed " << seed;
    EXPECT_EQ(searchesRunning, 0) << "a list-file search never ended; seed " << seed;
    checkWindow();
    EXPECT_EQ(alert.shown.size(), expectedAlerts);
    EXPECT_EQ(ui().romsListPathTextField->text(), expectedListField) << "seed " << seed;
    EXPECT_EQ(panel.requests.size(), panelRequests);

    std::printf("stress: %d steps in %lld ms (%d while an audit ran), %d audits started, %d finished, %d saves, "
                "%lld alerts\n",
                steps, clock.elapsed(), stepsWhileAuditing, startedAudits, finishedAudits, saves,
                qint64(alert.shown.size()));
    // A run that never overlapped clicks with an audit has tested nothing.
    EXPECT_GT(finishedAudits, 1) << "seed " << seed;
    EXPECT_GT(stepsWhileAuditing, 0) << "seed " << seed;
}

} // namespace
} // namespace zelvora::test
