#include "ui/main/computer_keyboard_play.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/virtual_rig.h"

namespace tarvelo::ui {
namespace {

using tarvelo::testing::VirtualRig;
using Messages = std::vector<PackedMessage>;

constexpr int kV = 0x56;  // plays 60
constexpr int kC = 0x43;  // plays 59
constexpr int kB = 0x42;  // plays 62

KeyStroke key(int virtualKey) {
    KeyStroke k;
    k.virtualKey = virtualKey;
    return k;
}
KeyStroke repeat(int virtualKey) {
    KeyStroke k = key(virtualKey);
    k.autoRepeat = true;
    return k;
}
KeyStroke withAlt(int virtualKey) {
    KeyStroke k = key(virtualKey);
    k.systemKey = true;
    return k;
}

// Part 0: keys 0..59 on device 0, channel 0. Part 1: keys 60..127 on device 1, channel 2, -12.
struct KeyboardPlayTest : ::testing::Test {
    KeyboardPlayTest() {
        rig.session.split(0, 60);
        rig.session.setOutputDevice(1, 1);
        rig.session.setChannel(1, 2);
        rig.session.setNoteShift(1, -12);
        rig.backend.clearRecords();
    }
    // Presses and releases a key; true when both were taken.
    bool tap(int virtualKey) {
        const bool down = play.keyDown(key(virtualKey));
        const bool up = play.keyUp(key(virtualKey));
        return down && up;
    }

    VirtualRig rig{3};
    Messages& shown = rig.played;
    UiNotePlayer& player = rig.session.notePlayer();
    ComputerKeyboardPlay play{rig.session};
};

TEST_F(KeyboardPlayTest, HookStartsOffAndLetsEveryKeyThrough) {
    EXPECT_FALSE(play.hook());
    EXPECT_FALSE(play.keyDown(key(kV)));
    EXPECT_FALSE(play.keyUp(key(kV)));
    EXPECT_TRUE(rig.backend.events().empty());
    EXPECT_TRUE(shown.empty());
}

TEST_F(KeyboardPlayTest, KeyPlaysThroughThePartOwningItsNote) {
    play.setHook(true);
    EXPECT_TRUE(play.keyDown(key(kV)));
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x92, 0x30, 0x7F)}));
    EXPECT_EQ(shown, (Messages{packMessage(0x92, 60, 0x7F)}));

    EXPECT_TRUE(play.keyUp(key(kV)));
    EXPECT_EQ(rig.sent(1),
              (Messages{packMessage(0x92, 0x30, 0x7F), packMessage(0x82, 0x30, 0x7F)}));
    EXPECT_EQ(shown.back(), packMessage(0x82, 60, 0x7F));

    EXPECT_TRUE(tap(kC));
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0x90, 59, 0x7F), packMessage(0x80, 59, 0x7F)}));
}

TEST_F(KeyboardPlayTest, HeldKeySendsOneNoteOnDespiteAutoRepeat) {
    play.setHook(true);
    play.keyDown(key(kV));
    for (int i = 0; i < 5; ++i) {
        // Some platforms repeat a held key as release and press pairs.
        EXPECT_TRUE(play.keyUp(repeat(kV)));
        EXPECT_TRUE(play.keyDown(repeat(kV)));
    }
    EXPECT_TRUE(play.keyDown(key(kV)));  // and others as presses alone
    play.keyUp(key(kV));
    EXPECT_EQ(rig.sent(1),
              (Messages{packMessage(0x92, 0x30, 0x7F), packMessage(0x82, 0x30, 0x7F)}));
}

TEST_F(KeyboardPlayTest, EveryKeyIsTakenWhileTheHookIsOn) {
    play.setHook(true);
    for (const int code :
         {0x09, 0x0D, 0x1B, 0x20, 0x08, 0x11, 0x70, 0x46, 0x4A, 0x33, 0x37, 0x30, 0xBA, 0x00}) {
        EXPECT_TRUE(play.keyDown(key(code))) << code;
        EXPECT_TRUE(play.keyUp(key(code))) << code;
    }
    EXPECT_TRUE(rig.backend.events().empty());
    EXPECT_TRUE(shown.empty());
}

TEST_F(KeyboardPlayTest, EnterReachesTheFocusedCommitEdit) {
    play.setHook(true);
    KeyStroke enter = key(kVirtualKeyReturn);
    enter.focusInEdit = true;
    EXPECT_FALSE(play.keyDown(enter));
    // A note key typed into that edit still plays and is taken.
    KeyStroke v = key(kV);
    v.focusInEdit = true;
    EXPECT_TRUE(play.keyDown(v));
    EXPECT_EQ(rig.sent(1).size(), 1u);
}

TEST_F(KeyboardPlayTest, KeysWithAltAndThePanicKeyAreLeftToTheWindow) {
    play.setHook(true);
    EXPECT_FALSE(play.keyDown(withAlt(kV)));
    EXPECT_FALSE(play.keyUp(withAlt(kV)));
    EXPECT_FALSE(play.keyDown(withAlt(0x12)));
    EXPECT_FALSE(play.keyDown(key(kVirtualKeyPause)));
    EXPECT_FALSE(play.keyUp(key(kVirtualKeyPause)));
    EXPECT_TRUE(rig.backend.events().empty());
}

TEST_F(KeyboardPlayTest, ReleaseFollowsItsNoteOnAfterThePartChanged) {
    play.setHook(true);
    play.keyDown(key(kV));
    rig.session.setChannel(1, 7);
    rig.session.setNoteShift(1, 0);
    rig.backend.clearRecords();
    play.keyUp(key(kV));
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x82, 0x30, 0x7F)}));
}

TEST_F(KeyboardPlayTest, ReleaseFollowsItsNoteOnAfterTheBoundaryMoved) {
    play.setHook(true);
    play.keyDown(key(kV));  // 60, Part 1
    rig.session.setRange(0, 0, 60);
    rig.backend.clearRecords();
    play.keyUp(key(kV));
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x82, 0x30, 0x7F)}));
    EXPECT_TRUE(rig.sent(0).empty());
}

TEST_F(KeyboardPlayTest, KeyPressedWithTheHookOffAndReleasedWithItOnSendsANoteOff) {
    play.keyDown(key(kV));
    play.setHook(true);
    EXPECT_TRUE(play.keyUp(key(kV)));
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x82, 0x30, 0x7F)}));
}

TEST_F(KeyboardPlayTest, TurningTheHookOffEndsTheNotesItsKeysHold) {
    play.setHook(true);
    play.keyDown(key(kV));
    play.keyDown(key(kC));
    rig.backend.clearRecords();
    play.setHook(false);
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x82, 0x30, 0x7F)}));
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0x80, 59, 0x7F)}));

    // The releases now reach the window and send nothing.
    rig.backend.clearRecords();
    EXPECT_FALSE(play.keyUp(key(kV)));
    EXPECT_FALSE(play.keyUp(key(kC)));
    EXPECT_TRUE(rig.backend.events().empty());

    // The keys play again at their next press.
    play.setHook(true);
    play.keyDown(key(kV));
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x92, 0x30, 0x7F)}));
}

TEST_F(KeyboardPlayTest, EndAllNotesReleasesEveryHeldKey) {
    play.setHook(true);
    play.keyDown(key(kV));
    play.keyDown(key(kB));
    rig.backend.clearRecords();
    play.endAllNotes();
    Messages sent = rig.sent(1);
    std::sort(sent.begin(), sent.end());
    EXPECT_EQ(sent, (Messages{packMessage(0x82, 0x30, 0x7F), packMessage(0x82, 0x32, 0x7F)}));
    EXPECT_TRUE(play.hook());
    rig.backend.clearRecords();
    play.keyDown(key(kV));
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x92, 0x30, 0x7F)}));
}

TEST_F(KeyboardPlayTest, NoteTransposedOutOfRangeIsNotSent) {
    play.setHook(true);
    rig.session.setNoteShift(1, 40);  // the digit row's 94 becomes 134
    EXPECT_TRUE(tap(0xDC));
    EXPECT_TRUE(rig.backend.events().empty());
    EXPECT_EQ(shown, (Messages{packMessage(0x92, 94, 0x7F), packMessage(0x82, 94, 0x7F)}));
}

TEST_F(KeyboardPlayTest, ShiftReleaseEndsTheMouseHeldNotesNewestFirstEvenWithTheHookOff) {
    player.startMouseNote(60, 1);
    player.startMouseNote(10, 0);
    player.startMouseNote(64, 1);
    rig.backend.clearRecords();

    EXPECT_FALSE(play.keyUp(key(kVirtualKeyShift)));  // the window still gets the release
    EXPECT_TRUE(player.soundingNotes().empty());
    const auto events = rig.backend.events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].message, packMessage(0x82, 52, 0x7F));
    EXPECT_EQ(events[1].message, packMessage(0x80, 10, 0x7F));
    EXPECT_EQ(events[2].message, packMessage(0x82, 48, 0x7F));
}

TEST_F(KeyboardPlayTest, ShiftReleaseIsLeftToTheWindowWithTheHookOn) {
    play.setHook(true);
    player.startMouseNote(60, 1);
    EXPECT_TRUE(play.keyDown(key(kVirtualKeyShift)));
    EXPECT_FALSE(play.keyUp(key(kVirtualKeyShift)));
    EXPECT_TRUE(player.soundingNotes().empty());
}

TEST_F(KeyboardPlayTest, RepeatedShiftIsNoRelease) {
    player.startMouseNote(60, 1);
    play.keyUp(repeat(kVirtualKeyShift));
    EXPECT_EQ(player.soundingNotes().size(), 1u);
}

TEST_F(KeyboardPlayTest, ShiftReleaseWithAltStillEndsTheMouseNotes) {
    player.startMouseNote(60, 1);
    KeyStroke shift = withAlt(kVirtualKeyShift);
    EXPECT_FALSE(play.keyUp(shift));
    EXPECT_TRUE(player.soundingNotes().empty());
}

TEST_F(KeyboardPlayTest, KeyboardNotesAndMouseNotesAreKeptApart) {
    play.setHook(true);
    play.keyDown(key(kV));
    player.startMouseNote(62, 1);
    play.keyUp(key(kVirtualKeyShift));
    rig.backend.clearRecords();
    // The held key's note was not among the mouse notes; it ends at its own release.
    play.keyUp(key(kV));
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x82, 0x30, 0x7F)}));
}

}  // namespace
}  // namespace tarvelo::ui
