#include "midi/backends/incoming_messages.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvelo {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Messages = std::vector<PackedMessage>;

Messages scan(const Bytes& bytes) {
    Messages out;
    const int n = forEachShortMessage(bytes, [&out](PackedMessage m) { out.push_back(m); });
    EXPECT_EQ(n, static_cast<int>(out.size()));
    return out;
}

TEST(IncomingMessages, WholeMessagesOfEveryLengthPassAsTheyCame) {
    EXPECT_EQ(scan({0x90, 0x3C, 0x64}), (Messages{packMessage(0x90, 0x3C, 0x64)}));
    EXPECT_EQ(scan({0xC5, 0x07}), (Messages{packMessage(0xC5, 0x07, 0)}));
    EXPECT_EQ(scan({0xF2, 0x10, 0x20}), (Messages{packMessage(0xF2, 0x10, 0x20)}));
    EXPECT_EQ(scan({0xF8}), (Messages{packMessage(0xF8, 0, 0)}));
    EXPECT_EQ(scan({0xF6}), (Messages{packMessage(0xF6, 0, 0)}));
}

TEST(IncomingMessages, SeveralMessagesInOneEventAreSplitInOrder) {
    EXPECT_EQ(
        scan({0x90, 60, 100, 0xC1, 5, 0x80, 60, 0}),
        (Messages{packMessage(0x90, 60, 100), packMessage(0xC1, 5, 0), packMessage(0x80, 60, 0)}));
}

TEST(IncomingMessages, RealTimeByteInsideAMessageIsDeliveredWhereItStands) {
    EXPECT_EQ(scan({0x90, 0xF8, 60, 100}),
              (Messages{packMessage(0xF8, 0, 0), packMessage(0x90, 60, 100)}));
}

TEST(IncomingMessages, ExclusiveDataIsSkippedButWhatFollowsItPasses) {
    EXPECT_TRUE(scan({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}).empty());
    EXPECT_TRUE(scan({0xF0, 0x43, 0x10}).empty());  // a torn exclusive message
    EXPECT_EQ(scan({0xF0, 0x43, 0xF7, 0xB0, 7, 100}), (Messages{packMessage(0xB0, 7, 100)}));
}

TEST(IncomingMessages, TornMessagesAndRunningStatusAreDropped) {
    EXPECT_TRUE(scan({0x90, 60}).empty());
    EXPECT_TRUE(scan({60, 100}).empty());
    // Running status: the second note has no status byte of its own.
    EXPECT_EQ(scan({0x90, 60, 100, 62, 100}), (Messages{packMessage(0x90, 60, 100)}));
    // A new status byte ends the torn message before it.
    EXPECT_EQ(scan({0x90, 60, 0xB0, 1, 2}), (Messages{packMessage(0xB0, 1, 2)}));
    EXPECT_TRUE(scan({0xF7}).empty());
    EXPECT_TRUE(scan({}).empty());
}

}  // namespace
}  // namespace tarvelo
