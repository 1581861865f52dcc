// Cancelling a running audit: by its button or Esc, the earlier results stay and the phase row says so.
#include "apptestfixture.h"
#include "platform/resultview.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

using Audit = QKAppDelegate::Audit;

class CancelTest : public AppTest
{
protected:
    void SetUp() override
    {
        zelvora.writeList("alpha\nbeta\n");
        zelvora.tree.file(u"roms/alpha.zip"_s);
        zelvora.tree.file(u"videos/alpha.xmv"_s);
        launchWith(zelvora.tree.path(), zelvora.listPath());
        QApplication::setActiveWindow(&window);
    }

    ZelvoraTree zelvora;
};

// With nothing earlier to keep, the view says so rather than show empty lists as a result.
TEST_F(CancelTest, ACancelledFirstAuditLeavesNoResultAndSaysWhy)
{
    QTest::mouseClick(ui().auditRomsButton, Qt::LeftButton);
    QTest::mouseClick(window.cancelButton(0), Qt::LeftButton);
    waitForRomsAudit();
    EXPECT_EQ(romsText(), QString());
    EXPECT_TRUE(ui().romsResultView->placeholderText().startsWith(u"Cancelled: no results yet. "_s));
    EXPECT_FALSE(controller.hasResults(QKAppDelegate::Audit::Roms));

    clickAuditRoms();
    EXPECT_TRUE(romsText().startsWith(u"Found 1 roms"_s)) << romsText().toStdString();
}

TEST_F(CancelTest, CancelledAuditsKeepTheEarlierResults)
{
    clickAuditRoms();
    clickAuditVideos();
    zelvora.tree.file(u"roms/beta.zip"_s);
    zelvora.tree.file(u"videos/beta.xmv"_s);
    const QString roms = romsText();
    const QString videos = videosText();
    const QString caption = controller.pane(Audit::Roms).widgets().caption->text();

    const struct
    {
        const char *name;
        bool videos;
        std::function<void()> cancel;
    } cases[] = {
        {"rom audit, its button", false, [this] { QTest::mouseClick(window.cancelButton(0), Qt::LeftButton); }},
        {"rom audit, Esc", false, [this] { QTest::keyClick(ui().romsResultView, Qt::Key_Escape); }},
        {"video audit, Esc on the other tab", true,
         [this] {
             ui().tabView->setCurrentWidget(ui().romsTab);
             QTest::keyClick(ui().tabView, Qt::Key_Escape);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QSignalSpy spy(&controller,
                       c.videos ? &QKAppDelegate::videosAuditRunningChanged : &QKAppDelegate::romsAuditRunningChanged);
        ui().tabView->setCurrentWidget(c.videos ? ui().videosTab : ui().romsTab);
        QTest::mouseClick(c.videos ? ui().auditVideosButton : ui().auditRomsButton, Qt::LeftButton);
        EXPECT_TRUE(window.cancelButton(c.videos ? 1 : 0)->isVisible());
        c.cancel();
        c.videos ? waitForVideosAudit() : waitForRomsAudit();
        EXPECT_EQ(romsText(), roms);
        EXPECT_EQ(videosText(), videos);
        EXPECT_EQ(ui().progressLabel->text(), u"Cancelled"_s);
        EXPECT_FALSE(ui().progressLabel->isHidden());
        EXPECT_FALSE(window.cancelButton(c.videos ? 1 : 0)->isVisible());
    }
    EXPECT_EQ(controller.pane(Audit::Roms).widgets().caption->text(), caption);

    // Run again, to the end: the new results, and the note is gone.
    clickAuditRoms();
    clickAuditVideos();
    EXPECT_NE(romsText(), roms);
    EXPECT_NE(videosText(), videos);
    EXPECT_TRUE(ui().progressLabel->isHidden());
}

} // namespace
} // namespace zelvora::test
