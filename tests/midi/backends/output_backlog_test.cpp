#include "midi/backends/jack/output_backlog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace tarvelo::jack {
namespace {

constexpr std::size_t kLine = OutputBacklog::kCapacity;
// What fills the backlog up to the line in the cases below: it may give way to nothing.
constexpr PackedMessage kFiller = packMessage(0xCF, 0, 0);

constexpr PackedMessage on(std::uint8_t key) {
    return packMessage(0x90, key, 100);
}
constexpr PackedMessage off(std::uint8_t key) {
    return packMessage(0x80, key, 64);
}
constexpr PackedMessage bend(std::uint8_t channel, std::uint8_t value) {
    return packMessage(static_cast<std::uint8_t>(0xE0 | channel), 0, value);
}
constexpr PackedMessage cc(std::uint8_t controller, std::uint8_t value) {
    return packMessage(0xB0, controller, value);
}

std::vector<PackedMessage> drain(OutputBacklog& backlog) {
    std::vector<PackedMessage> out;
    for (; !backlog.empty(); backlog.popFront()) {
        if (backlog.front() != kFiller)
            out.push_back(backlog.front());
    }
    return out;
}

struct Push {
    PackedMessage message;
    bool queued;
    std::uint32_t lost;
};

TEST(OutputBacklog, BeyondTheLineWhatGivesWayLeavesEveryReceiverInItsFinalState) {
    const struct {
        const char* name;
        std::vector<PackedMessage> waiting;  // then fillers up to the line, unless empty
        std::vector<Push> pushes;
        std::vector<PackedMessage> out;  // in the order they leave, fillers left out
    } cases[] = {
        {"below the line, everything waits as routed",
         {},
         {{on(60), true, 0},
          {off(60), true, 0},
          {off(60), true, 0},
          {bend(0, 1), true, 0},
          {bend(0, 2), true, 0}},
         {on(60), off(60), off(60), bend(0, 1), bend(0, 2)}},
        {"a release is queued unless its key is released already; a note on is dropped",
         {on(60)},
         {{off(60), true, 0},
          {off(60), false, 1},
          {on(60), false, 1},
          {off(60), false, 1},
          {off(61), true, 0},
          {packMessage(0x90, 62, 0), true, 0}},
         {on(60), off(60), off(61), packMessage(0x90, 62, 0)}},
        {"a value supersedes the newest of its kind and leaves in its own place",
         {bend(0, 1), cc(121, 0), bend(1, 5), packMessage(0xD0, 9, 0), packMessage(0xA0, 60, 10),
          packMessage(0xA0, 61, 20), cc(7, 100)},
         {{bend(0, 2), true, 1},
          {packMessage(0xA0, 60, 30), true, 1},
          {cc(7, 50), true, 1},
          {cc(10, 64), true, 0},
          {packMessage(0xD0, 8, 0), true, 1}},
         {cc(121, 0), bend(1, 5), packMessage(0xA0, 61, 20), bend(0, 2), packMessage(0xA0, 60, 30),
          cc(7, 50), cc(10, 64), packMessage(0xD0, 8, 0)}},
        {"a pedal's newest value wins",
         {cc(64, 127), cc(66, 0)},
         {{cc(64, 0), true, 0},
          {cc(64, 100), true, 2},
          {cc(64, 10), true, 0},
          {cc(64, 0), true, 1},
          {cc(66, 127), true, 1}},
         {cc(64, 100), cc(64, 0), cc(66, 127)}},
        {"other messages take the newest note on's place, then are dropped",
         {on(60), off(60), on(61), cc(0, 1)},
         {{packMessage(0xC0, 5, 0), true, 1},
          {off(61), true, 0},
          {cc(0, 2), true, 1},
          {packMessage(0xC0, 6, 0), false, 1}},
         {off(60), cc(0, 1), packMessage(0xC0, 5, 0), off(61), cc(0, 2)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto backlog = std::make_unique<OutputBacklog>();
        for (const PackedMessage m : c.waiting)
            backlog->push(m);
        while (!c.waiting.empty() && backlog->pending() < kLine)
            backlog->push(kFiller);
        for (const Push& p : c.pushes) {
            const OutputBacklog::Pushed pushed = backlog->push(p.message);
            EXPECT_EQ(pushed.queued, p.queued) << std::hex << p.message;
            EXPECT_EQ(pushed.lost, p.lost) << std::hex << p.message;
        }
        EXPECT_EQ(drain(*backlog), c.out);
        EXPECT_EQ(backlog->pending(), 0u);
    }
}

// The most the claims of the class comment can take at once: a note off for every channel and
// key, two messages for every pedal, one for every other value. The backlog is then full to its
// last slot, and still every release and every value finds its place.
TEST(OutputBacklog, EveryReleaseAndValueFindsRoomWhenAllClaimAtOnce) {
    auto backlog = std::make_unique<OutputBacklog>();
    while (backlog->pending() < kLine)
        backlog->push(kFiller);
    const auto queued = [&](PackedMessage m) { EXPECT_TRUE(backlog->push(m).queued) << m; };
    for (std::uint8_t ch = 0; ch < 16; ++ch) {
        const auto status = [ch](int kind) { return static_cast<std::uint8_t>(kind | ch); };
        for (std::uint8_t key = 0; key < 128; ++key) {
            queued(packMessage(status(0x80), key, 0));
            queued(packMessage(status(0xA0), key, 1));
            if (isPedalController(key)) {
                for (const std::uint8_t value : {0, 127, 0})
                    queued(packMessage(status(0xB0), key, value));
            } else if (isValueController(key)) {
                queued(packMessage(status(0xB0), key, 1));
            }
        }
        queued(packMessage(status(0xD0), 1, 0));
        queued(packMessage(status(0xE0), 0, 1));
    }
    EXPECT_EQ(backlog->pending(), OutputBacklog::kSlots);
    EXPECT_EQ(backlog->push(off(5)).lost, 1u);  // redundant
    queued(cc(64, 127));
    queued(bend(0, 2));
    EXPECT_EQ(backlog->pending(), OutputBacklog::kSlots - 1);
}

// Any mix, pushed faster or slower than it leaves: what leaves is in routed order, every key the
// stream released is released, every value ends as routed, and routed = left + lost.
TEST(OutputBacklog, AnyStreamLeavesTheReceiverInTheStateItWasRoutedTo) {
    const std::vector<PackedMessage> kinds = {on(60),
                                              on(61),
                                              off(60),
                                              off(61),
                                              packMessage(0x91, 60, 0),
                                              cc(64, 127),
                                              cc(64, 0),
                                              cc(67, 90),
                                              cc(7, 0),
                                              cc(0, 1),
                                              bend(0, 0),
                                              bend(1, 0),
                                              packMessage(0xD0, 0, 0),
                                              packMessage(0xA1, 61, 0),
                                              packMessage(0xC0, 3, 0)};
    struct Receiver {
        std::map<int, bool> sounding;         // channel and key
        std::map<int, PackedMessage> values;  // status and, for some, the first data byte
        void take(PackedMessage m) {
            const int kind = statusOf(m) & 0xF0;
            if (kind == 0x80 || kind == 0x90)
                sounding[(statusOf(m) & 0x0F) * 128 + data1Of(m)] = isNoteOnPress(m);
            else if (kind == 0xD0 || kind == 0xE0)
                values[statusOf(m)] = m;
            else if (kind == 0xA0 || (kind == 0xB0 && isValueController(data1Of(m))))
                values[statusOf(m) * 128 + data1Of(m)] = m;
        }
    } routed, received;
    std::mt19937 random(19);
    auto backlog = std::make_unique<OutputBacklog>();
    std::vector<PackedMessage> sent, left;
    std::uint64_t lost = 0;
    for (int step = 0; step < 300000; ++step) {
        PackedMessage m = kinds[random() % kinds.size()];
        const int kind = statusOf(m) & 0xF0;
        if (kind >= 0xA0 && kind != 0xC0)  // a value of its own
            m |= static_cast<PackedMessage>(random() % 128) << (kind == 0xD0 ? 8 : 16);
        routed.take(m);
        sent.push_back(m);
        lost += backlog->push(m).lost;
        // Phases of slow and fast sending, to cross the line both ways.
        for (unsigned n = random() % ((step / 20000) % 2 == 0 ? 2 : 4); n > 0 && !backlog->empty();
             --n, backlog->popFront()) {
            left.push_back(backlog->front());
        }
        ASSERT_LE(backlog->pending(), OutputBacklog::kSlots);
    }
    for (; !backlog->empty(); backlog->popFront())
        left.push_back(backlog->front());
    for (const PackedMessage m : left)
        received.take(m);
    EXPECT_EQ(sent.size(), left.size() + lost);
    EXPECT_GT(lost, 0u);
    // What left is a subsequence of what was sent.
    auto next = sent.begin();
    for (const PackedMessage m : left) {
        next = std::find(next, sent.end(), m);
        ASSERT_NE(next++, sent.end());
    }
    EXPECT_EQ(received.values, routed.values);
    for (const auto& [key, sounding] : routed.sounding)
        EXPECT_TRUE(sounding || !received.sounding[key]) << key;
}

}  // namespace
}  // namespace tarvelo::jack
