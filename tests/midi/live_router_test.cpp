#include "midi/live_router.h"

#include <gtest/gtest.h>

#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

using testing::VirtualRig;
using Messages = std::vector<PackedMessage>;

// Part 0: keys 0..59 on device 0, channel 0. Part 1: keys 60..127 on device 1, channel 1, +12.
struct RouterTest : ::testing::Test {
    RouterTest() { rig.useTwoPartSplit(); }
    void moveToDevice(int part, int device) { rig.session.setOutputDevice(part, device); }

    VirtualRig rig{3};
};

TEST_F(RouterTest, NoteIsRechannelledAndTransposedToItsPartsDevice) {
    rig.play(packMessage(0x90, 0x3C, 0x64));
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x91, 0x48, 0x64)}));
    EXPECT_TRUE(rig.sent(0).empty());
    // Posted as received, untransposed.
    EXPECT_EQ(rig.drain().notes, (Messages{packMessage(0x90, 0x3C, 0x64)}));
}

TEST_F(RouterTest, VelocityZeroNoteOnStaysANoteOnAndShowsARelease) {
    rig.play(packMessage(0x95, 0x40, 0x00));
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x91, 0x4C, 0x00)}));
    const auto notes = rig.drain().notes;
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_FALSE(isNoteOnPress(notes[0]));
}

TEST_F(RouterTest, NoteOffKeepsItsVelocity) {
    rig.play(packMessage(0x80, 10, 77));
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0x80, 10, 77)}));
}

TEST_F(RouterTest, EveryInputChannelSplitsByTheSameTable) {
    rig.play(packMessage(0x90, 62, 1));
    rig.play(packMessage(0x99, 63, 1));
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x91, 74, 1), packMessage(0x91, 75, 1)}));
}

TEST_F(RouterTest, SystemMessagesPassUnchangedToDeviceZero) {
    rig.play(packMessage(0xF8, 0, 0));
    rig.play(packMessage(0xFE, 0, 0));
    rig.play(packMessage(0xF2, 0x10, 0x20));
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0xF8, 0, 0), packMessage(0xFE, 0, 0),
                                     packMessage(0xF2, 0x10, 0x20)}));
    EXPECT_TRUE(rig.drain().notes.empty());
}

TEST_F(RouterTest, SystemMessageWithDeviceZeroClosedIsDroppedHarmlessly) {
    moveToDevice(0, 2);
    rig.backend.clearRecords();
    rig.play(packMessage(0xF8, 0, 0));
    EXPECT_TRUE(rig.backend.events().empty());
}

TEST_F(RouterTest, ChannelMessagesGoToTheTargetSnapshot) {
    moveToDevice(1, 2);
    rig.session.setChannel(1, 5);
    rig.session.setTarget(1);
    rig.play(packMessage(0xB3, 0x07, 0x64));
    EXPECT_EQ(rig.sent(2), (Messages{packMessage(0xB5, 0x07, 0x64)}));

    rig.session.setChannel(1, 9);  // not the target's channel until chosen again
    rig.play(packMessage(0xC0, 3, 0));
    rig.play(packMessage(0xA0, 60, 5));  // poly pressure goes to the target, not by key
    EXPECT_EQ(rig.sent(2), (Messages{packMessage(0xB5, 0x07, 0x64), packMessage(0xC5, 3, 0),
                                     packMessage(0xA5, 60, 5)}));
    EXPECT_TRUE(rig.drain().notes.empty());
}

TEST_F(RouterTest, WithoutATargetChannelMessagesAreDroppedButNotesRoute) {
    rig.session.setTarget(-1);
    rig.play(packMessage(0xB0, 7, 1));
    rig.play(packMessage(0xC0, 1, 0));
    rig.play(packMessage(0xE0, 0, 64));
    rig.play(packMessage(0x90, 1, 1));
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0x90, 1, 1)}));
    EXPECT_TRUE(rig.sent(1).empty());
}

TEST_F(RouterTest, TransposedNoteOutsideTheMidiRangeIsNotSent) {
    rig.play(packMessage(0x90, 120, 100));  // 120 + 12 = 132
    rig.play(packMessage(0x80, 120, 0));
    rig.session.setNoteShift(0, -5);
    rig.play(packMessage(0x90, 3, 100));  // -2
    rig.play(packMessage(0x90, 3, 0));
    EXPECT_TRUE(rig.sent(0).empty());
    EXPECT_TRUE(rig.sent(1).empty());
    EXPECT_EQ(rig.drain().notes.size(), 4u);  // still shown
}

TEST_F(RouterTest, NoteByteAboveTheKeyboardIsNotSent) {
    rig.play(packMessage(0x90, 200, 1));
    EXPECT_TRUE(rig.backend.events().empty());
}

TEST_F(RouterTest, ReleaseFollowsItsNoteOnAfterThePartChanged) {
    rig.play(packMessage(0x90, 61, 100));  // Part 1: device 1, channel 1, 73
    moveToDevice(1, 2);
    rig.session.setChannel(1, 4);
    rig.session.setNoteShift(1, 0);
    rig.play(packMessage(0x80, 61, 64));
    // The note on's device was closed meanwhile (its reset silenced it): nothing is lost, and
    // the release does not go to the new device.
    EXPECT_TRUE(rig.sent(2).empty());

    rig.play(packMessage(0x90, 62, 100));  // device 2, channel 4, 62
    rig.session.split(1, 62);              // key 62 now belongs to a new Part on channel 0..
    rig.session.setNoteShift(2, 7);
    rig.play(packMessage(0x90, 62, 0));
    EXPECT_EQ(rig.sent(2), (Messages{packMessage(0x94, 62, 100), packMessage(0x94, 62, 0)}));
}

TEST_F(RouterTest, ReleaseIsNotSentToADeviceReopenedSinceItsNoteOn) {
    rig.play(packMessage(0x90, 61, 100));  // device 1
    moveToDevice(1, 2);                    // device 1 closes: its reset ends the note
    moveToDevice(1, 1);                    // and opens again
    rig.backend.clearRecords();
    rig.play(packMessage(0x80, 61, 0));
    EXPECT_TRUE(rig.backend.events().empty());
}

TEST_F(RouterTest, ReleaseOfANoteThatWasNeverSentIsNotSentEither) {
    rig.play(packMessage(0x90, 120, 100));  // out of range on Part 1
    rig.session.setNoteShift(1, 0);
    rig.play(packMessage(0x80, 120, 0));  // in range now, but its note on never sounded
    EXPECT_TRUE(rig.backend.events().empty());
}

TEST_F(RouterTest, KeyStruckAgainAfterItsPartMovedEndsTheOldNote) {
    rig.play(packMessage(0x90, 10, 100));
    rig.session.setNoteShift(0, 2);
    rig.play(packMessage(0x90, 10, 90));
    rig.play(packMessage(0x80, 10, 0));
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0x90, 10, 100), packMessage(0x80, 10, 0),
                                     packMessage(0x90, 12, 90), packMessage(0x80, 12, 0)}));
}

TEST_F(RouterTest, EveryNoteMessagePostsExactlyOnce) {
    const Messages in{packMessage(0x90, 1, 1), packMessage(0x80, 1, 1),   packMessage(0xB0, 1, 1),
                      packMessage(0xF8, 0, 0), packMessage(0x9F, 100, 0), packMessage(0xE0, 0, 0)};
    for (PackedMessage m : in)
        rig.play(m);
    EXPECT_EQ(rig.drain().notes, (Messages{in[0], in[1], in[4]}));
}

TEST_F(RouterTest, DisplayQueueOverflowLosesTheDisplayNotTheMidi) {
    const int total = static_cast<int>(OwnerMailbox::kNoteCapacity) + 10;
    for (int i = 0; i < total; ++i)
        rig.play(packMessage(0x90, 10, 1));
    EXPECT_EQ(rig.sent(0).size(), static_cast<std::size_t>(total));
    EXPECT_EQ(rig.session.mailbox().droppedNotes(), 10u);
    EXPECT_EQ(rig.drain().notes.size(), OwnerMailbox::kNoteCapacity);
}

TEST_F(RouterTest, ClosingTheInputEndsItsNotesAndPedalsWhereTheyWentInOrder) {
    rig.play(packMessage(0x90, 62, 100));  // Part 1: device 1, channel 1, 74
    rig.play(packMessage(0x90, 10, 100));  // Part 0: device 0, channel 0
    rig.play(packMessage(0x90, 11, 100));
    rig.play(packMessage(0x80, 11, 0));    // released: nothing to end
    rig.play(packMessage(0xB0, 64, 127));  // sustain down at the target, Part 0
    rig.play(packMessage(0xB0, 67, 90));
    rig.play(packMessage(0xB0, 67, 0));  // soft pedal up again
    rig.play(packMessage(0xB0, 66, 10));  // sostenuto never went down
    // Where the keys and the target go now is no matter.
    rig.session.setChannel(0, 5);
    rig.session.setNoteShift(1, 0);
    rig.session.setTarget(1);
    rig.backend.clearRecords();

    rig.session.setInputDevice(1);
    std::vector<std::pair<int, PackedMessage>> releases;
    for (const RecordedEvent& e : rig.backend.events()) {
        if (e.kind == RecordedEvent::Kind::Short)
            releases.emplace_back(e.device, e.message);
    }
    EXPECT_EQ(releases, (std::vector<std::pair<int, PackedMessage>>{
                            {1, packMessage(0x81, 74, 0)},
                            {0, packMessage(0x80, 10, 0)},
                            {0, packMessage(0xB0, 64, 0)}}));

    // Nothing is remembered afterwards: a release of a key held before takes the table's route.
    rig.session.setInputDevice(0);
    rig.backend.clearRecords();
    rig.play(packMessage(0x80, 62, 0));
    rig.play(packMessage(0xB0, 64, 0));
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x81, 62, 0), packMessage(0xB1, 64, 0)}));
}

}  // namespace
}  // namespace tarvelo
