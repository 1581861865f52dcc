#include "platform/segmentedcontrol.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

class SegmentedControlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        control.setSegmentLabels({u"Valid"_s, u"Missing"_s, u"Extra"_s, u"Unknown"_s});
        control.show();
    }

    SegmentedControl control;
};

TEST_F(SegmentedControlTest, OnlyAUsersClickSendsTheAction)
{
    QSignalSpy activated(&control, &SegmentedControl::activated);
    EXPECT_EQ(control.selectedSegment(), -1);

    control.setSelectedSegment(1);
    EXPECT_EQ(control.selectedSegment(), 1);
    EXPECT_TRUE(activated.isEmpty());

    QTest::mouseClick(control.segmentButton(3), Qt::LeftButton);
    EXPECT_EQ(control.selectedSegment(), 3);
    ASSERT_EQ(activated.size(), 1);
    EXPECT_EQ(activated.at(0).at(0).toInt(), 3);

    QTest::mouseClick(control.segmentButton(3), Qt::LeftButton);
    EXPECT_EQ(control.selectedSegment(), 3) << "a second click keeps the segment";
    EXPECT_EQ(activated.size(), 2);
}

TEST_F(SegmentedControlTest, SelectionOutsideTheSegmentsClearsIt)
{
    for (int outside : {-1, 4, 99}) {
        control.setSelectedSegment(2);
        control.setSelectedSegment(outside);
        EXPECT_EQ(control.selectedSegment(), -1) << outside;
    }
}

TEST_F(SegmentedControlTest, DisabledSegmentKeepsItsStateAndIgnoresClicks)
{
    QSignalSpy activated(&control, &SegmentedControl::activated);
    control.setSelectedSegment(2);
    control.setEnabledForSegment(false, 2);
    EXPECT_EQ(control.selectedSegment(), 2) << "disabling does not change the selection";

    control.setSelectedSegment(0);
    QTest::mouseClick(control.segmentButton(2), Qt::LeftButton);
    EXPECT_EQ(control.selectedSegment(), 0);
    EXPECT_TRUE(activated.isEmpty());

    // Disabling and enabling the whole control (as an audit does) keeps the segment's own state.
    control.setEnabled(false);
    EXPECT_FALSE(control.isEnabledForSegment(2));
    EXPECT_TRUE(control.isEnabledForSegment(1));
    control.setEnabled(true);
    EXPECT_FALSE(control.isEnabledForSegment(2));
    EXPECT_TRUE(control.segmentButton(1)->isEnabled());

    control.setEnabledForSegment(true, 2);
    EXPECT_TRUE(control.isEnabledForSegment(2));
    EXPECT_FALSE(control.isEnabledForSegment(7));
}

TEST_F(SegmentedControlTest, ArrowsMoveTheFocusOverEnabledSegmentsAndReturnClicks)
{
    control.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&control));
    control.setEnabledForSegment(false, 2);
    control.segmentButton(0)->setFocus();
    const struct
    {
        Qt::Key key;
        int focused;
    } steps[] = {{Qt::Key_Left, 0}, {Qt::Key_Right, 1}, {Qt::Key_Right, 3}, {Qt::Key_Right, 3},
                 {Qt::Key_Left, 1}, {Qt::Key_Down, 3},  {Qt::Key_Up, 1}};
    for (const auto &step : steps) {
        QTest::keyClick(QApplication::focusWidget(), step.key);
        EXPECT_TRUE(control.segmentButton(step.focused)->hasFocus()) << "after key " << step.key;
    }
    QSignalSpy activated(&control, &SegmentedControl::activated);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(control.selectedSegment(), 1);
    ASSERT_EQ(activated.size(), 1);
    EXPECT_EQ(activated.at(0).at(0).toInt(), 1);
}

TEST_F(SegmentedControlTest, NewLabelsReplaceTheSegments)
{
    control.setSelectedSegment(3);
    control.setSegmentLabels({u"One"_s, u"Two"_s});
    EXPECT_EQ(control.segmentCount(), 2);
    EXPECT_EQ(control.segmentLabels(), (QStringList{u"One"_s, u"Two"_s}));
    EXPECT_EQ(control.selectedSegment(), -1);
}

// A window too narrow for the labels grows instead of clipping them.
TEST(SegmentedControlLabels, NoSegmentIsNarrowerThanItsLabel)
{
    SegmentedControl control;
    control.setSegmentLabels({u"Valid"_s, u"Missing"_s, u"For missing roms"_s});
    control.show();
    control.setLabelForSegment(u"For missing roms (2,159)"_s, 2);
    int labels = 0;
    for (int segment = 0; segment < control.segmentCount(); ++segment)
        labels += control.segmentButton(segment)->sizeHint().width();
    EXPECT_GE(control.minimumSizeHint().width(), labels);
}

} // namespace
} // namespace zelvora::test
