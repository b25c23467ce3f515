// The input thread routes a dense stream while the user-interface thread reshapes the
// arrangement and plays its own notes. Built and run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <bitset>
#include <map>
#include <random>
#include <thread>

#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

constexpr int kOutputs = 4;
constexpr int kMaxParts = 6;
constexpr std::uint8_t kUiChannel = 15;  // no Part gets this channel with at most six Parts

// Lowest channel no other Part uses on device.
std::uint8_t freeChannelOn(const PartList& parts, int device, int except) {
    std::bitset<16> used;
    for (int i = 0; i < parts.partCount(); ++i) {
        if (i != except && parts.partAt(i).outputDevice == device)
            used.set(parts.partAt(i).channel);
    }
    for (std::uint8_t c = 0; c < 16; ++c) {
        if (!used.test(c))
            return c;
    }
    return 0;
}

// One user-interface step, chosen at random.
void reshape(LiveSession& session, std::mt19937& rng) {
    const PartList& parts = session.parts();
    const int count = parts.partCount();
    const int p = static_cast<int>(rng() % static_cast<unsigned>(count));
    switch (rng() % 6) {
        case 0: {  // split
            const Part& part = parts.partAt(p);
            if (count < kMaxParts && part.highKey > part.lowKey) {
                const int key =
                    part.lowKey + 1 + static_cast<int>(rng() % (part.highKey - part.lowKey));
                session.split(p, key);
            }
            break;
        }
        case 1: {  // join a run around p
            if (count > 1) {
                const int first = std::max(0, p - 1);
                const int last = std::min(count - 1, first + 1 + static_cast<int>(rng() % 2));
                session.join(first, last, first + static_cast<int>(rng() % (last - first + 1)));
            }
            break;
        }
        case 2: {  // another output device
            const int device = static_cast<int>(rng() % kOutputs);
            session.setOutputDevice(p, device);
            session.setChannel(p, freeChannelOn(parts, device, p));
            break;
        }
        case 3:  // another channel-message target, or none
            session.setTarget(static_cast<int>(rng() % static_cast<unsigned>(count + 1)));
            break;
        case 4: {  // move a boundary
            if (p + 1 < count) {
                const Part& lower = parts.partAt(p);
                const Part& upper = parts.partAt(p + 1);
                if (upper.highKey > lower.lowKey) {
                    const int key =
                        lower.lowKey + 1 + static_cast<int>(rng() % (upper.highKey - lower.lowKey));
                    session.setRange(p, lower.lowKey, key - 1);
                }
            }
            break;
        }
        default: {  // the user-interface thread's own note, on a channel no Part uses
            OutputDevice* out = session.devices().outputHandle(parts.partAt(p).outputDevice);
            if (out != nullptr) {
                const auto note = static_cast<std::uint8_t>(rng() % 128);
                out->sendShort(packMessage(0x90 | kUiChannel, note, 90));
                out->sendShort(packMessage(0x80 | kUiChannel, note, 0));
            }
            break;
        }
    }
}

// Checks the recorded traffic: well-formed, and per device opening every note on gets exactly
// one release before the next note on of the same channel and note, and before the close.
void checkTraffic(const std::vector<RecordedEvent>& events, int& notesChecked) {
    std::array<bool, kOutputs> open{};
    std::array<std::array<std::bitset<128>, 16>, kOutputs> sounding{};
    for (const RecordedEvent& e : events) {
        const auto d = static_cast<std::size_t>(e.device);
        switch (e.kind) {
            case RecordedEvent::Kind::Open:
                open[d] = true;
                break;
            case RecordedEvent::Kind::Close:
                for (int ch = 0; ch < 16; ++ch) {
                    ASSERT_TRUE(sounding[d][static_cast<std::size_t>(ch)].none())
                        << "device " << d << " closed with notes sounding on channel " << ch;
                }
                open[d] = false;
                break;
            case RecordedEvent::Kind::Long:
                break;
            case RecordedEvent::Kind::Short: {
                ASSERT_TRUE(open[d]) << "sent to a closed device";
                const PackedMessage m = e.message;
                ASSERT_TRUE(isWellFormedShortMessage(m)) << std::hex << m;
                if (!isNoteMessage(statusOf(m)))
                    break;
                auto& notes = sounding[d][statusOf(m) & 0x0F];
                const std::size_t note = data1Of(m);
                if (isNoteOnPress(m)) {
                    ASSERT_FALSE(notes.test(note))
                        << "second note on without release: " << std::hex << m;
                    notes.set(note);
                    ++notesChecked;
                } else {
                    ASSERT_TRUE(notes.test(note))
                        << "release without note on: " << std::hex << m << " on device " << d;
                    notes.reset(note);
                }
                break;
            }
        }
    }
}

TEST(RoutingStress, ReshapingWhileRoutingNeverCorruptsOrHangsANote) {
    testing::VirtualRig rig(kOutputs, std::size_t{1} << 21);
    std::atomic<bool> stop{false};
    std::atomic<long> routed{0};
    std::atomic<long> reshaped{0};
    constexpr int kSteps = 3000;
    constexpr long kNotesPerStep = 30;

    std::thread midiThread([&] {
        std::mt19937 rng(7);
        std::array<int, 128> heldOnChannel;  // input channel a key is held on, or -1
        heldOnChannel.fill(-1);
        while (!stop.load(std::memory_order_acquire)) {
            // Never more than a few steps ahead of the reshaping, however the two threads are
            // scheduled on a busy machine: the recording has room for the whole run.
            if (routed.load(std::memory_order_relaxed) >
                (reshaped.load(std::memory_order_relaxed) + 4) * kNotesPerStep) {
                std::this_thread::yield();
                continue;
            }
            const auto key = static_cast<std::uint8_t>(rng() % 128);
            const std::size_t k = key;
            if (heldOnChannel[k] < 0) {
                const int channel = static_cast<int>(rng() % 4);
                rig.backend.inject(0, packMessage(static_cast<std::uint8_t>(0x90 | channel), key,
                                                  1 + rng() % 127));
                heldOnChannel[k] = channel;
            } else {
                // Releases come as note offs or as note ons with velocity 0.
                const std::uint8_t kind = rng() % 2 ? 0x80 : 0x90;
                rig.backend.inject(
                    0, packMessage(static_cast<std::uint8_t>(kind | heldOnChannel[k]), key, 0));
                heldOnChannel[k] = -1;
            }
            switch (rng() % 8) {
                case 0:
                    rig.backend.inject(
                        0, packMessage(0xB0, 7, static_cast<std::uint8_t>(rng() % 128)));
                    break;
                case 1:
                    rig.backend.inject(0, packMessage(0xF8, 0, 0));
                    break;
                case 2:
                    rig.backend.inject(0, packMessage(0xE3, 0, 64));
                    break;
                default:
                    break;
            }
            routed.fetch_add(1, std::memory_order_relaxed);
        }
        for (std::size_t k = 0; k < 128; ++k) {
            if (heldOnChannel[k] >= 0) {
                rig.backend.inject(0,
                                   packMessage(static_cast<std::uint8_t>(0x80 | heldOnChannel[k]),
                                               static_cast<std::uint8_t>(k), 0));
            }
        }
    });

    std::mt19937 rng(11);
    for (int step = 0; step < kSteps; ++step) {
        reshape(rig.session, rng);
        reshaped.store(step + 1, std::memory_order_relaxed);
        if (step % 50 == 0)
            rig.drain();  // the window keeps up with the posted notes
        // Pace the reshaping by the stream, so both threads stay busy side by side.
        while (routed.load(std::memory_order_relaxed) < step * kNotesPerStep)
            std::this_thread::yield();
    }
    stop.store(true, std::memory_order_release);
    midiThread.join();
    rig.session.shutdown();

    EXPECT_EQ(rig.backend.overflowCount(), 0u);
    EXPECT_GE(routed.load(), (kSteps - 1) * kNotesPerStep);
    int notesChecked = 0;
    checkTraffic(rig.backend.events(), notesChecked);
    EXPECT_GT(notesChecked, 1000);
}

}  // namespace
}  // namespace tarvelo
