#include "ui/main/property_panel_logic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/virtual_rig.h"

namespace tarvelo::ui {
namespace {

using tarvelo::testing::VirtualRig;
using Messages = std::vector<PackedMessage>;

constexpr PanelRefresh kShowBand{.showBand = true, .drawBands = false};
constexpr PanelRefresh kShowAndDraw{.showBand = true, .drawBands = true};

// Three bands on device 0: 0..39 (channel 0), 40..79 (1), 80..127 (2).
struct PropertyPanelLogicTest : ::testing::Test {
    PropertyPanelLogicTest() {
        rig.session.split(0, 40);
        rig.session.split(1, 80);
        rig.backend.clearRecords();
    }
    const Part& part(int i) { return rig.parts().partAt(i); }
    std::vector<std::pair<int, int>> ranges() {
        std::vector<std::pair<int, int>> r;
        for (const Part& p : rig.parts().parts())
            r.emplace_back(p.lowKey, p.highKey);
        return r;
    }
    using Ranges = std::vector<std::pair<int, int>>;

    VirtualRig rig{3};
    int modified = 0;
    PropertyPanelLogic panel{rig.session, [this] { ++modified; }};
};

// --- Show band --------------------------------------------------------------------------------

TEST(PropertyPanelLogicView, NewArrangementShowsPart1OverTheWholeKeyboard) {
    VirtualRig rig{2};
    PropertyPanelLogic panel{rig.session, {}};
    PropertyPanelViewState expected;
    expected.name = "Part1";
    expected.channel = 1;
    expected.noteShift = 0;
    expected.rangeLowText = "0h";
    expected.rangeHighText = "7Fh";
    expected.rangeLow = 0;
    expected.rangeHigh = 127;
    expected.rangeLowEnabled = false;
    expected.rangeHighEnabled = false;
    expected.outputDevice = 0;
    expected.inputDevice = 0;
    expected.channelMessageTarget = true;
    expected.hexDisplay = true;
    EXPECT_EQ(panel.view(0), expected);
}

TEST_F(PropertyPanelLogicTest, MiddleBandShowsItsValuesWithBothRangeEditsOpen) {
    rig.session.setNoteShift(1, -7);
    rig.session.setOutputDevice(1, 2);
    const PropertyPanelViewState v = panel.view(1);
    EXPECT_EQ(v.name, "Part2");
    EXPECT_EQ(v.channel, 2);
    EXPECT_EQ(v.noteShift, -7);
    EXPECT_EQ(v.rangeLowText, "28h");
    EXPECT_EQ(v.rangeHighText, "4Fh");
    EXPECT_EQ(v.rangeLow, 40);
    EXPECT_EQ(v.rangeHigh, 79);
    EXPECT_TRUE(v.rangeLowEnabled);
    EXPECT_TRUE(v.rangeHighEnabled);
    EXPECT_EQ(v.outputDevice, 2);
    EXPECT_FALSE(v.channelMessageTarget);
}

TEST_F(PropertyPanelLogicTest, FirstAndLastBandsCannotTypeTheKeyboardsEnds) {
    EXPECT_FALSE(panel.view(0).rangeLowEnabled);
    EXPECT_TRUE(panel.view(0).rangeHighEnabled);
    EXPECT_TRUE(panel.view(2).rangeLowEnabled);
    EXPECT_FALSE(panel.view(2).rangeHighEnabled);
}

TEST_F(PropertyPanelLogicTest, HexDisplayChangesOnlyTheRangeTexts) {
    EXPECT_EQ(panel.setHexDisplay(false), kShowBand);
    const PropertyPanelViewState v = panel.view(1);
    EXPECT_EQ(v.rangeLowText, "40");
    EXPECT_EQ(v.rangeHighText, "79");
    EXPECT_FALSE(v.hexDisplay);
    EXPECT_EQ(panel.formatKey(60), "60");
    panel.setHexDisplay(true);
    EXPECT_EQ(panel.formatKey(60), "3Ch");
    EXPECT_EQ(panel.formatKey(10), "Ah");
    EXPECT_EQ(modified, 0);
}

TEST_F(PropertyPanelLogicTest, NoInputSelectedWhenNoInputIsOpen) {
    rig.session.shutdown();
    EXPECT_EQ(panel.view(0).inputDevice, -1);
}

TEST_F(PropertyPanelLogicTest, InvalidBandIsRefused) {
    EXPECT_THROW(panel.view(3), InvalidArgumentError);
    EXPECT_THROW(panel.spin(-1, PanelSpin::Channel, SpinArrow::Up), InvalidArgumentError);
}

// --- Name -------------------------------------------------------------------------------------

TEST_F(PropertyPanelLogicTest, EveryKeystrokeRenamesTheBand) {
    EXPECT_EQ(panel.nameEdited(1, "B"), (PanelRefresh{.showBand = false, .drawBands = true}));
    panel.nameEdited(1, "Ba");
    panel.nameEdited(1, "Bass");
    EXPECT_EQ(part(1).name, "Bass");
    EXPECT_EQ(modified, 3);
    panel.nameEdited(1, "");
    EXPECT_EQ(part(1).name, "");
}

TEST_F(PropertyPanelLogicTest, NameLimitCountsCharactersNotBytes) {
    std::string kana;
    for (int i = 0; i < 256; ++i)
        kana += "ピ";
    panel.nameEdited(0, kana);
    EXPECT_EQ(part(0).name, kana);
    panel.nameEdited(0, std::string(257, 'x'));
    EXPECT_EQ(part(0).name, kana);
}

// --- Spins ------------------------------------------------------------------------------------

TEST_F(PropertyPanelLogicTest, ChannelSpinStaysWithinOneToSixteen) {
    rig.session.setChannel(0, 15);
    EXPECT_EQ(panel.spin(0, PanelSpin::Channel, SpinArrow::Up), kShowBand);
    EXPECT_EQ(part(0).channel, 15);
    rig.session.setChannel(0, 0);
    panel.spin(0, PanelSpin::Channel, SpinArrow::Down);
    EXPECT_EQ(part(0).channel, 0);
    panel.spin(0, PanelSpin::Channel, SpinArrow::Up);
    EXPECT_EQ(part(0).channel, 1);
    EXPECT_EQ(rig.session.routes().at(10).channel, 1);
    // Every click marks the arrangement modified, even at a limit.
    EXPECT_EQ(modified, 3);
}

TEST_F(PropertyPanelLogicTest, NoteShiftSpinStopsAtPlusAndMinus128) {
    rig.session.setNoteShift(1, 127);
    panel.spin(1, PanelSpin::NoteShift, SpinArrow::Up);
    EXPECT_EQ(part(1).noteShift, 128);
    panel.spin(1, PanelSpin::NoteShift, SpinArrow::Up);
    EXPECT_EQ(part(1).noteShift, 128);
    rig.session.setNoteShift(1, -128);
    panel.spin(1, PanelSpin::NoteShift, SpinArrow::Down);
    EXPECT_EQ(part(1).noteShift, -128);
    panel.spin(1, PanelSpin::NoteShift, SpinArrow::Up);
    EXPECT_EQ(part(1).noteShift, -127);
    EXPECT_EQ(rig.session.routes().at(50).noteShift, -127);
}

TEST_F(PropertyPanelLogicTest, RangeSpinsMoveTheSharedBoundary) {
    EXPECT_EQ(panel.spin(1, PanelSpin::RangeLow, SpinArrow::Up), kShowAndDraw);
    EXPECT_EQ(ranges(), (Ranges{{0, 40}, {41, 79}, {80, 127}}));
    EXPECT_EQ(rig.session.routes().at(40).channel, 0);
    panel.spin(1, PanelSpin::RangeLow, SpinArrow::Down);
    panel.spin(1, PanelSpin::RangeLow, SpinArrow::Down);
    EXPECT_EQ(ranges(), (Ranges{{0, 38}, {39, 79}, {80, 127}}));
    panel.spin(1, PanelSpin::RangeHigh, SpinArrow::Down);
    EXPECT_EQ(ranges(), (Ranges{{0, 38}, {39, 78}, {79, 127}}));
    EXPECT_EQ(rig.session.routes().at(79).channel, 2);
    panel.spin(1, PanelSpin::RangeHigh, SpinArrow::Up);
    EXPECT_EQ(ranges(), (Ranges{{0, 38}, {39, 79}, {80, 127}}));
    EXPECT_EQ(modified, 5);
}

TEST_F(PropertyPanelLogicTest, KeyboardEndsDoNotMoveBySpin) {
    panel.spin(0, PanelSpin::RangeLow, SpinArrow::Up);
    panel.spin(0, PanelSpin::RangeLow, SpinArrow::Down);
    panel.spin(2, PanelSpin::RangeHigh, SpinArrow::Up);
    panel.spin(2, PanelSpin::RangeHigh, SpinArrow::Down);
    EXPECT_EQ(ranges(), (Ranges{{0, 39}, {40, 79}, {80, 127}}));
    EXPECT_EQ(modified, 4);
}

TEST_F(PropertyPanelLogicTest, RangeSpinsNeverEmptyABand) {
    rig.session.setRange(1, 41, 41);
    panel.spin(1, PanelSpin::RangeLow, SpinArrow::Up);  // band 1 is one key wide
    panel.spin(1, PanelSpin::RangeHigh, SpinArrow::Down);
    EXPECT_EQ(ranges(), (Ranges{{0, 40}, {41, 41}, {42, 127}}));

    rig.session.setRange(1, 1, 41);
    panel.spin(1, PanelSpin::RangeLow, SpinArrow::Down);  // band 0 is one key wide
    EXPECT_EQ(ranges(), (Ranges{{0, 0}, {1, 41}, {42, 127}}));

    rig.session.setRange(1, 1, 126);
    panel.spin(1, PanelSpin::RangeHigh, SpinArrow::Up);  // band 2 is one key wide
    EXPECT_EQ(ranges(), (Ranges{{0, 0}, {1, 126}, {127, 127}}));
}

// --- Enter in the edits -----------------------------------------------------------------------

TEST_F(PropertyPanelLogicTest, ChannelEnterStoresOneLessThanTyped) {
    EXPECT_EQ(panel.enterPressed(1, PanelEdit::Channel, "16"), kShowAndDraw);
    EXPECT_EQ(part(1).channel, 15);
    EXPECT_EQ(panel.view(1).channel, 16);
    EXPECT_EQ(rig.session.routes().at(50).channel, 15);
    panel.enterPressed(1, PanelEdit::Channel, " 3 ");
    EXPECT_EQ(part(1).channel, 2);
}

TEST_F(PropertyPanelLogicTest, ChannelEnterRejectsWhatIsNotOneToSixteen) {
    for (const char* text : {"0", "17", "-1", "abc", "", "3x", "2 3", "+-2"}) {
        EXPECT_EQ(panel.enterPressed(1, PanelEdit::Channel, text), kShowAndDraw) << text;
        EXPECT_EQ(part(1).channel, 1) << text;
    }
    EXPECT_EQ(modified, 8);
}

TEST_F(PropertyPanelLogicTest, NoteShiftEnterTakesSignedValuesUpTo128) {
    panel.enterPressed(2, PanelEdit::NoteShift, "-12");
    EXPECT_EQ(part(2).noteShift, -12);
    EXPECT_EQ(rig.session.routes().at(100).noteShift, -12);
    panel.enterPressed(2, PanelEdit::NoteShift, "+128");
    EXPECT_EQ(part(2).noteShift, 128);
    panel.enterPressed(2, PanelEdit::NoteShift, "-128");
    EXPECT_EQ(part(2).noteShift, -128);
    for (const char* text : {"129", "-129", "99999999999", "1.5", "0x10"}) {
        panel.enterPressed(2, PanelEdit::NoteShift, text);
        EXPECT_EQ(part(2).noteShift, -128) << text;
    }
}

TEST_F(PropertyPanelLogicTest, RangeTextIsReadInTheDisplayedBase) {
    for (const char* text : {"3C", "3Ch", "0x3C", "3ch"}) {
        panel.enterPressed(1, PanelEdit::RangeLow, "28h");  // back to 40
        panel.enterPressed(1, PanelEdit::RangeLow, text);
        EXPECT_EQ(part(1).lowKey, 60) << text;
        EXPECT_EQ(part(0).highKey, 59) << text;
    }
    panel.setHexDisplay(false);
    panel.enterPressed(1, PanelEdit::RangeLow, "40");
    panel.enterPressed(1, PanelEdit::RangeLow, "3C");
    EXPECT_EQ(part(1).lowKey, 40);
    panel.enterPressed(1, PanelEdit::RangeLow, "0x3C");
    EXPECT_EQ(part(1).lowKey, 60);
    EXPECT_EQ(rig.session.routes().at(59).channel, 0);
}

TEST_F(PropertyPanelLogicTest, LastNumberOfARangeListCounts) {
    panel.setHexDisplay(false);
    panel.enterPressed(1, PanelEdit::RangeHigh, "10 70");
    EXPECT_EQ(ranges(), (Ranges{{0, 39}, {40, 70}, {71, 127}}));
}

TEST_F(PropertyPanelLogicTest, RangeEnterThatWouldEmptyOrCrossABandChangesNothing) {
    panel.setHexDisplay(false);
    for (const char* text : {"80", "0", "", "  ", "x", "-5", "1000"})
        EXPECT_EQ(panel.enterPressed(1, PanelEdit::RangeLow, text), kShowAndDraw) << text;
    for (const char* text : {"39", "127", "128", "y"})
        panel.enterPressed(1, PanelEdit::RangeHigh, text);
    EXPECT_EQ(ranges(), (Ranges{{0, 39}, {40, 79}, {80, 127}}));

    // The widest and narrowest valid values.
    panel.enterPressed(1, PanelEdit::RangeLow, "1");
    panel.enterPressed(1, PanelEdit::RangeHigh, "126");
    EXPECT_EQ(ranges(), (Ranges{{0, 0}, {1, 126}, {127, 127}}));
    panel.enterPressed(1, PanelEdit::RangeLow, "126");
    EXPECT_EQ(ranges(), (Ranges{{0, 125}, {126, 126}, {127, 127}}));
}

TEST_F(PropertyPanelLogicTest, RangeEnterCannotMoveTheKeyboardsEnds) {
    panel.setHexDisplay(false);
    panel.enterPressed(0, PanelEdit::RangeLow, "5");
    panel.enterPressed(2, PanelEdit::RangeHigh, "120");
    EXPECT_EQ(ranges(), (Ranges{{0, 39}, {40, 79}, {80, 127}}));
}

// --- Channel-message target -------------------------------------------------------------------

TEST_F(PropertyPanelLogicTest, TargetBoxTogglesTheTarget) {
    EXPECT_EQ(panel.toggleChannelMessageTarget(0), PanelRefresh{});
    EXPECT_EQ(rig.parts().targetPart(), -1);
    EXPECT_FALSE(panel.view(0).channelMessageTarget);
    rig.play(packMessage(0xB0, 7, 100));
    EXPECT_TRUE(rig.sent(0).empty());

    panel.toggleChannelMessageTarget(2);
    EXPECT_EQ(rig.parts().targetPart(), 2);
    EXPECT_TRUE(panel.view(2).channelMessageTarget);
    rig.play(packMessage(0xB0, 7, 100));
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0xB2, 7, 100)}));

    panel.toggleChannelMessageTarget(1);  // moves the target
    EXPECT_EQ(rig.parts().targetPart(), 1);
    EXPECT_EQ(modified, 3);
}

// --- Device boxes -----------------------------------------------------------------------------

TEST_F(PropertyPanelLogicTest, OutputDeviceReleasesTheOldDeviceThenAcquiresTheNew) {
    EXPECT_EQ(panel.selectOutputDevice(1, 2), PanelRefresh{});
    EXPECT_EQ(part(1).outputDevice, 2);
    EXPECT_EQ(rig.session.devices().useCount(0), 2);
    EXPECT_EQ(rig.session.devices().useCount(2), 1);
    EXPECT_TRUE(rig.backend.isOutputOpen("Out2"));
    EXPECT_EQ(rig.session.routes().at(50).device, 2);
    EXPECT_EQ(modified, 1);

    // The band's old device closes when no band uses it any more.
    panel.selectOutputDevice(0, 1);
    panel.selectOutputDevice(2, 1);
    EXPECT_FALSE(rig.backend.isOutputOpen("Out0"));
}

TEST_F(PropertyPanelLogicTest, ChoosingTheSameDeviceAsItsOnlyUserReopensIt) {
    panel.selectOutputDevice(1, 2);
    rig.backend.clearRecords();
    panel.selectOutputDevice(1, 2);
    std::vector<RecordedEvent::Kind> openings;
    for (const RecordedEvent& e : rig.backend.events("Out2")) {
        if (e.kind == RecordedEvent::Kind::Open || e.kind == RecordedEvent::Kind::Close)
            openings.push_back(e.kind);
    }
    EXPECT_EQ(openings, (std::vector<RecordedEvent::Kind>{RecordedEvent::Kind::Close,
                                                          RecordedEvent::Kind::Open}));
    EXPECT_TRUE(rig.backend.isOutputOpen("Out2"));
    EXPECT_EQ(rig.session.devices().useCount(2), 1);
}

TEST_F(PropertyPanelLogicTest, OutputDeviceOutsideTheListChangesNothing) {
    EXPECT_EQ(panel.selectOutputDevice(1, 3), kShowBand);
    EXPECT_EQ(panel.selectOutputDevice(1, -1), kShowBand);
    EXPECT_EQ(part(1).outputDevice, 0);
    EXPECT_EQ(rig.session.devices().useCount(0), 3);
    EXPECT_EQ(modified, 0);
}

TEST_F(PropertyPanelLogicTest, InputDeviceBoxReopensTheInput) {
    panel.selectInputDevice(1);
    EXPECT_TRUE(rig.backend.isInputOpen("In2"));
    EXPECT_FALSE(rig.backend.isInputOpen("In"));
    EXPECT_EQ(panel.view(0).inputDevice, 1);
    EXPECT_EQ(modified, 1);
    panel.selectInputDevice(-1);
    EXPECT_TRUE(rig.backend.isInputOpen("In2"));
    EXPECT_EQ(modified, 1);
}

}  // namespace
}  // namespace tarvelo::ui
