#include "midi/live_router.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

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

// What each output received as "device:status data1 data2" (two-byte messages as their two bytes),
// for the checks of where the pedals and wheels go.
std::vector<std::string> traffic(const VirtualBackend& backend) {
    std::vector<std::string> out;
    char text[32];
    for (const RecordedEvent& e : backend.events()) {
        if (e.kind != RecordedEvent::Kind::Short)
            continue;
        std::snprintf(text, sizeof text, "%d:%02X %02X %02X", e.device, statusOf(e.message),
                      data1Of(e.message), data2Of(e.message));
        out.emplace_back(text);
    }
    return out;
}

TEST_F(RouterTest, PedalsAndWheelsAlsoGoToEachFollowingDeviceAndChannelOnce) {
    struct Case {
        const char* name;
        std::function<void(LiveSession&)> arrange;
        std::vector<PackedMessage> played;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"switches off: the target alone, as before",
         [](LiveSession&) {},
         {packMessage(0xB3, 64, 127), packMessage(0xE3, 0, 70), packMessage(0xB3, 1, 9)},
         {"0:B0 40 7F", "0:E0 00 46", "0:B0 01 09"}},
        {"pedals: sustain, sostenuto and soft, not the wheels or other controllers",
         [](LiveSession& s) { s.setFollowsPedals(1, true); },
         {packMessage(0xB0, 64, 127), packMessage(0xB0, 66, 100), packMessage(0xB0, 67, 64),
          packMessage(0xE0, 0, 70), packMessage(0xB0, 7, 90), packMessage(0xC0, 5, 0)},
         {"0:B0 40 7F", "1:B1 40 7F", "0:B0 42 64", "1:B1 42 64", "0:B0 43 40", "1:B1 43 40",
          "0:E0 00 46", "0:B0 07 5A", "0:C0 05 00"}},
        {"wheels: pitch bend, modulation and channel pressure, not the pedals",
         [](LiveSession& s) { s.setFollowsWheels(1, true); },
         {packMessage(0xE0, 0, 70), packMessage(0xB0, 1, 9), packMessage(0xD0, 33, 0),
          packMessage(0xB0, 64, 127)},
         {"0:E0 00 46", "1:E1 00 46", "0:B0 01 09", "1:B1 01 09", "0:D0 21 00", "1:D1 21 00",
          "0:B0 40 7F"}},
        {"a follower on the target's device and channel gets it once",
         [](LiveSession& s) {
             s.setOutputDevice(1, 0);
             s.setChannel(1, 0);
             s.setFollowsPedals(0, true);
             s.setFollowsPedals(1, true);
         },
         {packMessage(0xB0, 64, 127)},
         {"0:B0 40 7F"}},
        {"two followers on one device and channel: once",
         [](LiveSession& s) {
             const int third = s.split(1, 100);
             s.setChannel(third, 1);
             s.setFollowsWheels(1, true);
             s.setFollowsWheels(third, true);
         },
         {packMessage(0xE0, 0, 70)},
         {"0:E0 00 46", "1:E1 00 46"}},
        {"no target: the followers still get theirs",
         [](LiveSession& s) {
             s.setTarget(-1);
             s.setFollowsPedals(1, true);
         },
         {packMessage(0xB0, 64, 127), packMessage(0xE0, 0, 70)},
         {"1:B1 40 7F"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::VirtualRig fresh{3};
        fresh.useTwoPartSplit();
        c.arrange(fresh.session);
        fresh.backend.clearRecords();
        for (const PackedMessage m : c.played)
            fresh.play(m);
        EXPECT_EQ(traffic(fresh.backend), c.expected);
    }
}

TEST_F(RouterTest, APedalDownIsReleasedOnceWhereverItWentWhateverChangedSince) {
    struct Case {
        const char* name;
        std::function<void(LiveSession&)> change;
        std::vector<std::string> firstUp;   // where the pedal is now, then where it is still down
        std::vector<std::string> secondUp;  // nothing is down any more: where it goes now
    };
    const std::vector<Case> cases = {
        {"nothing changed", [](LiveSession&) {}, {"0:B0 40 1E", "1:B1 40 1E"},
         {"0:B0 40 00", "1:B1 40 00"}},
        {"the follower's switch turned off", [](LiveSession& s) { s.setFollowsPedals(1, false); },
         {"0:B0 40 1E", "1:B1 40 1E"}, {"0:B0 40 00"}},
        {"the follower's channel changed", [](LiveSession& s) { s.setChannel(1, 5); },
         {"0:B0 40 1E", "1:B5 40 1E", "1:B1 40 1E"}, {"0:B0 40 00", "1:B5 40 00"}},
        {"the follower's range changed", [](LiveSession& s) { s.setRange(1, 50, 127); },
         {"0:B0 40 1E", "1:B1 40 1E"}, {"0:B0 40 00", "1:B1 40 00"}},
        {"the target became the follower", [](LiveSession& s) { s.setTarget(1); },
         {"1:B1 40 1E", "0:B0 40 1E"}, {"1:B1 40 00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::VirtualRig fresh{3};
        fresh.useTwoPartSplit();
        fresh.session.setFollowsPedals(1, true);
        fresh.play(packMessage(0xB0, 64, 127));
        fresh.play(packMessage(0xB0, 64, 100));  // still down: no second release is owed
        c.change(fresh.session);
        fresh.backend.clearRecords();
        fresh.play(packMessage(0xB0, 64, 30));  // a half-pedal value below 64 is an up
        EXPECT_EQ(traffic(fresh.backend), c.firstUp);
        fresh.backend.clearRecords();
        fresh.play(packMessage(0xB0, 64, 0));
        EXPECT_EQ(traffic(fresh.backend), c.secondUp);
    }
}

TEST_F(RouterTest, KeyPressureGoesWhereItsNoteWentWhenItsPartFollowsTheWheels) {
    rig.session.setFollowsWheels(1, true);
    rig.play(packMessage(0x93, 62, 100));  // Part 1: device 1, channel 1, note 74
    rig.play(packMessage(0xA3, 62, 50));
    rig.play(packMessage(0xA3, 10, 40));  // Part 0 does not follow: the target, untransposed
    rig.play(packMessage(0x83, 62, 0));
    rig.play(packMessage(0xA3, 62, 30));  // released: the target again
    EXPECT_EQ(traffic(rig.backend),
              (std::vector<std::string>{"1:91 4A 64", "1:A1 4A 32", "0:A0 0A 28", "1:81 4A 00",
                                        "0:A0 3E 1E"}));
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
