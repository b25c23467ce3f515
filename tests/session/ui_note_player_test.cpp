#include "session/ui_note_player.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

using testing::VirtualRig;
using Messages = std::vector<PackedMessage>;

// Part 0: keys 0..59 on device 0, channel 0. Part 1: keys 60..127 on device 1, channel 1, +12.
struct UiNotePlayerTest : ::testing::Test {
    UiNotePlayerTest() { rig.useTwoPartSplit(); }
    void moveToDevice(int part, int device) { rig.session.setOutputDevice(part, device); }

    VirtualRig rig{3};
    UiNotePlayer& player = rig.session.notePlayer();
    Messages& shown = rig.played;
};

TEST_F(UiNotePlayerTest, NoteGoesOutOnThePartsDeviceChannelAndShiftAtFullVelocity) {
    const UiNote note = player.start(60, 1);
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x91, 72, 0x7F)}));
    EXPECT_TRUE(rig.sent(0).empty());
    // The picture shows the key as played, untransposed.
    EXPECT_EQ(shown, (Messages{packMessage(0x91, 60, 0x7F)}));

    player.stop(note);
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x91, 72, 0x7F), packMessage(0x81, 72, 0x7F)}));
    EXPECT_EQ(shown.back(), packMessage(0x81, 60, 0x7F));
}

TEST_F(UiNotePlayerTest, PlayedNotesDoNotReachTheWindowsMailbox) {
    player.stop(player.start(60, 1));
    EXPECT_TRUE(rig.drain().notes.empty());
}

TEST_F(UiNotePlayerTest, ReleaseFollowsItsNoteOnAfterThePartMovedToAnotherDevice) {
    rig.session.split(1, 100);  // another Part keeps device 1 open
    const UiNote note = player.start(60, 1);
    rig.session.setChannel(1, 5);
    rig.session.setNoteShift(1, -3);
    moveToDevice(1, 2);
    rig.backend.clearRecords();

    player.stop(note);
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x81, 72, 0x7F)}));
    EXPECT_TRUE(rig.sent(2).empty());
    EXPECT_EQ(shown.back(), packMessage(0x81, 60, 0x7F));
}

TEST_F(UiNotePlayerTest, ReleaseIsDroppedWhenItsDeviceClosed) {
    const UiNote note = player.start(60, 1);
    moveToDevice(1, 2);  // device 1 loses its only user: closing silenced the note
    rig.backend.clearRecords();
    player.stop(note);
    EXPECT_TRUE(rig.backend.events().empty());
    EXPECT_EQ(shown.back(), packMessage(0x81, 60, 0x7F));
}

TEST_F(UiNotePlayerTest, ReleaseFollowsItsNoteOnWhenTheDeviceStaysOpen) {
    const UiNote note = player.start(60, 1);
    // Part 0 keeps device 0 open; Part 1 changes channel and shift but keeps its device.
    rig.session.setChannel(1, 9);
    rig.session.setNoteShift(1, 0);
    rig.backend.clearRecords();
    player.stop(note);
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x81, 72, 0x7F)}));
}

TEST_F(UiNotePlayerTest, ReleaseIsNotSentToADeviceReopenedSinceItsNoteOn) {
    const UiNote note = player.start(60, 1);
    moveToDevice(1, 2);  // device 1 closes: its reset ends the note
    moveToDevice(1, 1);  // and opens again
    rig.backend.clearRecords();
    player.stop(note);
    EXPECT_TRUE(rig.sent(1).empty());
}

TEST_F(UiNotePlayerTest, ClosingTheDeviceEndsANoteStillSounding) {
    player.start(60, 1);
    rig.backend.clearRecords();
    moveToDevice(1, 2);
    const Messages out1 = rig.sent(1);
    EXPECT_NE(std::find(out1.begin(), out1.end(), packMessage(0x81, 72, 0)), out1.end());
}

// Played and routed keys follow one rule: the same note reaches the same device and channel, and
// a note pushed out of 0..127 is sent by neither (the picture still shows the key).
TEST_F(UiNotePlayerTest, PlayedKeysSoundWhereTheInputRoutesThem) {
    struct Case {
        int part;
        int shift;
        int key;
        bool sent;
    };
    const Case cases[] = {
        {1, 67, 60, true},    // 127
        {1, 68, 60, false},   // 128
        {1, 12, 100, true},   // 112
        {0, -5, 5, true},     // 0
        {0, -11, 10, false},  // -1
    };
    // What the outputs received, wherever it came from.
    const auto sends = [this] {
        std::vector<std::pair<int, PackedMessage>> out;
        for (const RecordedEvent& e : rig.backend.events())
            out.emplace_back(e.device, e.message);
        return out;
    };
    for (const Case& c : cases) {
        rig.session.setNoteShift(c.part, c.shift);
        rig.backend.clearRecords();
        rig.play(packMessage(0x90, static_cast<std::uint8_t>(c.key), 0x7F));
        rig.play(packMessage(0x80, static_cast<std::uint8_t>(c.key), 0x7F));
        const auto routed = sends();
        rig.backend.clearRecords();
        shown.clear();

        player.stop(player.start(c.key, c.part));
        EXPECT_EQ(sends(), routed) << "key " << c.key << ", shift " << c.shift;
        EXPECT_EQ(routed.size(), c.sent ? 2u : 0u) << "key " << c.key << ", shift " << c.shift;
        EXPECT_EQ(shown.size(), 2u);
    }
}

TEST_F(UiNotePlayerTest, PlaysThroughTheArrangementLiveNow) {
    const UiNote old = player.start(60, 1);
    rig.session.newArrangement();  // one Part on device 0, channel 0, no shift
    rig.backend.clearRecords();
    player.stop(old);  // its device opening is gone
    player.stop(player.start(60, 0));
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0x90, 60, 0x7F), packMessage(0x80, 60, 0x7F)}));
    EXPECT_TRUE(rig.sent(1).empty());
}

TEST_F(UiNotePlayerTest, DeviceThatRefusedToOpenStaysSilent) {
    rig.backend.setRefuseOpen("Out2", true);
    moveToDevice(1, 2);
    rig.backend.clearRecords();
    const UiNote note = player.start(60, 1);
    EXPECT_EQ(note.incarnation, 0u);
    player.stop(note);
    EXPECT_TRUE(rig.backend.events().empty());
    EXPECT_EQ(shown.size(), 2u);
}

TEST_F(UiNotePlayerTest, InvalidPartIsRefused) {
    EXPECT_THROW(player.start(60, 2), InvalidArgumentError);
    EXPECT_TRUE(rig.backend.events().empty());
    EXPECT_TRUE(shown.empty());
}

TEST_F(UiNotePlayerTest, ReleaseOfAnUnseenPressGoesThroughThePartAsItIsNow) {
    rig.session.setChannel(1, 3);
    player.stopUnstarted(61, 1);
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x83, 73, 0x7F)}));
    EXPECT_EQ(shown, (Messages{packMessage(0x83, 61, 0x7F)}));

    rig.session.setNoteShift(1, 100);
    rig.backend.clearRecords();
    player.stopUnstarted(61, 1);
    EXPECT_TRUE(rig.backend.events().empty());
}

TEST_F(UiNotePlayerTest, MouseNotesStopNewestFirst) {
    player.startMouseNote(60, 1);
    player.startMouseNote(10, 0);
    player.startMouseNote(62, 1);
    ASSERT_EQ(player.soundingNotes().size(), 3u);
    EXPECT_EQ(player.soundingNotes().back().key, 62);
    rig.backend.clearRecords();

    EXPECT_TRUE(player.stopNewestMouseNote());
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x81, 74, 0x7F)}));
    ASSERT_EQ(player.soundingNotes().size(), 2u);

    rig.backend.clearRecords();
    player.stopAllMouseNotes();
    EXPECT_TRUE(player.soundingNotes().empty());
    const auto events = rig.backend.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].device, 0);
    EXPECT_EQ(events[0].message, packMessage(0x80, 10, 0x7F));
    EXPECT_EQ(events[1].device, 1);
    EXPECT_EQ(events[1].message, packMessage(0x81, 72, 0x7F));
    EXPECT_FALSE(player.stopNewestMouseNote());
}

TEST_F(UiNotePlayerTest, SameKeyClickedTwiceSoundsTwiceAndStopsTwice) {
    player.startMouseNote(60, 1);
    player.startMouseNote(60, 1);
    player.stopAllMouseNotes();
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x91, 72, 0x7F), packMessage(0x91, 72, 0x7F),
                                     packMessage(0x81, 72, 0x7F), packMessage(0x81, 72, 0x7F)}));
}

}  // namespace
}  // namespace tarvelo
