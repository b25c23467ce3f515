#include "model/part_list.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace tarvelo {
namespace {

using Ranges = std::vector<std::pair<int, int>>;

// The arrangement New makes: Part1 over 0..127, the target.
PartList fresh() {
    PartList parts;
    parts.createDefault(0, 127);
    parts.setTarget(0);
    return parts;
}

// Splits the last Part at each key, in ascending order.
void splitAt(PartList& parts, std::initializer_list<int> keys) {
    for (int key : keys)
        parts.splitPart(parts.partCount() - 1, key);
}

Ranges ranges(const PartList& parts) {
    Ranges r;
    for (const Part& p : parts.parts())
        r.emplace_back(p.lowKey, p.highKey);
    return r;
}

TEST(PartListDefault, OnePartOverTheWholeKeyboardOnDeviceZero) {
    const PartList parts = fresh();
    ASSERT_EQ(parts.partCount(), 1);
    const Part& p = parts.partAt(0);
    EXPECT_EQ(p.name, "Part1");
    EXPECT_EQ(p.outputDevice, 0);
    EXPECT_EQ(p.channel, 0);
    EXPECT_EQ(p.noteShift, 0);
    EXPECT_EQ(p.lowKey, 0);
    EXPECT_EQ(p.highKey, 127);
    EXPECT_EQ(parts.messageLists().size(), 1u);
    EXPECT_THROW(parts.partAt(1), InvalidArgumentError);
    EXPECT_THROW(parts.partAt(-1), InvalidArgumentError);
    EXPECT_THROW(parts.messageListAt(1), InvalidArgumentError);
}

TEST(PartListSplit, LowerKeepsIdentityUpperIsNew) {
    PartList parts = fresh();
    parts.messageListAt(0).append(InitialMessage{0, 0xB0, 7, 100, {}, 0});
    EXPECT_EQ(parts.splitPart(0, 60), 1);
    ASSERT_EQ(parts.partCount(), 2);
    EXPECT_EQ(parts.partAt(0).name, "Part1");
    EXPECT_EQ(ranges(parts), (Ranges{{0, 59}, {60, 127}}));
    EXPECT_EQ(parts.partAt(0).channel, 0);
    EXPECT_EQ(parts.messageListAt(0).count(), 1);
    EXPECT_EQ(parts.partAt(1).name, "Part2");
    EXPECT_EQ(parts.partAt(1).channel, 1);
    EXPECT_EQ(parts.messageListAt(1).count(), 0);
}

TEST(PartListSplit, NewPartTakesLowestChannelFreeOnItsDevice) {
    PartList parts = fresh();
    splitAt(parts, {10, 20, 30});  // channels 0, 1, 2, 3
    parts.partAt(2).channel = 9;   // device 0 now uses 0, 1, 9, 3
    EXPECT_EQ(parts.partAt(parts.splitPart(3, 40)).channel, 2);

    // Channel 0 is free on device 0 once Part 0 has moved to device 1.
    parts.partAt(0).outputDevice = 1;
    parts.partAt(0).channel = 5;
    EXPECT_EQ(parts.partAt(parts.splitPart(1, 15)).channel, 0);
}

TEST(PartListSplit, AllSixteenChannelsTakenGivesChannelZero) {
    PartList parts = fresh();
    for (int i = 1; i < 16; ++i)
        parts.splitPart(parts.partCount() - 1, i * 8);
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(parts.partAt(i).channel, i);
    EXPECT_EQ(parts.partAt(parts.splitPart(15, 125)).channel, 0);
}

TEST(PartListSplit, AtHighKeyLeavesOneKeyUpperPart) {
    PartList parts = fresh();
    parts.splitPart(0, 127);
    EXPECT_EQ(ranges(parts), (Ranges{{0, 126}, {127, 127}}));
}

TEST(PartListSplit, NumberingGoesOnAcrossNew) {
    PartList parts = fresh();
    splitAt(parts, {10, 20, 30, 40});  // Part2..Part5
    EXPECT_EQ(parts.nextPartNumber(), 5);
    parts.createDefault(0, 127);
    EXPECT_EQ(parts.partCount(), 1);
    parts.splitPart(0, 64);
    EXPECT_EQ(parts.partAt(1).name, "Part6");
}

TEST(PartListJoin, KeptPartSpansTheRunAndKeepsItsIdentity) {
    PartList parts = fresh();
    splitAt(parts, {20, 40, 60, 80});  // five Parts
    parts.partAt(2).outputDevice = 1;
    parts.messageListAt(2).append(InitialMessage{0, 0xC0, 5, -1, {}, 0});
    parts.messageListAt(3).append(InitialMessage{0, 0xC0, 6, -1, {}, 0});
    const Part kept = parts.partAt(2);

    EXPECT_EQ(parts.joinParts(1, 3, 2), 1);
    EXPECT_EQ(ranges(parts), (Ranges{{0, 19}, {20, 79}, {80, 127}}));
    EXPECT_EQ(parts.partAt(1).name, kept.name);
    EXPECT_EQ(parts.partAt(1).outputDevice, 1);
    EXPECT_EQ(parts.partAt(1).channel, kept.channel);
    ASSERT_EQ(parts.messageLists().size(), 3u);
    ASSERT_EQ(parts.messageListAt(1).count(), 1);
    EXPECT_EQ(parts.messageListAt(1).at(0)->data1, 5);
}

TEST(PartListTarget, SetTargetSnapshotsDeviceAndChannel) {
    PartList parts = fresh();
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

// Three Parts 0..39, 40..79, 80..127; each row asks one range of the middle Part.
TEST(PartListRange, NeighboursFollowAndNoPartLosesItsLastKeyNorTheKeyboardItsEnds) {
    struct Case {
        int part, low, high;
        bool taken;
        Ranges after;
    };
    const Ranges unchanged{{0, 39}, {40, 79}, {80, 127}};
    const Case cases[] = {
        {1, 41, 79, true, {{0, 40}, {41, 79}, {80, 127}}},
        {1, 1, 126, true, {{0, 0}, {1, 126}, {127, 127}}},
        {1, 0, 79, false, unchanged},    // Part 0 would be empty
        {1, 40, 127, false, unchanged},  // Part 2 would be empty
        {1, 60, 59, false, unchanged},   // Part 1 would be empty
        {0, 1, 39, false, unchanged},    // the keyboard's low end stays
        {2, 80, 126, false, unchanged},  // the keyboard's high end stays
        {0, 0, 50, true, {{0, 50}, {51, 79}, {80, 127}}},
        {2, 70, 127, true, {{0, 39}, {40, 69}, {70, 127}}},
    };
    for (const Case& c : cases) {
        PartList parts = fresh();
        splitAt(parts, {40, 80});
        EXPECT_EQ(parts.setRange(c.part, c.low, c.high), c.taken)
            << c.part << ": " << c.low << ".." << c.high;
        EXPECT_EQ(ranges(parts), c.after) << c.part << ": " << c.low << ".." << c.high;
    }
}

TEST(PartListLoaded, KeepsTheStoredTargetAndGivesEveryPartAList) {
    const PartList parts({Part{"A", 1, 0, 0, 0, 0, 63}, Part{"B", 2, 5, 1, 0, 64, 127}}, {}, 0, 127,
                         9, 1, 3, 4);
    EXPECT_EQ(parts.partCount(), 2);
    EXPECT_EQ(parts.messageLists().size(), 2u);
    EXPECT_EQ(parts.nextPartNumber(), 9);
    // A file's target need not match its Part: it is kept as stored.
    EXPECT_EQ(parts.targetPart(), 1);
    EXPECT_EQ(parts.targetDevice(), 3);
    EXPECT_EQ(parts.targetChannel(), 4);
}

}  // namespace
}  // namespace tarvelo
