#include "ui/main/band_edit_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/message_boxes.h"
#include "support/virtual_rig.h"
#include "ui/main/band_selection.h"
#include "ui/main/computer_keyboard_play.h"

namespace tarvelo::ui {
namespace {

using tarvelo::testing::VirtualRig;
using Messages = std::vector<PackedMessage>;
using Marker = std::pair<int, BoundaryShape>;  // x, shape
using enum BoundaryShape;

constexpr int kStripWidth = 785;

// Keeps what the window would show.
struct FakeView : BandEditView {
    void drawBands(const std::vector<Part>& parts) override {
        ++bandDraws;
        bands = parts;
        guide.reset();
    }
    void drawKeyboard() override {
        ++keyboardDraws;
        markers.clear();
    }
    void drawBoundaryMarker(int x, BoundaryShape shape, bool visible) override {
        const Marker m{x, shape};
        const auto at = std::find(markers.begin(), markers.end(), m);
        if (visible && at == markers.end())
            markers.push_back(m);
        if (!visible && at != markers.end())
            markers.erase(at);
    }
    void drawGuideLine(int stripX) override { guide = stripX; }
    void showBand(int part) override { shownBands.push_back(part); }
    void showBandRange(int lowKey, int highKey) override { ranges.emplace_back(lowKey, highKey); }
    void setJoinEnabled(bool enabled) override { joinEnabled = enabled; }

    int bandDraws = 0;
    int keyboardDraws = 0;
    std::vector<Part> bands;
    std::vector<Marker> markers;
    std::optional<int> guide;
    std::vector<int> shownBands;
    std::vector<std::pair<int, int>> ranges;
    std::optional<bool> joinEnabled;
};

struct FakeBoxes : MessageBoxes {
    MessageAnswer show(std::string_view text, std::string_view caption, MessageButtons buttons,
                       MessageIcon) override {
        texts.emplace_back(text);
        captions.emplace_back(caption);
        EXPECT_EQ(buttons, MessageButtons::Ok);
        return MessageAnswer::Ok;
    }
    std::vector<std::string> texts;
    std::vector<std::string> captions;
};

// A click inside a band, away from any boundary.
StripHit inBand(int band) {
    StripHit hit;
    hit.x = 300;
    hit.band = band;
    return hit;
}

// The mouse over the boundary that starts at key, which is hovered when a band starts there.
StripHit atBoundary(int key, int hovered = -1, int boundaryX = 300,
                    BoundaryShape shape = Straight) {
    StripHit hit;
    hit.x = boundaryX;
    hit.boundary = BoundaryHit{boundaryX, shape, key};
    hit.hoveredBoundary = hovered;
    return hit;
}

// Four bands on device 0: 0..29 (channel 0), 30..59 (1), 60..89 (2), 90..127 (3); band 0
// selected.
struct BandEditControllerTest : ::testing::Test {
    BandEditControllerTest() {
        rig.session.split(0, 30);
        rig.session.split(1, 60);
        rig.session.split(2, 90);
        selection.clear();
        selection.toggle(0);
        rig.backend.clearRecords();
    }
    const Part& part(int i) { return rig.parts().partAt(i); }
    std::vector<std::pair<int, int>> ranges() {
        std::vector<std::pair<int, int>> r;
        for (const Part& p : rig.parts().parts())
            r.emplace_back(p.lowKey, p.highKey);
        return r;
    }
    // Where the live input sends a key now.
    int routedChannel(int key) { return rig.session.routes().at(key).channel; }

    VirtualRig rig{3};
    BandSelection selection;
    UiNotePlayer& player = rig.session.notePlayer();
    Messages& shown = rig.played;
    FakeBoxes boxes;
    FakeView view;
    int modified = 0;
    BandEditController edit{rig.session, selection, boxes, view, [this] { ++modified; },
                            kStripWidth};
};

// --- Selection --------------------------------------------------------------------------------

TEST_F(BandEditControllerTest, ClickSelectsTheBandAloneAndShowsIt) {
    edit.pressStrip(inBand(2), false);
    EXPECT_EQ(selection.entries(), (std::vector<int>{2}));
    EXPECT_EQ(selection.current(), 2);
    EXPECT_EQ(view.shownBands, (std::vector<int>{2}));
    EXPECT_EQ(view.bandDraws, 1);
    EXPECT_EQ(view.joinEnabled, false);
    EXPECT_EQ(modified, 0);
}

TEST_F(BandEditControllerTest, CtrlClickBuildsASelectionAndJoinFollowsContiguity) {
    edit.pressStrip(inBand(2), true);
    EXPECT_EQ(selection.entries(), (std::vector<int>{0, 2}));
    EXPECT_EQ(view.joinEnabled, false);  // not adjacent
    edit.pressStrip(inBand(1), true);
    EXPECT_EQ(selection.entries(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(selection.current(), 1);
    EXPECT_EQ(view.joinEnabled, true);
    edit.pressStrip(inBand(1), true);  // taken out again: the run is broken
    EXPECT_EQ(selection.entries(), (std::vector<int>{0, 2}));
    EXPECT_EQ(view.joinEnabled, false);
}

TEST_F(BandEditControllerTest,
       CtrlClickOnTheOnlySelectedBandEmptiesTheSelectionAndKeepsTheCurrentBand) {
    edit.pressStrip(inBand(3), false);
    edit.pressStrip(inBand(3), true);
    EXPECT_EQ(selection.count(), 0);
    EXPECT_EQ(selection.current(), 3);
    EXPECT_EQ(view.joinEnabled, false);
    EXPECT_EQ(view.shownBands.back(), 3);
}

TEST_F(BandEditControllerTest, ClickOutsideEveryBandAsksForABandAndChangesNothing) {
    for (const bool split : {false, true}) {
        edit.setSplitMode(split);
        const int draws = view.bandDraws;
        edit.pressStrip(inBand(-1), false);
        EXPECT_EQ(view.bandDraws, draws);
    }
    EXPECT_EQ(boxes.texts, (std::vector<std::string>{"分割帯上を指定してください.",
                                                     "分割帯上を指定してください."}));
    EXPECT_EQ(boxes.captions, (std::vector<std::string>{"", ""}));  // the application's title
    EXPECT_EQ(selection.entries(), (std::vector<int>{0}));
    EXPECT_EQ(rig.parts().partCount(), 4);
    EXPECT_EQ(modified, 0);
}

// --- Join -------------------------------------------------------------------------------------

TEST_F(BandEditControllerTest, JoinMergesTheRunIntoTheCurrentBand) {
    edit.pressStrip(inBand(1), false);
    edit.pressStrip(inBand(3), true);
    edit.pressStrip(inBand(2), true);  // current band 2
    ASSERT_EQ(view.joinEnabled, true);
    const std::string keptName = part(2).name;

    edit.join();
    EXPECT_EQ(ranges(), (std::vector<std::pair<int, int>>{{0, 29}, {30, 127}}));
    EXPECT_EQ(part(1).name, keptName);
    EXPECT_EQ(part(1).channel, 2);
    EXPECT_EQ(selection.entries(), (std::vector<int>{1}));
    EXPECT_EQ(selection.current(), 1);
    EXPECT_EQ(view.joinEnabled, false);
    EXPECT_EQ(view.shownBands.back(), 1);
    EXPECT_EQ(modified, 1);
    // Routed at once: the old band 1 and band 3 keys go to the kept band's channel.
    EXPECT_EQ(routedChannel(30), 2);
    EXPECT_EQ(routedChannel(127), 2);
    EXPECT_EQ(rig.session.devices().useCount(0), 2);
}

TEST_F(BandEditControllerTest, JoinWithoutARunDoesNothing) {
    edit.pressStrip(inBand(2), true);  // {0, 2}
    edit.join();
    EXPECT_EQ(rig.parts().partCount(), 4);
    EXPECT_EQ(modified, 0);
}

// --- Boundary drag ----------------------------------------------------------------------------

TEST_F(BandEditControllerTest, DragPreviewsAndCommitsOnceAtTheRelease) {
    edit.pressStrip(atBoundary(30, 0), false);
    EXPECT_TRUE(edit.dragging());
    edit.mouseMove(atBoundary(30, -1, 290, WhiteToBlack));
    EXPECT_EQ(modified, 0) << "a step that leaves the boundary where it is changes nothing";
    edit.mouseMove(atBoundary(40, -1, 330, WhiteToBlack));
    EXPECT_EQ(modified, 1) << "the first step that moves the boundary marks the arrangement";
    edit.mouseMove(atBoundary(45, -1, 350, BlackToWhite));

    // The model and the routing are untouched while dragging; the strip shows the preview.
    EXPECT_EQ(ranges(), (std::vector<std::pair<int, int>>{{0, 29}, {30, 59}, {60, 89}, {90, 127}}));
    EXPECT_EQ(routedChannel(40), 1);
    EXPECT_EQ(edit.displayedParts()[0].highKey, 44);
    EXPECT_EQ(edit.displayedParts()[1].lowKey, 45);
    EXPECT_EQ(view.bands[1].lowKey, 45);
    EXPECT_EQ(view.markers, (std::vector<Marker>{{350, BlackToWhite}}));
    EXPECT_EQ(modified, 1);

    edit.release(false);
    EXPECT_FALSE(edit.dragging());
    EXPECT_EQ(ranges(), (std::vector<std::pair<int, int>>{{0, 44}, {45, 59}, {60, 89}, {90, 127}}));
    EXPECT_EQ(routedChannel(40), 0);
    EXPECT_EQ(routedChannel(45), 1);
    EXPECT_EQ(modified, 1);
    EXPECT_TRUE(view.markers.empty());
    EXPECT_EQ(view.bands[0].highKey, 44);
    EXPECT_EQ(&edit.displayedParts(), &rig.parts().parts());
}

TEST_F(BandEditControllerTest, LiveInputKeepsTheOldBoundaryUntilTheRelease) {
    edit.pressStrip(atBoundary(60, 1), false);
    edit.mouseMove(atBoundary(50));
    rig.play(packMessage(0x90, 55, 100));
    edit.release(false);
    rig.play(packMessage(0x90, 56, 100));
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0x91, 55, 100), packMessage(0x92, 56, 100)}));
}

TEST_F(BandEditControllerTest, DragStopsWhereEitherBandWouldBeEmpty) {
    edit.pressStrip(atBoundary(30, 0), false);
    edit.mouseMove(atBoundary(1, -1, 20));
    edit.mouseMove(atBoundary(0, -1, 10));  // would empty band 0
    EXPECT_EQ(edit.displayedParts()[0].highKey, 0);
    EXPECT_EQ(view.markers, (std::vector<Marker>{{20, Straight}}));
    edit.mouseMove(atBoundary(59, -1, 400));
    edit.mouseMove(atBoundary(60, -1, 410));  // would empty band 1
    edit.release(false);
    EXPECT_EQ(ranges(), (std::vector<std::pair<int, int>>{{0, 58}, {59, 59}, {60, 89}, {90, 127}}));
}

TEST_F(BandEditControllerTest, DragIgnoresTheMouseBesideTheStrip) {
    edit.pressStrip(atBoundary(30, 0), false);
    StripHit left = atBoundary(20, -1, -1);
    edit.mouseMove(left);
    StripHit right = atBoundary(40, -1, kStripWidth + 1);
    edit.mouseMove(right);
    StripHit edge = atBoundary(35, -1, kStripWidth);
    edit.mouseMove(edge);
    edit.release(false);
    EXPECT_EQ(part(1).lowKey, 35);
}

TEST_F(BandEditControllerTest, DragShowsTheCurrentBandsRangeAsItMoves) {
    edit.pressStrip(inBand(1), false);
    edit.pressStrip(atBoundary(60, 1), false);
    edit.mouseMove(atBoundary(70));
    EXPECT_EQ(view.ranges.back(), (std::pair<int, int>{30, 69}));

    // The current band need not border the boundary.
    edit.release(false);
    edit.pressStrip(inBand(0), false);
    edit.pressStrip(atBoundary(90, 2), false);
    edit.mouseMove(atBoundary(80));
    EXPECT_EQ(view.ranges.back(), (std::pair<int, int>{0, 29}));
}

TEST_F(BandEditControllerTest, DragMovingWithinOneColumnDoesNotRedraw) {
    edit.pressStrip(atBoundary(30, 0), false);
    edit.mouseMove(atBoundary(40, -1, 330));
    const int draws = view.bandDraws;
    StripHit sameColumn = atBoundary(40, -1, 330);
    sameColumn.x = 333;
    edit.mouseMove(sameColumn);
    EXPECT_EQ(view.bandDraws, draws);
}

TEST_F(BandEditControllerTest, PressAndReleaseOnABoundaryWithoutMovingChangesNothing) {
    edit.pressStrip(atBoundary(30, 0), false);
    edit.release(false);
    EXPECT_EQ(modified, 0);
    EXPECT_EQ(part(0).highKey, 29);
}

TEST_F(BandEditControllerTest, DragWhoseReleaseWasLostEndsAtTheNextPress) {
    edit.pressStrip(atBoundary(30, 0), false);
    edit.mouseMove(atBoundary(25));
    edit.pressStrip(inBand(3), false);
    EXPECT_FALSE(edit.dragging());
    EXPECT_EQ(part(1).lowKey, 25);
    EXPECT_EQ(routedChannel(26), 1);
    EXPECT_EQ(selection.entries(), (std::vector<int>{3}));
}

// --- Split mode -------------------------------------------------------------------------------

TEST_F(BandEditControllerTest, SplitModeClickDividesTheBandAtTheBoundary) {
    edit.pressStrip(inBand(2), false);
    edit.setSplitMode(true);
    StripHit hit = atBoundary(72, -1, 400);
    hit.band = 2;
    edit.pressStrip(hit, false);

    EXPECT_EQ(ranges(),
              (std::vector<std::pair<int, int>>{{0, 29}, {30, 59}, {60, 71}, {72, 89}, {90, 127}}));
    EXPECT_EQ(part(3).channel, 4);  // the lowest channel free on device 0
    EXPECT_EQ(routedChannel(72), 4);
    EXPECT_EQ(routedChannel(71), 2);
    EXPECT_EQ(modified, 1);
    // The selection keeps its indices.
    EXPECT_EQ(selection.entries(), (std::vector<int>{2}));
    EXPECT_EQ(view.shownBands.back(), 2);
}

TEST_F(BandEditControllerTest, SplitAtTheBandsFirstKeyOrPastItsLastDoesNothing) {
    edit.setSplitMode(true);
    StripHit first = atBoundary(60);
    first.band = 2;
    edit.pressStrip(first, false);
    StripHit past = atBoundary(90);
    past.band = 2;
    edit.pressStrip(past, false);
    EXPECT_EQ(rig.parts().partCount(), 4);
    EXPECT_EQ(modified, 0);

    StripHit last = atBoundary(89);
    last.band = 2;
    edit.pressStrip(last, false);
    EXPECT_EQ(ranges()[3], (std::pair<int, int>{89, 89}));
}

TEST_F(BandEditControllerTest, SplitModeIgnoresPressesOnABoundary) {
    edit.setSplitMode(true);
    StripHit hit = atBoundary(60, 1);
    hit.band = -1;
    edit.pressStrip(hit, false);
    EXPECT_FALSE(edit.dragging());
    EXPECT_EQ(rig.parts().partCount(), 4);
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(edit.cursor(true, hit), StripCursor::NotAllowed);
}

TEST_F(BandEditControllerTest, SplitPreviewFollowsTheBoundaryColumns) {
    edit.setSplitMode(true);
    edit.mouseMove(atBoundary(61, -1, 300, WhiteToBlack));
    EXPECT_EQ(view.markers, (std::vector<Marker>{{300, WhiteToBlack}}));
    EXPECT_EQ(view.guide, 296);  // at the black key's edge
    const int keyboardDraws = view.keyboardDraws;
    const int bandDraws = view.bandDraws;

    StripHit sameColumn = atBoundary(61, -1, 300, WhiteToBlack);
    sameColumn.x = 303;
    edit.mouseMove(sameColumn);
    EXPECT_EQ(view.keyboardDraws, keyboardDraws);
    EXPECT_EQ(view.bandDraws, bandDraws);

    edit.mouseMove(atBoundary(62, -1, 300, BlackToWhite));
    EXPECT_EQ(view.keyboardDraws, keyboardDraws + 1);
    EXPECT_EQ(view.bandDraws, bandDraws + 1);
    EXPECT_EQ(view.markers, (std::vector<Marker>{{300, BlackToWhite}}));
    EXPECT_EQ(view.guide, 304);

    edit.mouseMove(atBoundary(65, -1, 342, Straight));
    EXPECT_EQ(view.guide, 342);
}

TEST_F(BandEditControllerTest, SwitchingSplitModeOffRemovesThePreview) {
    edit.setSplitMode(true);
    edit.mouseMove(atBoundary(61, -1, 300, WhiteToBlack));
    edit.setSplitMode(false);
    EXPECT_TRUE(view.markers.empty());
    EXPECT_FALSE(view.guide.has_value());
    // Back on, the same column shows its preview again.
    edit.setSplitMode(true);
    edit.mouseMove(atBoundary(61, -1, 300, WhiteToBlack));
    EXPECT_EQ(view.markers, (std::vector<Marker>{{300, WhiteToBlack}}));
}

TEST_F(BandEditControllerTest, SplitModeNeverDrags) {
    edit.setSplitMode(true);
    edit.pressStrip(atBoundary(30, 0), false);
    edit.mouseMove(atBoundary(40));
    edit.release(false);
    EXPECT_EQ(part(0).highKey, 29);
}

// --- Cursor -----------------------------------------------------------------------------------

TEST_F(BandEditControllerTest, CursorShowsWhatAPressWouldDo) {
    EXPECT_EQ(edit.cursor(false, atBoundary(30, 0)), StripCursor::Default);
    EXPECT_EQ(edit.cursor(true, atBoundary(30, 0)), StripCursor::ResizeHorizontal);
    EXPECT_EQ(edit.hoveredBoundary(), 0);
    EXPECT_EQ(edit.cursor(true, inBand(1)), StripCursor::Default);
    EXPECT_EQ(edit.hoveredBoundary(), -1);
    edit.setSplitMode(true);
    EXPECT_EQ(edit.cursor(true, inBand(1)), StripCursor::UpArrow);
    EXPECT_EQ(edit.cursor(true, atBoundary(30, 0)), StripCursor::NotAllowed);
}

TEST_F(BandEditControllerTest, CursorStaysResizeWhileDragging) {
    edit.pressStrip(atBoundary(30, 0), false);
    EXPECT_EQ(edit.cursor(true, inBand(2)), StripCursor::ResizeHorizontal);
    EXPECT_EQ(edit.hoveredBoundary(), 0);
}

// --- Mouse play -------------------------------------------------------------------------------

TEST_F(BandEditControllerTest, KeyPlaysThroughTheBandUnderTheMouseUntilTheRelease) {
    rig.session.setNoteShift(1, 12);
    rig.session.setOutputDevice(1, 2);
    edit.pressKeyboard(40, 1);
    EXPECT_EQ(rig.sent(2), (Messages{packMessage(0x91, 52, 0x7F)}));
    EXPECT_EQ(shown, (Messages{packMessage(0x91, 40, 0x7F)}));
    edit.release(false);
    EXPECT_EQ(rig.sent(2), (Messages{packMessage(0x91, 52, 0x7F), packMessage(0x81, 52, 0x7F)}));
    EXPECT_EQ(shown.back(), packMessage(0x81, 40, 0x7F));
    EXPECT_TRUE(player.soundingNotes().empty());
}

TEST_F(BandEditControllerTest, BandIsChosenByTheMousePositionNotByTheKey) {
    edit.pressKeyboard(40, 3);
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0x93, 40, 0x7F)}));
}

TEST_F(BandEditControllerTest, KeyOnABandEdgePlaysThroughBandZero) {
    edit.pressKeyboard(60, -1);
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0x90, 60, 0x7F)}));
}

TEST_F(BandEditControllerTest, NoteOffFollowsTheNoteOnWhenTheBandChangesMeanwhile) {
    edit.pressKeyboard(40, 1);
    rig.session.setChannel(1, 9);
    rig.session.setNoteShift(1, 5);
    edit.release(false);
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0x91, 40, 0x7F), packMessage(0x81, 40, 0x7F)}));
}

TEST_F(BandEditControllerTest, ShiftClicksKeepSoundingUntilShiftIsReleased) {
    ComputerKeyboardPlay keys{rig.session};
    edit.pressKeyboard(40, 1);
    edit.release(true);
    edit.pressKeyboard(70, 2);
    edit.release(true);
    edit.pressKeyboard(100, 3);
    edit.release(true);
    EXPECT_EQ(player.soundingNotes().size(), 3u);
    EXPECT_EQ(rig.sent(0).size(), 3u);

    EXPECT_FALSE(keys.keyUp(KeyStroke{kVirtualKeyShift, false, false, false}));
    EXPECT_TRUE(player.soundingNotes().empty());
    const Messages sent = rig.sent(0);
    EXPECT_EQ(Messages(sent.begin() + 3, sent.end()),
              (Messages{packMessage(0x83, 100, 0x7F), packMessage(0x82, 70, 0x7F),
                        packMessage(0x81, 40, 0x7F)}));
}

TEST_F(BandEditControllerTest, ClickThatPlayedNothingDoesNotStopAHeldNote) {
    edit.pressKeyboard(40, 1);
    edit.release(true);  // held with Shift
    edit.pressStrip(inBand(2), false);
    edit.release(false);
    edit.pressKeyboard(130, 3);  // past the MIDI keys: plays nothing
    edit.release(false);
    EXPECT_EQ(player.soundingNotes().size(), 1u);
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0x91, 40, 0x7F)}));
}

TEST_F(BandEditControllerTest, KeysPastTheMidiRangePlayNothing) {
    for (const int key : {128, 129, 130, 131}) {
        edit.pressKeyboard(key, 3);
        edit.release(false);
    }
    EXPECT_TRUE(rig.backend.events().empty());
    EXPECT_TRUE(shown.empty());
}

TEST_F(BandEditControllerTest, TransposedKeyOutsideTheMidiRangeIsShownButNotSent) {
    rig.session.setNoteShift(3, 30);
    edit.pressKeyboard(100, 3);
    edit.release(false);
    EXPECT_TRUE(rig.backend.events().empty());
    EXPECT_EQ(shown, (Messages{packMessage(0x93, 100, 0x7F), packMessage(0x83, 100, 0x7F)}));
}

TEST_F(BandEditControllerTest, PressOnTheKeyboardEndsALostDrag) {
    edit.pressStrip(atBoundary(30, 0), false);
    edit.mouseMove(atBoundary(35));
    edit.pressKeyboard(40, 1);
    EXPECT_FALSE(edit.dragging());
    EXPECT_EQ(part(1).lowKey, 35);
    edit.release(false);
    EXPECT_TRUE(player.soundingNotes().empty());
}

// --- New arrangement --------------------------------------------------------------------------

TEST_F(BandEditControllerTest, ResetSelectsBandZeroAloneAndDropsADrag) {
    edit.pressStrip(inBand(1), false);
    edit.pressStrip(inBand(2), true);
    edit.pressStrip(atBoundary(90, 2), false);
    edit.mouseMove(atBoundary(80));
    edit.resetSelection();
    EXPECT_FALSE(edit.dragging());
    EXPECT_EQ(part(2).highKey, 89);
    EXPECT_EQ(selection.entries(), (std::vector<int>{0}));
    EXPECT_EQ(selection.current(), 0);
    EXPECT_EQ(view.joinEnabled, false);
    EXPECT_EQ(view.shownBands.back(), 0);
}

}  // namespace
}  // namespace tarvelo::ui
