#include "midi/backends/jack/outgoing_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tarvelo::jack {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A cycle's output buffer shaped like JACK's: a byte budget, a per-event overhead, and events
// that must come in frame order.
struct FakeBuffer {
    static constexpr std::size_t kOverhead = 8;
    explicit FakeBuffer(std::size_t bytes) : free(bytes) {}

    std::size_t room() const { return free > kOverhead ? free - kOverhead : 0; }
    bool write(std::uint32_t frame, const std::uint8_t* data, std::size_t size) {
        if (size > room() || (!events.empty() && frame < lastFrame))
            return false;
        free -= size + kOverhead;
        lastFrame = frame;
        events.emplace_back(data, data + size);
        return true;
    }

    std::size_t free;
    std::uint32_t lastFrame = 0;
    std::vector<Bytes> events;
};

struct QueueTest : ::testing::Test {
    // One cycle: a fresh buffer of `bytes`, half kept free for live events.
    FakeBuffer cycle(std::size_t bytes, std::size_t doneLimit = 100) {
        FakeBuffer buffer(bytes);
        std::size_t taken = 0;
        last = queue.writeInto(buffer, buffer.room(), buffer.room() / 2, [&](LongMessageToken t) {
            done.push_back(t);
            return ++taken < doneLimit;
        });
        return buffer;
    }
    void pushShort(PackedMessage m) { ASSERT_TRUE(queue.push(QueuedMessage::shortMessage(m))); }
    void pushLong(const Bytes& bytes, LongMessageToken token) {
        ASSERT_TRUE(queue.push(QueuedMessage::longMessage(bytes, token)));
    }

    OutgoingQueue queue;
    std::vector<LongMessageToken> done;
    QueueWriteResult last;
};

TEST_F(QueueTest, ShortMessagesLeaveInOrderWithTheirWireLength) {
    pushShort(packMessage(0xC1, 5, 0));
    pushShort(packMessage(0xF8, 0, 0));
    pushShort(packMessage(0x91, 72, 100));
    const FakeBuffer out = cycle(1000);
    EXPECT_EQ(out.events, (std::vector<Bytes>{{0xC1, 5}, {0xF8}, {0x91, 72, 100}}));
    EXPECT_TRUE(queue.idle());
}

TEST_F(QueueTest, LongMessageLeavesWholeAndIsReportedOnce) {
    const Bytes sysex{0xF0, 0x41, 0x10, 0x42, 0x12, 0xF7};
    pushShort(packMessage(0xB0, 0, 1));
    pushLong(sysex, 7);
    pushShort(packMessage(0xC0, 3, 0));
    EXPECT_EQ(cycle(1000).events, (std::vector<Bytes>{{0xB0, 0, 1}, sysex, {0xC0, 3}}));
    EXPECT_EQ(done, (std::vector<LongMessageToken>{7}));
    EXPECT_TRUE(cycle(1000).events.empty());
    EXPECT_EQ(done.size(), 1u);
}

TEST_F(QueueTest, WhatDoesNotFitWaitsForTheNextCycleInOrder) {
    for (int i = 0; i < 20; ++i)
        pushShort(packMessage(0x90, static_cast<std::uint8_t>(i), 1));
    std::vector<Bytes> all;
    int cycles = 0;
    while (!queue.idle() && cycles < 20) {
        const FakeBuffer out = cycle(120);
        EXPECT_FALSE(out.events.empty()) << "the queue must move every cycle";
        // Live events keep half of the buffer.
        EXPECT_GE(out.free, 120u / 2 - FakeBuffer::kOverhead);
        all.insert(all.end(), out.events.begin(), out.events.end());
        ++cycles;
    }
    EXPECT_GT(cycles, 1);
    ASSERT_EQ(all.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(all[static_cast<std::size_t>(i)][1], i);
}

TEST_F(QueueTest, LongMessageBiggerThanHalfTheBufferGoesFirstInItsCycle) {
    const Bytes big(80, 0x11);
    pushShort(packMessage(0x90, 1, 1));
    pushLong(big, 1);
    EXPECT_EQ(cycle(120).events.size(), 1u);  // the reserve holds the big one back
    EXPECT_TRUE(done.empty());
    EXPECT_FALSE(queue.idle());
    EXPECT_EQ(cycle(120).events, (std::vector<Bytes>{big}));
    EXPECT_EQ(done, (std::vector<LongMessageToken>{1}));
}

TEST_F(QueueTest, LongMessageThatCanNeverFitIsDroppedReportedAndPassed) {
    const Bytes huge(500, 0x22);
    pushLong(huge, 9);
    pushShort(packMessage(0x80, 1, 0));
    EXPECT_EQ(cycle(120).events, (std::vector<Bytes>{{0x80, 1, 0}}));
    EXPECT_EQ(last.dropped, 1);
    EXPECT_EQ(done, (std::vector<LongMessageToken>{9}));
}

TEST_F(QueueTest, LongMessagesWaitWhenNoMoreCompletionsFitThisCycle) {
    const Bytes a{0xF0, 1, 0xF7}, b{0xF0, 2, 0xF7};
    pushLong(a, 1);
    pushLong(b, 2);
    EXPECT_EQ(cycle(1000, 1).events, (std::vector<Bytes>{a}));
    EXPECT_EQ(done, (std::vector<LongMessageToken>{1}));
    EXPECT_EQ(cycle(1000, 1).events, (std::vector<Bytes>{b}));
    EXPECT_EQ(done, (std::vector<LongMessageToken>{1, 2}));
}

TEST_F(QueueTest, DiscardHandsBackEveryLongMessageStillWaitingInOrder) {
    const Bytes big(80, 0x11);
    pushShort(packMessage(0x90, 1, 1));
    pushLong(big, 4);  // held back by the reserve
    pushShort(packMessage(0x90, 2, 1));
    pushLong(Bytes{0xF0, 0xF7}, 5);
    cycle(120);
    std::vector<LongMessageToken> discarded;
    queue.discard([&](LongMessageToken t) { discarded.push_back(t); });
    EXPECT_EQ(discarded, (std::vector<LongMessageToken>{4, 5}));
    EXPECT_TRUE(queue.idle());
    EXPECT_TRUE(cycle(1000).events.empty());
}

TEST(OutgoingQueueThreads, EveryMessageArrivesOnceAndInOrderWhileBothThreadsRun) {
    OutgoingQueue queue;
    constexpr int kCount = 20000;
    std::thread producer([&queue] {
        for (int i = 0; i < kCount; ++i) {
            const auto m = packMessage(0x90, static_cast<std::uint8_t>(i & 0x7F),
                                       static_cast<std::uint8_t>((i >> 7) & 0x7F));
            while (!queue.push(QueuedMessage::shortMessage(m)))
                std::this_thread::yield();
        }
    });
    int received = 0;
    bool inOrder = true;
    while (received < kCount) {
        FakeBuffer buffer(600);
        queue.writeInto(buffer, buffer.room(), buffer.room() / 2,
                        [](LongMessageToken) { return true; });
        for (const Bytes& e : buffer.events) {
            inOrder = inOrder && e[1] == (received & 0x7F) && e[2] == ((received >> 7) & 0x7F);
            ++received;
        }
        if (buffer.events.empty())
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_TRUE(queue.idle());
}

}  // namespace
}  // namespace tarvelo::jack
