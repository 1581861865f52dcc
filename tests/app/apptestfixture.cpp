#include "apptestfixture.h"

#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace zelvora::test {

namespace {

constexpr int kWaitMs = 20000;

void waitForFalse(QSignalSpy &spy)
{
    const auto finished = [&spy] {
        for (const QList<QVariant> &arguments : std::as_const(spy))
            if (!arguments.at(0).toBool())
                return true;
        return false;
    };
    while (!finished())
        ASSERT_TRUE(spy.wait(kWaitMs)) << "the audit did not finish";
}

} // namespace

AppTest::AppTest()
{
    window.connectController(controller);
}

void AppTest::launchWith(const QString &zelvoraDir, const QString &romsListPath)
{
    settings.values.insert(QStringLiteral("ZelvoraDirPath"), zelvoraDir);
    settings.values.insert(QStringLiteral("ZelvoraRomsListPath"), romsListPath);
    controller.applicationDidFinishLaunching();
    window.show();
}

void AppTest::clickAuditRoms()
{
    QSignalSpy spy(&controller, &QKAppDelegate::romsAuditRunningChanged);
    ui().tabView->setCurrentWidget(ui().romsTab);
    QTest::mouseClick(ui().auditRomsButton, Qt::LeftButton);
    waitForFalse(spy);
    waitForExtras(QKAppDelegate::Audit::Roms);
}

void AppTest::clickAuditVideos()
{
    QSignalSpy spy(&controller, &QKAppDelegate::videosAuditRunningChanged);
    ui().tabView->setCurrentWidget(ui().videosTab);
    QTest::mouseClick(ui().auditVideosButton, Qt::LeftButton);
    waitForFalse(spy);
    waitForExtras(QKAppDelegate::Audit::Videos);
}

void AppTest::waitForRomsAudit()
{
    if (controller.isAuditing(QKAppDelegate::Audit::Roms)) {
        QSignalSpy spy(&controller, &QKAppDelegate::romsAuditRunningChanged);
        waitForFalse(spy);
    }
    waitForExtras(QKAppDelegate::Audit::Roms);
}

void AppTest::waitForVideosAudit()
{
    if (controller.isAuditing(QKAppDelegate::Audit::Videos)) {
        QSignalSpy spy(&controller, &QKAppDelegate::videosAuditRunningChanged);
        waitForFalse(spy);
    }
    waitForExtras(QKAppDelegate::Audit::Videos);
}

void AppTest::waitForExtras(QKAppDelegate::Audit audit)
{
    QSignalSpy spy(&controller, &QKAppDelegate::extrasPendingChanged);
    while (controller.areExtrasPending(audit))
        ASSERT_TRUE(spy.wait(kWaitMs)) << "the problems and changes did not arrive";
}

void AppTest::waitForRomListSearches(int count)
{
    QSignalSpy spy(&controller, &QKAppDelegate::romListSearchFinished);
    while (spy.count() < count)
        ASSERT_TRUE(spy.wait(kWaitMs)) << "the search did not end";
}

void AppTest::clickSegment(SegmentedControl *control, int segment)
{
    ui().tabView->setCurrentWidget(control == ui().romsResultControl ? ui().romsTab : ui().videosTab);
    QTest::mouseClick(control->segmentButton(segment), Qt::LeftButton);
}

void AppTest::clickCheckBox()
{
    ui().tabView->setCurrentWidget(ui().videosTab);
    QTest::mouseClick(ui().checkAvailableRomVideosOnly, Qt::LeftButton);
}

QString AppTest::romsText() const
{
    return controller.romsResultView()->string();
}

QString AppTest::videosText() const
{
    return controller.videosResultView()->string();
}

} // namespace zelvora::test
