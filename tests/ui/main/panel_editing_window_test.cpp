// The property panel's controls on the real window change the current band, mark the arrangement
// modified and reroute its notes.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>

#include "ui/controls/in_edit.h"
#include "ui/main/property_panel.h"
#include "window_input_fixture.h"

namespace tarvelo::ui {
namespace {

using Messages = std::vector<PackedMessage>;
using testing::WindowInputTest;

class PanelEditingWindow : public WindowInputTest {
  protected:
    PropertyPanel& panel() { return *ui::panel(w()); }

    // One click on the upper (increasing) or lower arrow of a spin.
    static void up(QScrollBar* spin) { spin->triggerAction(QAbstractSlider::SliderSingleStepSub); }
    static void down(QScrollBar* spin) {
        spin->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }

    // Types text into a commit edit and presses Enter in it.
    void enter(CInEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
};

TEST_F(PanelEditingWindow, TypingANameRenamesTheCurrentBandAtEveryKeystroke) {
    splitAt({60});
    clickStrip(insideBand(1));
    QLineEdit* name = panel().nameEdit();
    name->setFocus();
    name->selectAll();
    QTest::keyClick(name, Qt::Key_L);
    EXPECT_EQ(parts().partAt(1).name, "l");
    EXPECT_TRUE(modified());
    QTest::keyClicks(name, "ead");
    EXPECT_EQ(parts().partAt(1).name, "lead");
    EXPECT_EQ(parts().partAt(0).name, "Part1");

    // Showing another band is not an edit.
    w().setModified(false);
    clickStrip(insideBand(0));
    EXPECT_EQ(name->text(), "Part1");
    EXPECT_FALSE(modified());
}

TEST_F(PanelEditingWindow, ChannelAndShiftSpinsStopAtTheirLimitsAndReroute) {
    QScrollBar* channel = panel().channelSpin();
    down(channel);
    EXPECT_EQ(parts().partAt(0).channel, 0) << "1 is the lowest channel";
    EXPECT_TRUE(modified()) << "a click at the limit still counts";
    up(channel);
    EXPECT_EQ(parts().partAt(0).channel, 1);
    EXPECT_EQ(panel().channelEdit()->text(), "2");
    EXPECT_EQ(channel->value(), 2);
    for (int i = 0; i < 20; ++i)
        up(channel);
    EXPECT_EQ(parts().partAt(0).channel, 15);
    EXPECT_EQ(panel().channelEdit()->text(), "16");

    QScrollBar* shift = panel().noteShiftSpin();
    for (int i = 0; i < 130; ++i)
        up(shift);
    EXPECT_EQ(parts().partAt(0).noteShift, 128);
    EXPECT_EQ(panel().noteShiftEdit()->text(), "128");
    for (int i = 0; i < 260; ++i)
        down(shift);
    EXPECT_EQ(parts().partAt(0).noteShift, -128);
    up(shift);
    EXPECT_EQ(panel().noteShiftSpin()->value(), -127);

    // Key 127 on channel 16, shifted down by 127.
    ASSERT_TRUE(rig.backend.inject(0, packMessage(0x90, 127, 100)));
    EXPECT_EQ(sent("Out0"), Messages{packMessage(0x9F, 0, 100)});
}

TEST_F(PanelEditingWindow, RangeSpinsMoveTheNeighboursEdgeAndKeepEveryBandNonEmpty) {
    splitAt({60, 62});
    clickStrip(insideBand(1));  // 60..61
    up(panel().rangeLowSpin());
    EXPECT_EQ(parts().partAt(1).lowKey, 61);
    EXPECT_EQ(parts().partAt(0).highKey, 60);
    EXPECT_EQ(panel().rangeLowEdit()->text(), "3Dh");
    up(panel().rangeLowSpin());
    EXPECT_EQ(parts().partAt(1).lowKey, 61) << "band 1 is one key wide";
    down(panel().rangeHighSpin());
    EXPECT_EQ(parts().partAt(1).highKey, 61);
    up(panel().rangeHighSpin());
    EXPECT_EQ(parts().partAt(1).highKey, 62);
    EXPECT_EQ(parts().partAt(2).lowKey, 63);

    // The first band's low key and the last band's high key do not move.
    clickStrip(insideBand(0));
    EXPECT_FALSE(panel().rangeLowEdit()->isEnabled());
    down(panel().rangeLowSpin());
    EXPECT_EQ(parts().partAt(0).lowKey, 0);
    clickStrip(insideBand(2));
    EXPECT_FALSE(panel().rangeHighEdit()->isEnabled());
    up(panel().rangeHighSpin());
    EXPECT_EQ(parts().partAt(2).highKey, 127);
}

TEST_F(PanelEditingWindow, EnterCommitsOneEditAndAWrongValueShowsTheStoredOneAgain) {
    splitAt({48, 96});
    moveToDevice(1, 1);
    clickStrip(insideBand(1));

    enter(panel().channelEdit(), "16");
    EXPECT_EQ(parts().partAt(1).channel, 15);
    enter(panel().channelEdit(), "17");
    EXPECT_EQ(parts().partAt(1).channel, 15);
    EXPECT_EQ(panel().channelEdit()->text(), "16");
    enter(panel().noteShiftEdit(), "-12");
    EXPECT_EQ(parts().partAt(1).noteShift, -12);
    EXPECT_TRUE(modified());

    // Hexadecimal display: 3C, 3Ch and 0x3C all mean 60.
    enter(panel().rangeLowEdit(), "3C");
    EXPECT_EQ(parts().partAt(1).lowKey, 60);
    EXPECT_EQ(parts().partAt(0).highKey, 59);
    EXPECT_EQ(panel().rangeLowEdit()->text(), "3Ch");
    enter(panel().rangeLowEdit(), "0x3B");
    EXPECT_EQ(parts().partAt(1).lowKey, 59);

    // Decimal display: 3C is no number, 0x3C still is; the last of several numbers counts.
    QTest::mouseClick(panel().hexBox(), Qt::LeftButton);
    ASSERT_FALSE(panel().hexBox()->isChecked());
    EXPECT_EQ(panel().rangeLowEdit()->text(), "59");
    enter(panel().rangeLowEdit(), "3C");
    EXPECT_EQ(parts().partAt(1).lowKey, 59);
    EXPECT_EQ(panel().rangeLowEdit()->text(), "59");
    enter(panel().rangeLowEdit(), "0x3C");
    EXPECT_EQ(parts().partAt(1).lowKey, 60);
    enter(panel().rangeHighEdit(), "10 80");
    EXPECT_EQ(parts().partAt(1).highKey, 80);
    EXPECT_EQ(parts().partAt(2).lowKey, 81);
    // A high key at or past the next band's last key would empty it.
    enter(panel().rangeHighEdit(), "127");
    EXPECT_EQ(parts().partAt(1).highKey, 80);
    EXPECT_EQ(panel().rangeHighEdit()->text(), "80");

    // The routes follow: key 70 now plays on band 1, channel 16, shifted down an octave.
    ASSERT_TRUE(rig.backend.inject(0, packMessage(0x90, 70, 99)));
    EXPECT_EQ(sent("Out1"), Messages{packMessage(0x9F, 58, 99)});
}

TEST_F(PanelEditingWindow, TheChannelMessageBoxMovesOrClearsTheTarget) {
    splitAt({60});
    moveToDevice(1, 1);
    EXPECT_TRUE(panel().channelMessageBox()->isChecked()) << "band 0 is the target";

    QTest::mouseClick(panel().channelMessageBox(), Qt::LeftButton);
    EXPECT_EQ(parts().targetPart(), -1);
    EXPECT_TRUE(modified());
    ASSERT_TRUE(rig.backend.inject(0, packMessage(0xB0, 7, 100)));
    EXPECT_TRUE(sent("Out0").empty()) << "no band takes the controllers";

    clickStrip(insideBand(1));
    EXPECT_FALSE(panel().channelMessageBox()->isChecked());
    QTest::mouseClick(panel().channelMessageBox(), Qt::LeftButton);
    EXPECT_EQ(parts().targetPart(), 1);
    ASSERT_TRUE(rig.backend.inject(0, packMessage(0xB0, 7, 100)));
    // On the band's own channel.
    const std::uint8_t channel = parts().partAt(1).channel;
    EXPECT_EQ(sent("Out1"), Messages{packMessage(0xB0 | channel, 7, 100)});
}

TEST_F(PanelEditingWindow, ThePedalAndWheelSwitchesSetTheCurrentBandAndShowItsOwn) {
    splitAt({60});
    moveToDevice(1, 1);
    clickStrip(insideBand(1));
    QCheckBox* pedals = control<QCheckBox>(w(), control_id::kFollowsPedals);
    QCheckBox* wheels = control<QCheckBox>(w(), control_id::kFollowsWheels);
    QTest::mouseClick(pedals, Qt::LeftButton);
    EXPECT_TRUE(parts().partAt(1).followsPedals);
    EXPECT_FALSE(parts().partAt(1).followsWheels);
    EXPECT_TRUE(modified());
    // The sustain pedal reaches band 1, on its own channel, as well as the target, band 0.
    const int channel = parts().partAt(1).channel;
    ASSERT_TRUE(rig.backend.inject(0, packMessage(0xB0, 64, 127)));
    EXPECT_EQ(sent("Out1"), Messages{packMessage(0xB0 | channel, 64, 127)});
    EXPECT_EQ(sent("Out0"), Messages{packMessage(0xB0, 64, 127)});

    QTest::mouseClick(wheels, Qt::LeftButton);
    EXPECT_TRUE(parts().partAt(1).followsWheels);
    clickStrip(insideBand(0));
    EXPECT_FALSE(pedals->isChecked());
    EXPECT_FALSE(wheels->isChecked());
    clickStrip(insideBand(1));
    EXPECT_TRUE(pedals->isChecked());
    EXPECT_TRUE(wheels->isChecked());
    QTest::mouseClick(pedals, Qt::LeftButton);
    EXPECT_FALSE(parts().partAt(1).followsPedals);
}

TEST_F(PanelEditingWindow, ChoosingAnOutputDeviceMovesTheBandAndClosesTheUnusedOne) {
    QComboBox* output = panel().outputBox();
    output->setFocus();
    QTest::keyClick(output, Qt::Key_Down);
    QTest::keyClick(output, Qt::Key_Down);
    EXPECT_EQ(parts().partAt(0).outputDevice, 2);
    EXPECT_TRUE(modified());
    EXPECT_TRUE(rig.backend.isOutputOpen("Out2"));
    EXPECT_FALSE(rig.backend.isOutputOpen("Out0"));
    ASSERT_TRUE(rig.backend.inject(0, packMessage(0x90, 60, 100)));
    EXPECT_EQ(sent("Out2"), Messages{packMessage(0x90, 60, 100)});
}

TEST_F(PanelEditingWindow, ChoosingAnInputDeviceReopensTheInput) {
    QComboBox* input = inputDeviceBox(w());
    input->setFocus();
    QTest::keyClick(input, Qt::Key_Down);
    EXPECT_TRUE(rig.backend.isInputOpen("In1"));
    EXPECT_FALSE(rig.backend.isInputOpen("In0"));
    EXPECT_TRUE(modified());
    EXPECT_TRUE(rig.backend.inject("In1", packMessage(0x90, 60, 100)));
    EXPECT_EQ(sent("Out0").size(), 1u);
}

}  // namespace
}  // namespace tarvelo::ui
