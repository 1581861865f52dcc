#include "apptestfixture.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"
#include "support/headers.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

QString valid(const std::vector<std::string_view> &names)
{
    return resultText(headers::kValidVideos, names);
}
QString missing(const std::vector<std::string_view> &names)
{
    return resultText(headers::kMissingVideos, names);
}
QString extra(const std::vector<std::string_view> &names)
{
    return resultText(headers::kExtraVideos, names);
}
QString unknown(const std::vector<std::string_view> &names)
{
    return resultText(headers::kUnknownVideos, names);
}

class VideoAuditTest : public AppTest
{
protected:
    // Videos abc, abd, zzz; supported abd, abe; archives abe.zip, abf.zip.
    void SetUp() override
    {
        zelvora.writeList("abd\nabe.7z\n");
        zelvora.tree.file(u"videos/abc.xmv"_s);
        zelvora.tree.file(u"videos2/deep/er/abd.XMV"_s);
        zelvora.tree.file(u"videosextra/zzz.xmv"_s);
        zelvora.tree.file(u"videos4/abd.zip"_s);
        zelvora.tree.file(u"roms/abe.zip"_s);
        zelvora.tree.file(u"romsConsoles/abf.zip"_s);
        launchWith(zelvora.tree.path(), zelvora.listPath());
    }

    // The view's text for each of the four segments, in segment order.
    QStringList videoTexts()
    {
        QStringList texts;
        for (int segment = 0; segment < 4; ++segment) {
            ui().videosResultControl->setSelectedSegment(segment);
            controller.didClickVideosResultControl(ui().videosResultControl);
            texts.append(videosText());
        }
        ui().videosResultControl->setSelectedSegment(0);
        return texts;
    }

    ZelvoraTree zelvora;
};

TEST_F(VideoAuditTest, FillsTheFourListsInBothModes)
{
    const struct
    {
        const char *name;
        bool availableRomsOnly;
        bool unreadableList;
        QStringList texts;
    } cases[] = {
        {"check box off",
         false,
         false,
         {valid({"abd.xmv"}), missing({"abe.xmv"}), extra({}), unknown({"abc.xmv", "zzz.xmv"})}},
        {"check box on",
         true,
         false,
         {valid({}), missing({"abe.xmv"}), extra({"abd.XMV"}), unknown({"abc.xmv", "zzz.xmv"})}},
        {"check box on, no list",
         true,
         true,
         {valid({}), missing({"abe.xmv", "abf.xmv"}), extra({}), unknown({"abc.xmv", "abd.XMV", "zzz.xmv"})}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ui().checkAvailableRomVideosOnly->setChecked(c.availableRomsOnly);
        ui().romsListPathTextField->setText(c.unreadableList ? zelvora.tree.filePath(u"nothing here"_s)
                                                             : zelvora.listPath());
        clickAuditVideos();
        EXPECT_TRUE(alert.shown.isEmpty()) << "with the check box on an unreadable list is no error";
        EXPECT_EQ(videoTexts(), c.texts);
        EXPECT_EQ(ui().progressLabel->text(), u"Auditing videos..."_s);
    }
}

TEST_F(VideoAuditTest, UnreadableListWithCheckBoxOffShowsTheAlertAndKeepsEarlierResults)
{
    ui().checkAvailableRomVideosOnly->setChecked(true);
    clickAuditVideos();
    const QStringList before = videoTexts();
    ASSERT_EQ(before.at(2), extra({"abd.XMV"}));

    ui().checkAvailableRomVideosOnly->setChecked(false);
    ui().romsListPathTextField->setText(zelvora.tree.filePath(u"nothing here"_s));
    clickAuditVideos();

    ASSERT_EQ(alert.shown.size(), 1);
    EXPECT_EQ(alert.shown.at(0).messageText, u"Error"_s);
    EXPECT_EQ(alert.shown.at(0).informativeText, u"Can't find supported roms list or it is too big."_s);
    EXPECT_EQ(ui().progressLabel->text(), u"Caching supported rom list..."_s);
    EXPECT_EQ(videoTexts(), before) << "including the videos for missing roms of the earlier run";
    EXPECT_FALSE(ui().videosResultView->isHidden());
    EXPECT_TRUE(ui().videosResultControl->isEnabled());
}

TEST_F(VideoAuditTest, ReadsTheCheckBoxOnceWhenItStarts)
{
    QSignalSpy running(&controller, &QKAppDelegate::videosAuditRunningChanged);
    ui().tabView->setCurrentWidget(ui().videosTab);
    QTest::mouseClick(ui().auditVideosButton, Qt::LeftButton);
    EXPECT_FALSE(ui().auditVideosButton->isEnabled());
    EXPECT_FALSE(ui().saveVideosButton->isEnabled());
    EXPECT_FALSE(ui().videosResultControl->isEnabled());
    EXPECT_TRUE(ui().videosResultView->isHidden());

    ui().checkAvailableRomVideosOnly->setChecked(true);
    waitForVideosAudit();

    EXPECT_EQ(videoTexts().at(0), valid({"abd.xmv"})) << "the run kept the check box off";
    EXPECT_TRUE(ui().auditVideosButton->isEnabled());
    EXPECT_TRUE(ui().saveVideosButton->isEnabled());
}

TEST_F(VideoAuditTest, ShowsTheSegmentSelectedWhenTheAuditEnds)
{
    clickSegment(ui().videosResultControl, 3);
    clickAuditVideos();
    EXPECT_EQ(ui().videosResultControl->selectedSegment(), 3);
    EXPECT_EQ(videosText(), unknown({"abc.xmv", "zzz.xmv"}));
}

} // namespace
} // namespace zelvora::test
