#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "model/arrangement_file.h"
#include "support/temp_dir.h"
#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

using testing::VirtualRig;
using Messages = std::vector<PackedMessage>;

// A note on, its note off, then what an output says as it closes: sustain up on every channel.
Messages heldThenClosed(std::uint8_t key, std::uint8_t velocity) {
    Messages out{packMessage(0x90, key, velocity), packMessage(0x80, key, 0)};
    for (std::uint8_t channel = 0; channel < 16; ++channel)
        out.push_back(packMessage(0xB0 | channel, 64, 0));
    return out;
}

StoredPart storedPart(int low, int high, const char* device, std::uint8_t channel, int program,
                      bool followsPedals = false) {
    StoredPart p;
    p.part.lowKey = static_cast<std::uint8_t>(low);
    p.part.highKey = static_cast<std::uint8_t>(high);
    p.part.channel = channel;
    p.part.followsPedals = followsPedals;
    p.outputDeviceName = device;
    p.messages.append(InitialMessage{0, 0xC0, program, 0, {}, 0});
    return p;
}

// Three songs on the virtual backend, their initial messages sent:
//   A (program 0): every key on Out0, channel 1, program 10; the target.
//   B (program 1): keys 0..59 on Out0, channel 1, program 10 (the same: skipped); keys 60..127
//      on Out1, channel 2, program 20, following the pedals. Target: its first Part.
//   C (program 2): every key on Out2, channel 1, program 30.
struct Show {
    Show() {
        const auto write = [this](const char* name, std::vector<StoredPart> parts) {
            StoredArrangement a;
            a.inputDeviceName = "In";
            a.parts = std::move(parts);
            a.targetPart = 0;
            a.targetDeviceName = a.parts.front().outputDeviceName;
            a.targetChannel = a.parts.front().part.channel;
            a.nextPartNumber = static_cast<std::int32_t>(a.parts.size()) + 1;
            // The pedal switches live in the companion file beside the arrangement.
            CompanionSettings companion;
            for (const StoredPart& p : a.parts)
                companion.parts.push_back({p.part.followsPedals, false});
            EXPECT_EQ(writeArrangementFiles(dir.file(name), a, companion), std::nullopt);
        };
        write("a.trv", {storedPart(0, 127, "Out0", 0, 10)});
        write("b.trv",
              {storedPart(0, 59, "Out0", 0, 10), storedPart(60, 127, "Out1", 1, 20, true)});
        write("c.trv", {storedPart(0, 127, "Out2", 0, 30)});
        std::ofstream(dir.file("show.txt"))
            << "# the show\n@next 80\n@previous 81\na.trv\nb.trv\nc.trv\n";
        EXPECT_TRUE(rig.session.loadSetList(dir.file("show.txt")).empty());
        rig.session.sendAllInitialMessages();
        rig.settle();
        rig.backend.clearRecords();
    }

    // Plays m and lets the owner follow, as the window's event loop and timer would.
    void play(PackedMessage m) {
        rig.play(m);
        rig.settle();
        rig.session.followDevices();
    }

    testing::TempDir dir;
    VirtualRig rig{3};
};

TEST(SetListSwitch, WhatSoundsEndsWhereItBeganAndTheNewSongSoundsFromItsFirstNote) {
    struct Case {
        const char* what;
        Messages before;  // played in song A
        PackedMessage switching;
        Messages after;  // played once the owner has followed
        Messages out0, out1, out2;
        int song;
    };
    const Case cases[] = {
        {"a note held through the switch is released on the old song's device",
         {packMessage(0x90, 64, 100)},
         packMessage(0xC0, 1, 0),
         {packMessage(0x80, 64, 0), packMessage(0x90, 64, 90)},
         // Out0 keeps program 10: the equal program change is not sent again.
         {packMessage(0x90, 64, 100), packMessage(0x80, 64, 0)},
         {packMessage(0xC1, 20, 0), packMessage(0x91, 64, 90)},
         {},
         1},
        {"a pedal held through the switch goes down on the new song's followers, up everywhere",
         {packMessage(0xB0, 64, 127)},
         packMessage(0xB3, 80, 127),  // the next-song footswitch, on any channel
         {packMessage(0x90, 70, 80), packMessage(0xB0, 64, 0)},
         {packMessage(0xB0, 64, 127), packMessage(0xB0, 64, 0)},
         {packMessage(0xC1, 20, 0), packMessage(0xB1, 64, 127), packMessage(0x91, 70, 80),
          packMessage(0xB1, 64, 0)},
         {},
         1},
        {"a note held on a device only the old song used ends there before it closes",
         {packMessage(0x90, 40, 100)},
         packMessage(0xC0, 2, 0),
         {packMessage(0x90, 41, 70), packMessage(0x80, 40, 0)},
         heldThenClosed(40, 100),
         {},
         {packMessage(0xC0, 30, 0), packMessage(0x90, 41, 70)},
         2},
        {"a program change that selects no song is taken and changes nothing",
         {},
         packMessage(0xC0, 99, 0),
         {packMessage(0x90, 64, 1)},
         {packMessage(0x90, 64, 1)},
         {},
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Show fresh;
        for (const PackedMessage m : c.before)
            fresh.play(m);
        fresh.play(c.switching);
        for (const PackedMessage m : c.after)
            fresh.play(m);
        EXPECT_EQ(fresh.rig.session.currentSong(), c.song);
        EXPECT_EQ(fresh.rig.sent(0), c.out0);
        EXPECT_EQ(fresh.rig.sent(1), c.out1);
        EXPECT_EQ(fresh.rig.sent(2), c.out2);
        // Nothing of the old song is left open once it is quiet.
        for (int out = 0; out < 3; ++out) {
            int uses = 0;
            for (const Part& p : fresh.rig.session.parts().parts())
                uses += p.outputDevice == out ? 1 : 0;
            EXPECT_EQ(fresh.rig.session.devices().useCount(out), uses) << "Out" << out;
        }
    }
}

TEST(SetListSwitch, QuickSuccessiveSwitchesLeaveOnlyTheLastSongsWork) {
    Show show;
    VirtualRig& rig = show.rig;
    // Paging through without the owner getting a turn: B, C, B, C, ... ten times, ending on C.
    for (int i = 0; i < 10; ++i)
        rig.play(packMessage(0xC0, i % 2 == 0 ? 1 : 2, 0));
    rig.settle();
    rig.session.followDevices();
    EXPECT_EQ(rig.songs, (std::vector<int>{2}));
    EXPECT_EQ(rig.session.currentSong(), 2);
    EXPECT_TRUE(rig.sent(1).empty());  // B's own device was never opened
    EXPECT_EQ(rig.sent(2), (Messages{packMessage(0xC0, 30, 0)}));
    EXPECT_EQ(rig.session.devices().useCount(0), 0);
    EXPECT_EQ(rig.session.devices().useCount(1), 0);

    // The previous-song footswitch acts once per press, however many values the pedal sends.
    for (const std::uint8_t value : {0, 100, 127, 90, 10, 127})
        show.play(packMessage(0xB0, 81, value));
    EXPECT_EQ(rig.session.currentSong(), 0);
    EXPECT_EQ(rig.songs, (std::vector<int>{2, 1, 0}));
}

}  // namespace
}  // namespace tarvelo
