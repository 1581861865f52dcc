#include "app/problemsview.h"
#include "apptestfixture.h"
#include "platform/busyindicator.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

using LifecycleTest = AppTest;

TEST_F(LifecycleTest, LaunchGivesBothViewsTheBoldSystemFontAt13Points)
{
    controller.applicationDidFinishLaunching();
    for (const ResultView *view : {ui().romsResultView, ui().videosResultView}) {
        EXPECT_TRUE(view->font().bold());
        EXPECT_DOUBLE_EQ(view->font().pointSizeF(), 13.0);
        EXPECT_EQ(view->font().family(), QApplication::font().family());
    }
}

TEST_F(LifecycleTest, WindowStartsIdleWithTheFirstSegmentsSelected)
{
    controller.applicationDidFinishLaunching();
    window.show();

    EXPECT_EQ(window.windowTitle(), u"Zelvora Auditor"_s);
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.windowIcon().availableSizes().size(), 5) << "16, 32, 48, 128 and 256 pixels";
    EXPECT_EQ(ui().romsResultControl->segmentCount(), 3);
    EXPECT_EQ(ui().videosResultControl->segmentCount(), 4);
    EXPECT_EQ(ui().romsResultControl->selectedSegment(), 0);
    EXPECT_EQ(ui().videosResultControl->selectedSegment(), 0);
    EXPECT_FALSE(ui().checkAvailableRomVideosOnly->isChecked());
    EXPECT_FALSE(ui().videosResultControl->isEnabledForSegment(2)) << "the check box starts off";
    EXPECT_TRUE(ui().videosResultControl->isEnabledForSegment(3));
    EXPECT_TRUE(ui().progressLabel->isHidden());
    EXPECT_FALSE(ui().progressIndicator->isAnimating());
    EXPECT_FALSE(ui().romsResultView->isHidden());
    EXPECT_EQ(ui().tabView->count(), 2);
}

TEST_F(LifecycleTest, OutletsAreTheWindowsControls)
{
    EXPECT_EQ(controller.zelvoraDirPathTextField(), ui().zelvoraDirPathTextField);
    EXPECT_EQ(controller.romsListPathTextField(), ui().romsListPathTextField);
    EXPECT_EQ(controller.romsResultView(), ui().romsResultView);
    EXPECT_EQ(controller.romsResultControl(), ui().romsResultControl);
    EXPECT_EQ(controller.videosResultView(), ui().videosResultView);
    EXPECT_EQ(controller.videosResultControl(), ui().videosResultControl);
    EXPECT_EQ(controller.checkAvailableRomVideosOnly(), ui().checkAvailableRomVideosOnly);
    EXPECT_EQ(controller.progressLabel(), ui().progressLabel);
    EXPECT_EQ(controller.progressIndicator(), ui().progressIndicator);
    EXPECT_EQ(controller.tabView(), ui().tabView);

    controller.setTabView(nullptr);
    EXPECT_EQ(controller.tabView(), nullptr);
}

TEST(LifecycleShutdownTest, NoWorkerOutlivesTheController)
{
    ZelvoraTree zelvora;
    zelvora.writeList("a\nb\n");
    for (int i = 0; i < 200; ++i)
        zelvora.tree.file(u"roms/d%1/game%1.zip"_s.arg(i));

    for (const bool extrasInFlight : {false, true}) {
        SCOPED_TRACE(extrasInFlight ? "a result's problems being found" : "both audits running");
        SettingsStoreDouble settings;
        OpenPanelDouble panel;
        AlertDouble alert;
        UrlOpenerDouble urlOpener;
        ConfirmDouble confirm;
        MainWindow window;
        {
            QKAppDelegate controller(PlatformServices{settings, panel, alert, urlOpener, confirm});
            // Declared after the controller, so released before it goes: its destructor waits for the job.
            QSemaphore gate;
            const std::unique_ptr<QSemaphore, void (*)(QSemaphore *)> opener(&gate,
                                                                             [](QSemaphore *g) { g->release(); });
            window.connectController(controller);
            settings.values.insert(u"ZelvoraDirPath"_s, zelvora.tree.path());
            settings.values.insert(u"ZelvoraRomsListPath"_s, zelvora.listPath());
            controller.applicationDidFinishLaunching();
            if (extrasInFlight) {
                startOnPool(controller.pane(QKAppDelegate::Audit::Roms).extrasWorkers(), [&gate] { gate.acquire(); });
                QSignalSpy running(&controller, &QKAppDelegate::romsAuditRunningChanged);
                controller.auditRoms();
                while (controller.isAuditing(QKAppDelegate::Audit::Roms))
                    ASSERT_TRUE(running.wait(20000));
                EXPECT_TRUE(controller.areExtrasPending(QKAppDelegate::Audit::Roms));
            } else {
                panel.willChoose(zelvora.tree.path());
                controller.selectZelvoraDirectory();
                controller.auditRoms();
                controller.auditVideos();
            }
        } // the destructor waits; what the workers post afterwards is dropped with the controller

        QTest::qWait(50);
        EXPECT_TRUE(alert.shown.isEmpty());
        if (extrasInFlight) {
            EXPECT_EQ(window.problemsPane(0)->toggle()->text(), u"Problems (…)"_s)
                << "no problems shown after the controller went";
            continue;
        }
        EXPECT_TRUE(window.ui().romsResultView->string().isEmpty()) << "no finish step ran after the controller went";
        EXPECT_TRUE(window.ui().videosResultView->string().isEmpty());
    }
}

} // namespace
} // namespace zelvora::test
