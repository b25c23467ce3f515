#include <gtest/gtest.h>

#include <vector>

#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

using testing::VirtualRig;
using Messages = std::vector<PackedMessage>;

// The panic on one output: on each channel the note offs of the notes left sounding there, the
// pedals up, the pitch bend centred, All Notes Off, All Sound Off.
Messages panicOn(const std::vector<std::pair<int, int>>& sounding) {
    Messages out;
    for (int channel = 0; channel < 16; ++channel) {
        const auto c = static_cast<std::uint8_t>(channel);
        for (const auto& [ch, note] : sounding) {
            if (ch == channel)
                out.push_back(packMessage(0x80 | c, static_cast<std::uint8_t>(note), 0));
        }
        for (const std::uint8_t pedal : {64, 66, 67})
            out.push_back(packMessage(0xB0 | c, pedal, 0));
        out.push_back(packMessage(0xE0 | c, 0x00, 0x40));
        out.push_back(packMessage(0xB0 | c, 123, 0));
        out.push_back(packMessage(0xB0 | c, 120, 0));
    }
    return out;
}

// Part 0: keys 0..59 on Out0, channel 0 (the target). Part 1: 60..127 on Out1, channel 1, +12.
// Out2 is open for nobody.
struct PanicTest : ::testing::Test {
    PanicTest() {
        rig.useTwoPartSplit();
        rig.play(packMessage(0x90, 10, 100));
        rig.play(packMessage(0x90, 62, 100));
        rig.play(packMessage(0x90, 63, 100));
        rig.play(packMessage(0x80, 63, 0));
        rig.play(packMessage(0xB0, 64, 127));
        rig.backend.clearRecords();
    }
    VirtualRig rig{3};
};

TEST_F(PanicTest, EveryOutputAPartOrTheTargetUsesIsSilencedChannelByChannel) {
    rig.session.panic();
    EXPECT_EQ(rig.sent(0), panicOn({{0, 10}}));
    EXPECT_EQ(rig.sent(1), panicOn({{1, 74}}));
    EXPECT_TRUE(rig.sent(2).empty());
    // Nothing is left to release: a second panic sends no note off.
    rig.backend.clearRecords();
    rig.session.panic();
    EXPECT_EQ(rig.sent(0), panicOn({}));
}

TEST_F(PanicTest, ThePanicControllerOfTheInputIsConsumedAndTheInputPlaysOn) {
    rig.session.setPanicTrigger(PanicTrigger{119, 127});
    rig.play(packMessage(0xB5, 119, 100));  // another value: an ordinary controller
    rig.play(packMessage(0xB5, 119, 127));
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0xB0, 119, 100)}));
    rig.settle();
    EXPECT_EQ(rig.sent(1), panicOn({{1, 74}}));
    rig.backend.clearRecords();
    rig.play(packMessage(0x90, 20, 90));
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0x90, 20, 90)}));

    rig.session.setPanicTrigger(PanicTrigger{});
    rig.play(packMessage(0xB0, 119, 127));
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0x90, 20, 90), packMessage(0xB0, 119, 127)}));
}

}  // namespace
}  // namespace tarvelo
