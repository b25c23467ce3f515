#include "midi/backends/jack/output_backlog.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tarvelo::jack {
namespace {

using Push = OutputBacklog::Push;

std::vector<PackedMessage> takeAll(OutputBacklog& backlog) {
    std::vector<PackedMessage> out;
    while (!backlog.empty()) {
        out.push_back(backlog.front());
        backlog.popFront();
    }
    return out;
}

// Full of note ons and offs of one key: a note on that comes is dropped, a release or a
// controller takes the place of the newest note on, and the order of the rest holds.
TEST(OutputBacklog, WhenFullNoteOnsGiveWayToReleasesAndControllers) {
    auto backlog = std::make_unique<OutputBacklog>();
    std::vector<PackedMessage> expected;
    for (std::size_t i = 0; i < OutputBacklog::kCapacity; ++i) {
        const PackedMessage m = i % 2 == 0 ? packMessage(0x90, 60, 64) : packMessage(0x80, 60, 0);
        ASSERT_EQ(backlog->push(m), Push::Queued);
        expected.push_back(m);
    }
    EXPECT_EQ(backlog->pending(), OutputBacklog::kCapacity);

    EXPECT_EQ(backlog->push(packMessage(0x90, 61, 64)), Push::Dropped);
    // The newest note on sits second from the back.
    EXPECT_EQ(backlog->push(packMessage(0x80, 61, 0)), Push::QueuedForANoteOn);
    expected.erase(expected.end() - 2);
    expected.push_back(packMessage(0x80, 61, 0));
    EXPECT_EQ(backlog->push(packMessage(0xB0, 64, 0)), Push::QueuedForANoteOn);
    expected.erase(expected.end() - 4);
    expected.push_back(packMessage(0xB0, 64, 0));
    // A note on with velocity 0 is a release.
    EXPECT_EQ(backlog->push(packMessage(0x90, 62, 0)), Push::QueuedForANoteOn);
    expected.erase(expected.end() - 6);
    expected.push_back(packMessage(0x90, 62, 0));

    EXPECT_EQ(takeAll(*backlog), expected);
    EXPECT_EQ(backlog->pending(), 0u);
}

TEST(OutputBacklog, FullOfReleasesItDropsTheNewcomer) {
    auto backlog = std::make_unique<OutputBacklog>();
    for (std::size_t i = 0; i < OutputBacklog::kCapacity; ++i)
        ASSERT_EQ(backlog->push(packMessage(0x80, static_cast<std::uint8_t>(i % 128), 0)),
                  Push::Queued);
    EXPECT_EQ(backlog->push(packMessage(0x80, 5, 0)), Push::Dropped);
    // Taking one out makes room again, and the ring wraps.
    backlog->popFront();
    EXPECT_EQ(backlog->push(packMessage(0xB0, 7, 100)), Push::Queued);
    const std::vector<PackedMessage> out = takeAll(*backlog);
    ASSERT_EQ(out.size(), OutputBacklog::kCapacity);
    EXPECT_EQ(out.front(), packMessage(0x80, 1, 0));
    EXPECT_EQ(out.back(), packMessage(0xB0, 7, 100));
}

}  // namespace
}  // namespace tarvelo::jack
