#include "apptestfixture.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"
#include "support/headers.h"

#include <QCheckBox>
#include <QTextBlock>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

class ResultViewsTest : public AppTest
{
protected:
    void SetUp() override
    {
        zelvora.writeList("abd\nabe\n");
        zelvora.tree.file(u"videos/abd.xmv"_s);
        zelvora.tree.file(u"videos/abc.xmv"_s);
        zelvora.tree.file(u"roms/abe.zip"_s);
        launchWith(zelvora.tree.path(), zelvora.listPath());
    }

    ZelvoraTree zelvora;
};

TEST_F(ResultViewsTest, ControlsShowTheirListsBeforeAnyAudit)
{
    // The segments follow the order of the lists.
    for (int segment = 0; segment < int(headers::kRomView.size()); ++segment) {
        clickSegment(ui().romsResultControl, segment);
        EXPECT_EQ(romsText(), resultText(headers::kRomView.at(std::size_t(segment)), {})) << segment;
    }
    clickCheckBox(); // segment 2 is clickable only with the check box on
    for (int segment = 0; segment < int(headers::kVideo.size()); ++segment) {
        clickSegment(ui().videosResultControl, segment);
        EXPECT_EQ(videosText(), resultText(headers::kVideo.at(std::size_t(segment)), {})) << segment;
    }
}

TEST_F(ResultViewsTest, NoSelectionLeavesTheViewAlone)
{
    clickSegment(ui().romsResultControl, 1);
    clickSegment(ui().videosResultControl, 1);
    const QString romsBefore = romsText();
    const QString videosBefore = videosText();

    ui().romsResultControl->setSelectedSegment(-1);
    ui().videosResultControl->setSelectedSegment(-1);
    controller.didClickRomsResultControl(ui().romsResultControl);
    controller.didClickVideosResultControl(ui().videosResultControl);

    EXPECT_EQ(romsText(), romsBefore);
    EXPECT_EQ(videosText(), videosBefore);
}

TEST_F(ResultViewsTest, CheckBoxEnablesTheSegmentForMissingRomsOnly)
{
    clickCheckBox(); // on
    clickAuditVideos();
    const QString validText = resultText(headers::kValidVideos, {});

    const struct
    {
        const char *name;
        int selectedBefore;
        bool checkBoxAfter;
        int selectedAfter;
        bool textChanges;
    } cases[] = {
        {"off while the missing videos are shown", 1, false, 1, false},
        {"off while the videos for missing roms are shown", 2, false, 0, true},
        {"on again", 1, true, 1, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ui().checkAvailableRomVideosOnly->setChecked(!c.checkBoxAfter);
        controller.didClickCheckAvailableRomVideosOnly(ui().checkAvailableRomVideosOnly);
        clickSegment(ui().videosResultControl, c.selectedBefore);
        const QString before = videosText();

        clickCheckBox();

        EXPECT_EQ(ui().checkAvailableRomVideosOnly->isChecked(), c.checkBoxAfter);
        EXPECT_EQ(ui().videosResultControl->isEnabledForSegment(2), c.checkBoxAfter);
        EXPECT_EQ(ui().videosResultControl->selectedSegment(), c.selectedAfter);
        EXPECT_EQ(videosText(), c.textChanges ? validText : before);
    }
    EXPECT_EQ(ui().videosResultControl->selectedSegment(), 1) << "turning it on does not bring segment 2 back";
}

TEST_F(ResultViewsTest, TheCheckBoxChangesNoList)
{
    clickCheckBox(); // on
    clickAuditVideos();
    clickSegment(ui().videosResultControl, 2);
    const QString extra = videosText();
    ASSERT_EQ(extra, resultText(headers::kExtraVideos, {"abd.xmv"}));

    clickCheckBox(); // off: shows segment 0
    clickCheckBox(); // on
    clickSegment(ui().videosResultControl, 2);
    EXPECT_EQ(videosText(), extra);
}

TEST_F(ResultViewsTest, ViewShowsEachNameOnALineOfItsOwn)
{
    clickAuditVideos();
    clickSegment(ui().videosResultControl, 3);
    ASSERT_EQ(videosText(), resultText(headers::kUnknownVideos, {"abc.xmv"}));

    // The text keeps CR LF; the display must not show a CR as a glyph or as an extra line.
    QStringList lines;
    for (QTextBlock block = ui().videosResultView->document()->begin(); block.isValid(); block = block.next())
        lines.append(block.text());
    EXPECT_EQ(lines, resultText(headers::kUnknownVideos, {"abc.xmv"}).split(u"\r\n"_s));
}

} // namespace
} // namespace zelvora::test
