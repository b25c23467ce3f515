// Counts heap allocations made anywhere in the process while a burst of messages is routed.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include "support/virtual_rig.h"

// The sanitizers bring allocators of their own; the count is taken in the plain builds only.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARVELO_COUNT_ALLOCATIONS 0
#else
#define TARVELO_COUNT_ALLOCATIONS 1
#endif

#if TARVELO_COUNT_ALLOCATIONS
namespace {
std::atomic<bool> countingAllocations{false};
std::atomic<long> allocationCount{0};

void* countedAllocation(std::size_t size) {
    if (countingAllocations.load(std::memory_order_relaxed)) {
        allocationCount.fetch_add(1, std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) {
    return countedAllocation(size);
}
void* operator new[](std::size_t size) {
    return countedAllocation(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
#endif

namespace tarvelo {
namespace {

TEST(RoutingAllocations, BurstOfRoutedMessagesAllocatesNothing) {
#if !TARVELO_COUNT_ALLOCATIONS
    GTEST_SKIP() << "allocations are counted in builds without sanitizers";
#else
    testing::VirtualRig rig(3, std::size_t{1} << 16);
    LiveSession& session = rig.session;
    session.split(0, 48);
    session.split(1, 72);
    session.setOutputDevice(1, 1);
    session.setNoteShift(2, 5);
    session.setTarget(1);

    std::atomic<bool> go{false};
    std::atomic<bool> done{false};
    constexpr int kRounds = 2000;
    std::thread midiThread([&] {
        while (!go.load(std::memory_order_acquire))
            std::this_thread::yield();
        for (int i = 0; i < kRounds; ++i) {
            const auto key = static_cast<std::uint8_t>(i % 128);
            rig.backend.inject(0, packMessage(0x90, key, 100));
            rig.backend.inject(0, packMessage(0xB0, 1, static_cast<std::uint8_t>(i % 128)));
            rig.backend.inject(0, packMessage(0xF8, 0, 0));
            rig.backend.inject(0, packMessage(0x80, key, 0));
            rig.backend.inject(0, packMessage(0xE0, 0, 64));
        }
        done.store(true, std::memory_order_release);
    });

    countingAllocations.store(true);
    go.store(true, std::memory_order_release);
    while (!done.load(std::memory_order_acquire))
        std::this_thread::yield();
    countingAllocations.store(false);
    midiThread.join();

    EXPECT_EQ(allocationCount.load(), 0);
    EXPECT_EQ(rig.backend.overflowCount(), 0u);
    // The burst really was routed: every note on and off, every controller and clock.
    std::size_t sent = 0;
    for (int d = 0; d < 3; ++d)
        sent += rig.sent(d).size();
    EXPECT_GE(sent, static_cast<std::size_t>(kRounds) * 4);
#endif
}

}  // namespace
}  // namespace tarvelo
