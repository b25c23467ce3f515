#include "midi/quiescence_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace tarvelo {
namespace {

using namespace std::chrono_literals;

TEST(QuiescenceGate, QuiescenceWaitsForTheRunningCallbackOnlyAndGivesUpOnAStuckOne) {
    QuiescenceGate gate;
    EXPECT_TRUE(gate.waitForQuiescence(0ms));  // nothing running
    gate.enter();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(gate.waitForQuiescence(20ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);

    std::thread leaver([&gate] {
        std::this_thread::sleep_for(10ms);
        gate.leave();
        gate.enter();  // the next callback: the wait must not wait for it too
    });
    EXPECT_TRUE(gate.waitForQuiescence(5000ms));
    leaver.join();
    gate.leave();
    EXPECT_EQ(gate.completedPasses(), 2u);
}

TEST(QuiescenceGate, PassWaitCountsOnlyCallbacksThatStartAfterItAndStopsWhenToldTo) {
    QuiescenceGate gate;
    std::atomic<bool> stop{false};
    std::thread process([&] {
        while (!stop.load()) {
            gate.enter();
            std::this_thread::sleep_for(1ms);
            gate.leave();
            std::this_thread::sleep_for(1ms);
        }
    });
    const std::uint64_t before = gate.completedPasses();
    EXPECT_TRUE(gate.waitForPasses(3, 5000ms, [] { return false; }));
    EXPECT_GE(gate.completedPasses(), before + 3);
    stop = true;
    process.join();

    EXPECT_FALSE(gate.waitForPasses(1, 5000ms, [] { return true; }));  // gives up at once
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(gate.waitForPasses(1, 20ms, [] { return false; }));  // no callback runs
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
}

}  // namespace
}  // namespace tarvelo
