#include "model/part_list.h"

#include <gtest/gtest.h>

#include "midi/backends/virtual/virtual_backend.h"
#include "midi/owner_mailbox.h"

namespace tarvelo {
namespace {

// A PartList on a virtual system with inputs "In", "In2" and outputs "Out0".., in its start-up
// state.
struct VirtualRig {
    explicit VirtualRig(int outputs = 3) {
        backend.addInput("In");
        backend.addInput("In2");
        for (int i = 0; i < outputs; ++i)
            backend.addOutput("Out" + std::to_string(i));
        parts.createDefault(&mailbox, 0, 127);
        parts.setTarget(0);
        parts.devices().openInput(0);
        parts.rebuildRoutes();
    }
    VirtualBackend backend;
    OwnerMailbox mailbox;
    PartList parts{backend};
};

// Splits the default Part into bands starting at the given keys, in ascending order.
void splitAt(PartList& parts, std::initializer_list<int> keys) {
    for (int key : keys)
        parts.splitPart(parts.partCount() - 1, key);
    parts.rebuildRoutes();
}

TEST(PartListDefault, OnePartOverTheWholeKeyboardOnDeviceZero) {
    VirtualRig rig;
    const PartList& parts = rig.parts;
    ASSERT_EQ(parts.partCount(), 1);
    const Part& p = parts.partAt(0);
    EXPECT_EQ(p.name, "Part1");
    EXPECT_EQ(p.outputDevice, 0);
    EXPECT_EQ(p.channel, 0);
    EXPECT_EQ(p.noteShift, 0);
    EXPECT_EQ(p.lowKey, 0);
    EXPECT_EQ(p.highKey, 127);
    EXPECT_EQ(parts.messageLists().size(), 1u);
    EXPECT_EQ(parts.devices().useCount(0), 1);
    for (int k = 0; k < 256; ++k) {
        const RouteEntry e = parts.routes().at(k);
        EXPECT_EQ(e.device, 0);
        EXPECT_EQ(e.channel, 0);
        EXPECT_EQ(e.noteShift, 0);
    }
}

TEST(PartListDefault, PartAtOutsideThePartsThrows) {
    VirtualRig rig;
    EXPECT_THROW(rig.parts.partAt(1), InvalidArgumentError);
    EXPECT_THROW(rig.parts.partAt(-1), InvalidArgumentError);
    EXPECT_THROW(rig.parts.messageListAt(1), InvalidArgumentError);
}

TEST(PartListSplit, LowerKeepsIdentityUpperIsNew) {
    VirtualRig rig;
    PartList& parts = rig.parts;
    parts.messageListAt(0).append(InitialMessage{0, 0xB0, 7, 100, {}, 0});
    EXPECT_EQ(parts.splitPart(0, 60), 1);
    ASSERT_EQ(parts.partCount(), 2);
    EXPECT_EQ(parts.partAt(0).name, "Part1");
    EXPECT_EQ(parts.partAt(0).lowKey, 0);
    EXPECT_EQ(parts.partAt(0).highKey, 59);
    EXPECT_EQ(parts.partAt(0).channel, 0);
    EXPECT_EQ(parts.messageListAt(0).count(), 1);
    EXPECT_EQ(parts.partAt(1).name, "Part2");
    EXPECT_EQ(parts.partAt(1).lowKey, 60);
    EXPECT_EQ(parts.partAt(1).highKey, 127);
    EXPECT_EQ(parts.partAt(1).channel, 1);
    EXPECT_EQ(parts.messageListAt(1).count(), 0);
    EXPECT_EQ(parts.devices().useCount(0), 2);
}

TEST(PartListSplit, NewPartTakesLowestChannelFreeOnItsDevice) {
    VirtualRig rig;
    PartList& parts = rig.parts;
    splitAt(parts, {10, 20, 30});  // channels 0, 1, 2, 3
    parts.partAt(2).channel = 9;   // device 0 now uses 0, 1, 9, 3
    EXPECT_EQ(parts.partAt(parts.splitPart(3, 40)).channel, 2);

    // Channel 0 is free on device 0 once Part 0 has moved to device 1.
    parts.partAt(0).outputDevice = 1;
    parts.partAt(0).channel = 5;
    EXPECT_EQ(parts.partAt(parts.splitPart(1, 15)).channel, 0);
}

TEST(PartListSplit, AllSixteenChannelsTakenGivesChannelZero) {
    VirtualRig rig;
    PartList& parts = rig.parts;
    for (int i = 1; i < 16; ++i)
        parts.splitPart(parts.partCount() - 1, i * 8);
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(parts.partAt(i).channel, i);
    EXPECT_EQ(parts.partAt(parts.splitPart(15, 125)).channel, 0);
}

TEST(PartListSplit, AtHighKeyLeavesOneKeyUpperPart) {
    VirtualRig rig;
    PartList& parts = rig.parts;
    parts.splitPart(0, 127);
    EXPECT_EQ(parts.partAt(0).highKey, 126);
    EXPECT_EQ(parts.partAt(1).lowKey, 127);
    EXPECT_EQ(parts.partAt(1).highKey, 127);
}

TEST(PartListSplit, NumberingGoesOnAcrossNew) {
    VirtualRig rig;
    PartList& parts = rig.parts;
    splitAt(parts, {10, 20, 30, 40});  // Part2..Part5
    EXPECT_EQ(parts.nextPartNumber(), 5);
    parts.createDefault(&rig.mailbox, 0, 127);
    EXPECT_EQ(parts.partCount(), 1);
    parts.splitPart(0, 64);
    EXPECT_EQ(parts.partAt(1).name, "Part6");
}

TEST(PartListJoin, KeptPartSpansTheRunAndKeepsItsIdentity) {
    VirtualRig rig(3);
    PartList& parts = rig.parts;
    splitAt(parts, {20, 40, 60, 80});  // five Parts
    parts.partAt(1).outputDevice = 1;
    parts.partAt(3).outputDevice = 2;
    // Keep the use counts in step with the edited devices, as the device box does.
    parts.devices().releaseOutput(0);
    parts.devices().acquireOutput(1);
    parts.devices().releaseOutput(0);
    parts.devices().acquireOutput(2);
    parts.messageListAt(2).append(InitialMessage{0, 0xC0, 5, -1, {}, 0});
    const std::string keptName = parts.partAt(2).name;

    EXPECT_EQ(parts.joinParts(1, 3, 2), 1);
    ASSERT_EQ(parts.partCount(), 3);
    EXPECT_EQ(parts.partAt(1).name, keptName);
    EXPECT_EQ(parts.partAt(1).lowKey, 20);
    EXPECT_EQ(parts.partAt(1).highKey, 79);
    EXPECT_EQ(parts.messageListAt(1).count(), 1);
    EXPECT_EQ(parts.messageLists().size(), 3u);
    EXPECT_EQ(parts.devices().useCount(1), 0);
    EXPECT_EQ(parts.devices().useCount(2), 0);
    EXPECT_EQ(parts.devices().useCount(0), 3);
    EXPECT_FALSE(rig.backend.isOutputOpen("Out1"));
}

TEST(PartListTarget, SetTargetSnapshotsDeviceAndChannel) {
    VirtualRig rig(3);
    PartList& parts = rig.parts;
    parts.splitPart(0, 60);
    parts.partAt(1).outputDevice = 2;
    EXPECT_TRUE(parts.setTarget(1));
    EXPECT_EQ(parts.targetPart(), 1);
    EXPECT_EQ(parts.targetDevice(), 2);
    EXPECT_EQ(parts.targetChannel(), 1);
    parts.partAt(1).channel = 7;  // the target is a snapshot
    EXPECT_EQ(parts.targetChannel(), 1);

    EXPECT_FALSE(parts.setTarget(parts.partCount()));
    EXPECT_EQ(parts.targetPart(), -1);
    EXPECT_EQ(parts.targetDevice(), -1);
    EXPECT_EQ(parts.targetChannel(), 255);
}

TEST(PartListRoutes, RebuildFollowsRangesChannelsAndShifts) {
    VirtualRig rig(3);
    PartList& parts = rig.parts;
    splitAt(parts, {60});
    parts.partAt(1).outputDevice = 2;
    parts.partAt(1).noteShift = -12;
    parts.rebuildRoutes();
    EXPECT_EQ(parts.routes().at(59).device, 0);
    EXPECT_EQ(parts.routes().at(59).channel, 0);
    const RouteEntry upper = parts.routes().at(60);
    EXPECT_EQ(upper.device, 2);
    EXPECT_EQ(upper.channel, 1);
    EXPECT_EQ(upper.noteShift, -12);
    // Entries beyond the keyboard keep their neutral route.
    EXPECT_EQ(parts.routes().at(200).device, 0);
    EXPECT_EQ(parts.routes().at(200).noteShift, 0);
}

TEST(PartListAdopt, TakesContentAndHoldsOneUsePerPart) {
    VirtualRig rig(3);
    ArrangementContent content;
    content.parts = {Part{"A", 1, 0, 0, 0, 0, 63}, Part{"B", 1, 5, 1, 0, 64, 100},
                     Part{"C", 2, 0, 2, 0, 101, 127}};
    content.messageLists.resize(3);
    content.nextPartNumber = 9;
    content.inputDevice = 1;
    content.targetPart = 1;
    content.targetDevice = 1;
    content.targetChannel = 1;
    rig.parts.adopt(std::move(content));
    EXPECT_EQ(rig.parts.partCount(), 3);
    EXPECT_EQ(rig.parts.devices().useCount(0), 0);
    EXPECT_EQ(rig.parts.devices().useCount(1), 2);
    EXPECT_EQ(rig.parts.devices().useCount(2), 1);
    EXPECT_EQ(rig.parts.devices().inputDevice(), 1);
    EXPECT_TRUE(rig.backend.isInputOpen("In2"));
    EXPECT_FALSE(rig.backend.isInputOpen("In"));
    EXPECT_EQ(rig.parts.targetPart(), 1);
    EXPECT_EQ(rig.parts.nextPartNumber(), 9);
}

}  // namespace
}  // namespace tarvelo
