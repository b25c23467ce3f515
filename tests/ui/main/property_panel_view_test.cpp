#include "ui/main/property_panel.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QScrollBar>
#include <QSignalSpy>

#include "main_window_fixture.h"
#include "ui/controls/in_edit.h"

namespace tarvelo::ui {
namespace {

using testing::MainWindowRig;

TEST(NumberFormat, HexIsUpperCaseWithoutLeadingZerosFollowedByH) {
    EXPECT_EQ(formatNumber(60, true), "3Ch");
    EXPECT_EQ(formatNumber(0, true), "0h");
    EXPECT_EQ(formatNumber(127, true), "7Fh");
    EXPECT_EQ(formatNumber(60, false), "60");
}

class PanelShow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(rig.start());
        LiveSession& session = rig.model.session;
        session.split(0, 60);
        session.split(1, 72);
        session.setNoteShift(1, -12);
        session.setName(1, "Middle");
        session.setOutputDevice(1, 2);
    }
    PropertyPanel& panel() { return *ui::panel(*rig.window); }
    MainWindowRig rig;
};

TEST_F(PanelShow, FillsEveryFieldFromTheBandWithoutCountingAsAnEdit) {
    QSignalSpy edited(panel().nameEdit(), &QLineEdit::textEdited);
    rig.window->showBand(1);
    EXPECT_EQ(panel().nameEdit()->text(), "Middle");
    EXPECT_EQ(panel().rangeLowEdit()->text(), "3Ch");
    EXPECT_EQ(panel().rangeHighEdit()->text(), "47h");
    EXPECT_EQ(panel().channelEdit()->text(), "2");
    EXPECT_EQ(panel().noteShiftEdit()->text(), "-12");
    EXPECT_EQ(panel().outputBox()->currentIndex(), 2);
    EXPECT_EQ(panel().channelSpin()->value(), 2);
    EXPECT_EQ(panel().noteShiftSpin()->value(), -12);
    EXPECT_EQ(panel().rangeLowSpin()->value(), 60);
    EXPECT_EQ(panel().rangeHighSpin()->value(), 71);
    EXPECT_TRUE(panel().rangeLowEdit()->isEnabled());
    EXPECT_TRUE(panel().rangeHighEdit()->isEnabled());
    EXPECT_FALSE(panel().channelMessageBox()->isChecked()) << "Part 0 is the target";
    EXPECT_EQ(edited.count(), 0);
    EXPECT_FALSE(rig.modified());
}

TEST_F(PanelShow, TheLastBandsHighKeyCannotBeTyped) {
    rig.window->showBand(2);
    EXPECT_TRUE(panel().rangeLowEdit()->isEnabled());
    EXPECT_FALSE(panel().rangeHighEdit()->isEnabled());
}

TEST_F(PanelShow, ALongNameIsShownFromItsStart) {
    rig.model.session.setName(2, "Lead synthesizer with a long name, layered");
    rig.window->show();
    rig.window->showBand(2);
    EXPECT_EQ(panel().nameEdit()->cursorPosition(), 0);
    // Showing the same name again leaves the cursor where the user put it.
    panel().nameEdit()->end(false);
    rig.window->showBand(2);
    EXPECT_EQ(panel().nameEdit()->cursorPosition(), panel().nameEdit()->text().size());
}

TEST_F(PanelShow, DecimalDisplayAndARangeDuringADrag) {
    panel().hexBox()->setChecked(false);
    rig.window->showBand(1);
    EXPECT_EQ(panel().rangeLowEdit()->text(), "60");
    rig.window->showBandRange(58, 71);
    EXPECT_EQ(panel().rangeLowEdit()->text(), "58");
    EXPECT_EQ(panel().rangeLowSpin()->value(), 58);
    EXPECT_EQ(panel().nameEdit()->text(), "Middle");
}

TEST_F(PanelShow, SelectsTheOpenInputDeviceOrNone) {
    rig.model.session.setInputDevice(1);
    rig.window->showBand(0);
    EXPECT_EQ(inputDeviceBox(*rig.window)->currentIndex(), 1);
    rig.model.session.shutdown();
    rig.window->showBand(0);
    EXPECT_EQ(inputDeviceBox(*rig.window)->currentIndex(), -1);
}

}  // namespace
}  // namespace tarvelo::ui
