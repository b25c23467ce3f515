// Counts the heap allocations the input thread makes while a burst of messages is routed.
#include <gtest/gtest.h>

#include <thread>

#include "support/allocation_counter.h"
#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

TEST(RoutingAllocations, BurstOfRoutedMessagesAllocatesNothing) {
    testing::VirtualRig rig(3, std::size_t{1} << 16);
    LiveSession& session = rig.session;
    session.split(0, 48);
    session.split(1, 72);
    session.setOutputDevice(1, 1);
    session.setNoteShift(2, 5);
    session.setTarget(1);

    constexpr int kRounds = 2000;
    long allocations = -1;
    std::thread midiThread([&] {
        const testing::CountedThread counted;
        const long before = testing::countedAllocations();
        for (int i = 0; i < kRounds; ++i) {
            const auto key = static_cast<std::uint8_t>(i % 128);
            rig.backend.inject(0, packMessage(0x90, key, 100));
            rig.backend.inject(0, packMessage(0xB0, 1, static_cast<std::uint8_t>(i % 128)));
            rig.backend.inject(0, packMessage(0xF8, 0, 0));
            rig.backend.inject(0, packMessage(0x80, key, 0));
            rig.backend.inject(0, packMessage(0xE0, 0, 64));
        }
        allocations = testing::countedAllocations() - before;
    });
    midiThread.join();

    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(rig.backend.overflowCount(), 0u);
    // The burst really was routed: every note on and off, every controller and clock.
    std::size_t sent = 0;
    for (int d = 0; d < 3; ++d)
        sent += rig.sent(d).size();
    EXPECT_GE(sent, static_cast<std::size_t>(kRounds) * 4);
}

}  // namespace
}  // namespace tarvelo
