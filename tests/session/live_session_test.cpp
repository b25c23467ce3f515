#include "session/live_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "model/arrangement_file.h"
#include "support/temp_dir.h"
#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

using testing::TempDir;
using testing::VirtualRig;
using Messages = std::vector<PackedMessage>;

// Use counts of Out0..Out2, and whether each is open.
struct Uses {
    std::vector<int> counts;
    std::vector<bool> open;
    bool operator==(const Uses&) const = default;
};
Uses usesOf(const VirtualRig& rig) {
    Uses u;
    for (int d = 0; d < 3; ++d) {
        u.counts.push_back(rig.session.devices().useCount(d));
        u.open.push_back(rig.backend.isOutputOpen("Out" + std::to_string(d)));
    }
    return u;
}

TEST(LiveSessionDevices, EveryPartHoldsOneUseOfItsDeviceThroughEveryEdit) {
    VirtualRig rig;
    TempDir dir;
    EXPECT_EQ(usesOf(rig), (Uses{{1, 0, 0}, {true, false, false}}));

    rig.session.split(0, 40);
    rig.session.split(1, 80);  // three Parts on Out0
    EXPECT_EQ(usesOf(rig), (Uses{{3, 0, 0}, {true, false, false}}));

    rig.session.setOutputDevice(1, 1);
    rig.session.setOutputDevice(2, 2);
    EXPECT_EQ(usesOf(rig), (Uses{{1, 1, 1}, {true, true, true}}));
    EXPECT_FALSE(rig.session.setOutputDevice(2, 3));  // no such device: nothing changes
    EXPECT_EQ(usesOf(rig), (Uses{{1, 1, 1}, {true, true, true}}));

    ASSERT_EQ(rig.session.save(dir.file("three.trv")), std::nullopt);

    rig.session.join(0, 1, 0);  // Part 1's device loses its only user and closes
    EXPECT_EQ(usesOf(rig), (Uses{{1, 0, 1}, {true, false, true}}));

    rig.session.newArrangement();
    EXPECT_EQ(usesOf(rig), (Uses{{1, 0, 0}, {true, false, false}}));

    ASSERT_EQ(rig.session.load(dir.file("three.trv")), std::nullopt);
    EXPECT_EQ(usesOf(rig), (Uses{{1, 1, 1}, {true, true, true}}));
    rig.session.shutdown();
    EXPECT_EQ(usesOf(rig), (Uses{{0, 0, 0}, {false, false, false}}));
    EXPECT_FALSE(rig.backend.isInputOpen("In"));
}

TEST(LiveSessionDevices, PickingTheDeviceAPartAloneUsesReopensItSilenced) {
    VirtualRig rig;
    rig.useTwoPartSplit();
    rig.play(packMessage(0x90, 70, 100));  // sounding on Out1
    rig.backend.clearRecords();
    ASSERT_TRUE(rig.session.setOutputDevice(1, 1));
    const Messages out1 = rig.sent(1);
    EXPECT_NE(std::find(out1.begin(), out1.end(), packMessage(0x81, 82, 0)), out1.end());
    EXPECT_TRUE(rig.backend.isOutputOpen("Out1"));
}

// What the input callback makes of a note on of each key given, per output.
std::vector<Messages> routed(VirtualRig& rig, std::initializer_list<std::uint8_t> keys) {
    rig.backend.clearRecords();
    for (const std::uint8_t key : keys)
        rig.play(packMessage(0x90, key, 100));
    std::vector<Messages> out;
    for (int d = 0; d < 3; ++d)
        out.push_back(rig.sent(d));
    return out;
}

TEST(LiveSessionRoutes, FollowEveryEditAtOnce) {
    VirtualRig rig;
    rig.useTwoPartSplit();  // 0..59 Out0 ch 0; 60..127 Out1 ch 1 +12
    EXPECT_EQ(
        routed(rig, {59, 60}),
        (std::vector<Messages>{{packMessage(0x90, 59, 100)}, {packMessage(0x91, 72, 100)}, {}}));

    rig.session.setChannel(1, 6);
    rig.session.setNoteShift(1, -1);
    ASSERT_TRUE(rig.session.setRange(1, 50, 127));
    ASSERT_TRUE(rig.session.setOutputDevice(0, 2));
    EXPECT_EQ(
        routed(rig, {49, 50}),
        (std::vector<Messages>{{}, {packMessage(0x96, 49, 100)}, {packMessage(0x90, 49, 100)}}));

    const int upper = rig.session.split(1, 100);  // a new Part on Out1, channel 0
    EXPECT_EQ(routed(rig, {100}), (std::vector<Messages>{{}, {packMessage(0x90, 99, 100)}, {}}));
    rig.session.join(1, upper, 1);
    EXPECT_EQ(routed(rig, {101}), (std::vector<Messages>{{}, {packMessage(0x96, 100, 100)}, {}}));
}

TEST(LiveSessionRoutes, KeysNoPartCoversRouteNowhereEvenAfterAnArrangementThatCoveredThem) {
    VirtualRig rig;
    rig.useTwoPartSplit();  // key 100 goes to Out1
    // A file whose Parts cover only 0..59: nothing of the earlier arrangement may route 60..127.
    TempDir dir;
    StoredArrangement narrow;
    narrow.lowestKey = 0;
    narrow.highestKey = 59;
    narrow.inputDeviceName = "In";
    StoredPart only;
    only.part.name = "Low";
    only.part.highKey = 59;
    only.outputDeviceName = "Out1";
    narrow.parts.push_back(only);
    ASSERT_EQ(writeArrangementFile(dir.file("narrow.trv"), narrow), std::nullopt);
    ASSERT_EQ(rig.session.load(dir.file("narrow.trv")), std::nullopt);

    EXPECT_EQ(routed(rig, {10, 100}),
              (std::vector<Messages>{{}, {packMessage(0x90, 10, 100)}, {}}));
    for (int k = 60; k < RoutingTable::kSize; ++k)
        EXPECT_EQ(rig.session.routes().at(k).device, RouteEntry::kNowhere) << k;
}

TEST(LiveSessionTarget, ChannelMessagesGoToTheSnapshotTakenWhenTheTargetWasChosen) {
    VirtualRig rig;
    rig.useTwoPartSplit();
    const PackedMessage volume = packMessage(0xB3, 7, 100);
    rig.play(volume);  // New made Part 0 the target
    EXPECT_EQ(rig.sent(0), (Messages{packMessage(0xB0, 7, 100)}));

    ASSERT_TRUE(rig.session.setTarget(1));
    rig.session.setChannel(1, 9);  // not seen until the target is chosen again
    rig.backend.clearRecords();
    rig.play(volume);
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0xB1, 7, 100)}));

    EXPECT_FALSE(rig.session.setTarget(-1));
    rig.backend.clearRecords();
    rig.play(volume);
    rig.play(packMessage(0x90, 70, 1));  // notes still route
    EXPECT_TRUE(rig.sent(0).empty());
    EXPECT_EQ(rig.sent(1), (Messages{packMessage(0x99, 82, 1)}));
}

}  // namespace
}  // namespace tarvelo
