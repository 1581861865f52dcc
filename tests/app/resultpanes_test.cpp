// The caption over each result view, its out-of-date mark, and the counts on the segments and strip.
#include "apptestfixture.h"
#include "platform/segmentedcontrol.h"
#include "platform/summarystrip.h"

#include <QCheckBox>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

using Audit = QKAppDelegate::Audit;

class ResultPanesTest : public AppTest
{
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        zelvora.writeList("abd\nabe\nabf\n");
        zelvora.tree.file(u"videos/abd.xmv"_s);
        zelvora.tree.file(u"videos/abc.xmv"_s);
        zelvora.tree.file(u"roms/abe.zip"_s);
        zelvora.tree.file(u"roms/sub/abd.zip"_s);
        zelvora.tree.file(u"roms/xyz.zip"_s);
        launchWith(zelvora.tree.path(), zelvora.listPath());
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    QString caption(Audit audit) const { return controller.pane(audit).widgets().caption->text(); }

    ZelvoraTree zelvora;
};

TEST_F(ResultPanesTest, NothingIsCaptionedBeforeAnAudit)
{
    EXPECT_TRUE(controller.pane(Audit::Roms).widgets().caption->isHidden());
    EXPECT_TRUE(controller.pane(Audit::Videos).widgets().strip->isHidden());
    EXPECT_EQ(ui().romsResultControl->segmentLabels(), (QStringList{u"Valid"_s, u"Missing"_s, u"Unknown"_s}));
}

TEST_F(ResultPanesTest, CountsFollowEachAudit)
{
    clickAuditRoms();
    EXPECT_EQ(ui().romsResultControl->segmentLabels(),
              (QStringList{u"Valid (2)"_s, u"Missing (1)"_s, u"Unknown (1)"_s}));
    const QList<SummaryStrip::Part> parts = controller.pane(Audit::Roms).widgets().strip->parts();
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts[1].label, u"Missing"_s);
    EXPECT_EQ(parts[1].count, 1);
    // Distinct colours, so no two lists look alike.
    EXPECT_NE(parts[0].color, parts[1].color);
    EXPECT_NE(parts[1].color, parts[2].color);
    EXPECT_FALSE(controller.pane(Audit::Roms).widgets().strip->isHidden());

    // A second audit counts again, from the segments' own texts.
    zelvora.tree.file(u"roms/abf.zip"_s);
    clickAuditRoms();
    EXPECT_EQ(ui().romsResultControl->segmentLabels(),
              (QStringList{u"Valid (3)"_s, u"Missing (0)"_s, u"Unknown (1)"_s}));
    EXPECT_EQ(groupedCount(11743), u"11,743"_s);
}

TEST_F(ResultPanesTest, TheVideoLegendNamesTheListOfMissingRomsOnlyWhenTheCheckBoxFillsIt)
{
    for (const bool checked : {false, true}) {
        SCOPED_TRACE(checked);
        if (ui().checkAvailableRomVideosOnly->isChecked() != checked)
            clickCheckBox();
        clickAuditVideos();
        QStringList labels;
        for (const SummaryStrip::Part &part : controller.pane(Audit::Videos).widgets().strip->parts())
            labels.append(part.label);
        EXPECT_EQ(labels.contains(ui().videosResultControl->segmentLabels().value(2).section(u" ("_s, 0, 0)), checked)
            << labels.join(u", "_s).toStdString();
        EXPECT_EQ(labels.size(), checked ? 4 : 3);
    }
}

TEST_F(ResultPanesTest, CaptionSaysWhatProducedTheResultAndWhenItNoLongerMatches)
{
    clickCheckBox(); // on
    clickAuditVideos();
    clickAuditRoms();
    EXPECT_TRUE(caption(Audit::Videos).startsWith(u"Audited "_s)) << caption(Audit::Videos).toStdString();
    EXPECT_TRUE(caption(Audit::Videos).endsWith(u" s · available roms only"_s)) << caption(Audit::Videos).toStdString();
    EXPECT_FALSE(caption(Audit::Roms).contains(u"roms only"_s));
    EXPECT_TRUE(controller.pane(Audit::Roms).widgets().caption->toolTip().contains(zelvora.listPath()));

    const QString dir = ui().zelvoraDirPathTextField->text();
    const QString list = ui().romsListPathTextField->text();
    const struct
    {
        const char *name;
        QString dir;
        QString list;
        bool checked;
        bool romsOutOfDate;
        bool videosOutOfDate;
    } cases[] = {
        {"as audited", dir, list, true, false, false},
        {"another directory", dir + u"/roms"_s, list, true, true, true},
        {"another list", dir, list + u"x"_s, true, true, true},
        {"list emptied", dir, QString(), true, true, true},
        {"check box off: videos only", dir, list, false, false, true},
        {"back as audited", dir, list, true, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ui().zelvoraDirPathTextField->setText(c.dir);
        ui().romsListPathTextField->setText(c.list);
        if (ui().checkAvailableRomVideosOnly->isChecked() != c.checked)
            clickCheckBox();
        EXPECT_EQ(caption(Audit::Roms).endsWith(u" · out of date"_s), c.romsOutOfDate);
        EXPECT_EQ(caption(Audit::Videos).endsWith(u" · out of date"_s), c.videosOutOfDate);
        EXPECT_EQ(controller.pane(Audit::Videos).widgets().caption->property("outOfDate").toBool(), c.videosOutOfDate);
    }

    // A new audit of the changed inputs is current again.
    clickCheckBox(); // off
    clickAuditVideos();
    EXPECT_TRUE(caption(Audit::Videos).endsWith(u" · all supported roms"_s)) << caption(Audit::Videos).toStdString();
}

} // namespace
} // namespace zelvora::test
