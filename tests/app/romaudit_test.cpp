#include "app/phasereporter.h"
#include "apptestfixture.h"
#include "platform/busyindicator.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"
#include "support/headers.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

class RomAuditTest : public AppTest
{
protected:
    // Supported: Bravo, RaceOne, zzz.7z. Archives: bravo.zip, raceone.ZIP (deep), Extra.zip.
    void SetUp() override
    {
        zelvora.writeList("RaceOne\r\nzzz.7z\r\n\r\nBravo\r\n");
        zelvora.tree.file(u"roms/a/b/raceone.ZIP"_s);
        zelvora.tree.file(u"roms/bravo.zip"_s);
        zelvora.tree.file(u"romsConsoles/Extra.zip"_s);
        zelvora.tree.file(u"roms/notes.txt"_s);
        launchWith(zelvora.tree.path(), zelvora.listPath());
    }

    QString romsTextOf(int segment)
    {
        ui().romsResultControl->setSelectedSegment(segment);
        controller.didClickRomsResultControl(ui().romsResultControl);
        return romsText();
    }

    ZelvoraTree zelvora;
};

const QString kValid = resultText(headers::kValidRoms, {"Bravo.zip", "RaceOne.zip"});
const QString kMissing = resultText(headers::kMissingRoms, {"zzz.zip"});
const QString kUnknown = resultText(headers::kUnknownRomsView, {"Extra.zip"});

TEST_F(RomAuditTest, ShowsEachListOfTheAuditInTheView)
{
    clickAuditRoms();

    EXPECT_EQ(romsText(), kValid) << "the finish step renders the selected segment";
    const struct
    {
        int segment;
        QString text;
    } cases[] = {{1, kMissing}, {2, kUnknown}, {0, kValid}};
    for (const auto &c : cases) {
        clickSegment(ui().romsResultControl, c.segment);
        EXPECT_EQ(romsText(), c.text) << "segment " << c.segment;
    }
    EXPECT_TRUE(alert.shown.isEmpty());
}

TEST_F(RomAuditTest, BusyWhileRunningAndIdleAfterwards)
{
    QSignalSpy running(&controller, &QKAppDelegate::romsAuditRunningChanged);
    QTest::mouseClick(ui().auditRomsButton, Qt::LeftButton);

    // Nothing of the worker reaches the window before the event loop runs again.
    EXPECT_TRUE(ui().romsResultView->isHidden());
    EXPECT_EQ(ui().romsResultContainer->palette().color(QPalette::Window), QColor::fromRgbF(0.9f, 0.9f, 0.9f));
    EXPECT_FALSE(ui().progressLabel->isHidden());
    EXPECT_TRUE(ui().progressIndicator->isAnimating());
    EXPECT_FALSE(ui().auditRomsButton->isEnabled());
    EXPECT_FALSE(ui().saveRomsButton->isEnabled());
    EXPECT_FALSE(ui().romsResultControl->isEnabled());
    EXPECT_TRUE(ui().auditVideosButton->isEnabled()) << "the other audit stays available";

    waitForRomsAudit();
    EXPECT_FALSE(ui().romsResultView->isHidden());
    EXPECT_EQ(ui().romsResultContainer->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(ui().progressLabel->isHidden());
    EXPECT_EQ(ui().progressLabel->text(), u"Auditing roms..."_s) << "the last phase text stays";
    EXPECT_FALSE(ui().progressIndicator->isAnimating());
    EXPECT_TRUE(ui().auditRomsButton->isEnabled());
    EXPECT_TRUE(ui().saveRomsButton->isEnabled());
    EXPECT_TRUE(ui().romsResultControl->isEnabled());
}

TEST_F(RomAuditTest, ShowsTheSegmentSelectedWhenTheAuditEnds)
{
    clickSegment(ui().romsResultControl, 2);
    clickAuditRoms();
    EXPECT_EQ(ui().romsResultControl->selectedSegment(), 2);
    EXPECT_EQ(romsText(), kUnknown);
}

TEST_F(RomAuditTest, UnusableListShowsTheAlertAndKeepsEarlierResults)
{
    clickAuditRoms();
    clickSegment(ui().romsResultControl, 1);

    zelvora.tree.file(u"big.txt"_s, QByteArray(2'097'153, 'a'));
    zelvora.tree.file(u"odd.txt"_s, "\xFF\xFE\x41"); // UTF-16 by its mark, with half a character
    const struct
    {
        QString path;
        QString reason; // empty: the path is empty
    } unusable[] = {
        {zelvora.tree.filePath(u"no such list.txt"_s), u"missing"_s},
        {zelvora.tree.filePath(u"roms"_s), u"not a regular file"_s},
        {zelvora.tree.filePath(u"big.txt"_s), u"over 2 MiB"_s},
        {zelvora.tree.filePath(u"odd.txt"_s), u"not decodable"_s},
        {QString(), {}},
    };
    for (const auto &[path, reason] : unusable) {
        alert.shown.clear();
        ui().romsListPathTextField->setText(path);
        clickAuditRoms();

        ASSERT_EQ(alert.shown.size(), 1) << path.toStdString();
        EXPECT_EQ(alert.shown.at(0).messageText, u"Error"_s);
        EXPECT_EQ(alert.shown.at(0).informativeText, u"Can't find supported roms list or it is too big."_s);
        EXPECT_EQ(alert.shown.at(0).defaultButton, u"OK"_s);
        EXPECT_EQ(
            alert.shown.at(0).detail,
            reason.isEmpty()
                ? u"No file named \"- Supported Games Lookup For Naming.txt\" was found below the Zelvora directory."_s
                : u"%1\n\nThe file is %2."_s.arg(path, reason));
        EXPECT_EQ(ui().progressLabel->text(), u"Caching supported rom list..."_s);
        EXPECT_FALSE(ui().romsResultView->isHidden());
        EXPECT_TRUE(ui().romsResultControl->isEnabled());
        const QString earlier[] = {kValid, kMissing, kUnknown};
        for (int segment = 0; segment < 3; ++segment)
            EXPECT_EQ(romsTextOf(segment), earlier[segment]) << "segment " << segment;
    }
}

// With no directory an audit would pass an empty collection off as this one.
TEST_F(RomAuditTest, TheAuditButtonsWaitForADirectory)
{
    QPushButton *const buttons[] = {ui().auditRomsButton, ui().auditVideosButton};
    ui().zelvoraDirPathTextField->setText(u"  "_s);
    for (QPushButton *button : buttons) {
        EXPECT_FALSE(button->isEnabled());
        EXPECT_EQ(button->toolTip(), u"Choose the Zelvora directory first"_s);
    }
    ui().zelvoraDirPathTextField->setText(zelvora.tree.path());
    for (QPushButton *button : buttons) {
        EXPECT_TRUE(button->isEnabled());
        EXPECT_NE(button->toolTip(), u"Choose the Zelvora directory first"_s);
    }
}

TEST_F(RomAuditTest, AuditsThePathsAsTheyWereWhenItStarted)
{
    QSignalSpy running(&controller, &QKAppDelegate::romsAuditRunningChanged);
    QTest::mouseClick(ui().auditRomsButton, Qt::LeftButton);
    ui().romsListPathTextField->setText(u"/nowhere/list.txt"_s);
    ui().zelvoraDirPathTextField->setText(u"/nowhere"_s);
    waitForRomsAudit();

    EXPECT_TRUE(alert.shown.isEmpty());
    EXPECT_EQ(romsText(), kValid);
}

TEST_F(RomAuditTest, IndicatorStaysBusyUntilTheLastAuditEnds)
{
    struct Moment
    {
        bool animating;
        bool labelShown;
    };
    QList<Moment> atFinish;
    const auto record = [&](bool running) {
        if (!running)
            atFinish.append({ui().progressIndicator->isAnimating(), !ui().progressLabel->isHidden()});
    };
    QObject::connect(&controller, &QKAppDelegate::romsAuditRunningChanged, &controller, record);
    QObject::connect(&controller, &QKAppDelegate::videosAuditRunningChanged, &controller, record);

    controller.auditRoms(ui().auditRomsButton);
    controller.auditVideos(ui().auditVideosButton);
    waitForRomsAudit();
    waitForVideosAudit();

    ASSERT_EQ(atFinish.size(), 2);
    EXPECT_TRUE(atFinish.at(0).animating && atFinish.at(0).labelShown) << "the other audit is still running";
    EXPECT_FALSE(atFinish.at(1).animating || atFinish.at(1).labelShown);
}

// As the workers of two running audits report, in turn.
TEST_F(RomAuditTest, EachRunningAuditShowsItsOwnPhase)
{
    using Audit = QKAppDelegate::Audit;
    PhaseReporter roms(&controller.pane(Audit::Roms));
    PhaseReporter videos(&controller.pane(Audit::Videos));
    const struct
    {
        PhaseReporter *reporter;
        QString phase;
        QString shown;
    } steps[] = {
        {&videos, u"Caching Zelvora video directories..."_s, u"Caching Zelvora video directories..."_s},
        {&roms, u"Caching Zelvora rom directories..."_s,
         u"Roms: Caching Zelvora rom directories... · Videos: Caching Zelvora video directories..."_s},
        {&videos, u"Auditing videos..."_s, u"Roms: Caching Zelvora rom directories... · Videos: Auditing videos..."_s},
    };
    for (const auto &step : steps) {
        step.reporter->phase(step.phase);
        QCoreApplication::processEvents();
        EXPECT_EQ(ui().progressLabel->text(), step.shown);
    }
}

TEST_F(RomAuditTest, ReturnClicksTheFocusedButtonAndTheFocusComesBackAfterTheAudit)
{
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    clickAuditRoms(); // so that Save is enabled
    const struct
    {
        const char *name;
        QWidget *focused;
    } cases[] = {
        {"audit", ui().auditRomsButton},
        {"save", ui().saveRomsButton},
        {"segment", ui().romsResultControl->segmentButton(1)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        c.focused->setFocus();
        QSignalSpy running(&controller, &QKAppDelegate::romsAuditRunningChanged);
        if (c.focused == ui().auditRomsButton) {
            QTest::keyClick(c.focused, Qt::Key_Return);
            ASSERT_EQ(running.size(), 1) << "Return started no audit";
        } else {
            controller.auditRoms();
        }
        waitForRomsAudit();
        EXPECT_EQ(QApplication::focusWidget(), c.focused);
    }
    panel.willCancel();
    ui().saveRomsButton->setFocus();
    QTest::keyClick(ui().saveRomsButton, Qt::Key_Return);
    EXPECT_EQ(panel.requests.size(), 1) << "Return on Save asks for the folder";
}

TEST_F(RomAuditTest, EmptyListIsNoFailure)
{
    zelvora.writeList("\n\r\n");
    clickAuditRoms();
    EXPECT_TRUE(alert.shown.isEmpty());
    EXPECT_EQ(romsText(), resultText(headers::kValidRoms, {}));
    EXPECT_EQ(romsTextOf(2), resultText(headers::kUnknownRomsView, {"bravo.zip", "Extra.zip", "raceone.ZIP"}));
}

} // namespace
} // namespace zelvora::test
