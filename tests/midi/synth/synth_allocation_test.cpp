// The synthesizer's render thread while tuning, controller and note messages flow through it:
// it allocates nothing, and FluidSynth formats no log line there.
#include <gtest/gtest.h>

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "midi/synth/synth_engine.h"
#include "support/allocation_counter.h"

namespace tarvelo::synth {
namespace {

constexpr const char* kSmallSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr std::array<std::uint8_t, 6> kGmSystemOn = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};

// Every kind of tuning message FluidSynth takes, different in each round r.
std::vector<std::vector<std::uint8_t>> tuningMessages(std::uint8_t r) {
    return {
        // scale/octave tuning, 1 and 2 bytes a note, every channel
        {0xF0, 0x7E, 0x7F, 0x08, 0x08, 0x03, 0x7F, 0x7F, 0x40, 0x40, 0x40,
         0x40, 0x40, 0x40, 0x40, 0x40, 0x40, r,    0x40, 0x40, 0xF7},
        {0xF0, 0x7F, 0x7F, 0x08, 0x09, 0x03, 0x7F, 0x7F, 0x40, 0,    0x40,
         0,    0x40, 0,    0x40, 0,    0x40, 0,    0x40, 0,    0x40, 0,
         0x40, 0,    0x40, 0,    r,    0,    0x40, 0,    0x40, 0,    0xF7},
        // single note tuning changes, of program r and of bank 5 program r
        {0xF0, 0x7F, 0x7F, 0x08, 0x02, r, 0x01, 0x45, 0x45, r, 0x00, 0xF7},
        {0xF0, 0x7F, 0x7F, 0x08, 0x07, 0x05, r, 0x01, 0x3C, 0x3C, r, 0x00, 0xF7},
    };
}

// Controllers (a tuning program change and the pitch-bend range by RPN among them), programs and
// notes on one channel, different in each round r.
std::vector<PackedMessage> channelMessages(std::uint8_t r, std::uint8_t channel) {
    const auto on = [channel](std::uint8_t kind) {
        return static_cast<std::uint8_t>(kind | channel);
    };
    return {// RPN 3: a tuning program of bank 0 that no tuning message defines
            packMessage(on(0xB0), 101, 0), packMessage(on(0xB0), 100, 3),
            packMessage(on(0xB0), 6, static_cast<std::uint8_t>(r + 64)),
            // RPN 0: the pitch-bend range
            packMessage(on(0xB0), 100, 0), packMessage(on(0xB0), 6, 12),
            // a bank no preset has: FluidSynth falls back to another, and would say so
            packMessage(on(0xB0), 0, 99), packMessage(on(0xC0), r, 0),
            packMessage(on(0xB0), 7, 100), packMessage(on(0xB0), 64, 127),
            packMessage(on(0x90), 60, 100), packMessage(on(0x90), 69, 90),
            packMessage(on(0xE0), 0, r), packMessage(on(0xD0), r, 0), packMessage(on(0xB0), 1, r),
            packMessage(on(0x80), 60, 0), packMessage(on(0xB0), 64, 0),
            packMessage(on(0x80), 69, 0)};
}

// FluidSynth mixes its effects in an OpenMP region, and libgomp allocates (and frees) a team for
// each one-thread region: a render call allocates that much whatever the messages. So the count
// is taken per period: every silent period allocates the same (what rendering alone takes), and
// no period with messages allocates more than two render calls do (a period whose rendering the
// worker's messages split in two).
TEST(SynthAllocations, TuningControllersAndNotesAllocateNothingOnTheRenderThread) {
    SynthEngine engine(kSmallSoundFont, 48000);
    ASSERT_EQ(engine.waitUntilLoaded(), SynthEngine::State::Ready);
    // FluidSynth formats a log line only for a level that has a function.
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) {
        const fluid_log_function_t function = fluid_set_log_function(level, nullptr, nullptr);
        EXPECT_EQ(function, nullptr) << "log level " << level;
    }

    std::atomic<bool> sending{false};
    std::atomic<bool> stop{false};
    std::atomic<int> periods{0};
    long silentFewest = -1;
    long silentMost = -1;
    long mostWithMessages = 0;
    int mostVoices = 0;
    std::thread render([&] {
        // Two of FluidSynth's 64-frame blocks a period, one after the other without a pause, so
        // that the render thread comes to each tuning message before the worker does.
        std::array<float, 128> left{};
        std::array<float, 128> right{};
        // libgomp sets up the thread's own state the first time it enters a region.
        engine.renderAudio(left.data(), right.data(), 128);
        const testing::CountedThread counted;
        while (!stop.load(std::memory_order_acquire)) {
            const bool withMessages = sending.load(std::memory_order_acquire);
            const long before = testing::countedAllocations();
            engine.renderAudio(left.data(), right.data(), 128);
            const long made = testing::countedAllocations() - before;
            if (withMessages) {
                mostWithMessages = std::max(mostWithMessages, made);
            } else {
                silentFewest = silentFewest < 0 ? made : std::min(silentFewest, made);
                silentMost = std::max(silentMost, made);
            }
            mostVoices = std::max(mostVoices, engine.activeVoices());
            periods.fetch_add(1, std::memory_order_release);
        }
    });
    // Waits until the render thread has finished `count` more periods; the last began after the
    // call and applied everything sent before it (with no tuning waiting, it held the instance).
    const auto waitPeriods = [&periods](int count) {
        const int now = periods.load(std::memory_order_acquire);
        while (periods.load(std::memory_order_acquire) < now + count)
            std::this_thread::yield();
    };
    waitPeriods(8);
    sending.store(true, std::memory_order_release);
    waitPeriods(1);  // none counted as silent from now on
    // Fewer input messages than the input ring holds, however slowly the render thread runs.
    constexpr int kRounds = 16;
    for (int round = 0; round < kRounds; ++round) {
        const auto r = static_cast<std::uint8_t>(round);
        // A reset and the channel messages first, applied by the render thread (the reset lets
        // go of the channels' tunings) ...
        EXPECT_TRUE(engine.sendExclusive(kGmSystemOn));
        for (const PackedMessage m : channelMessages(r, 2))
            engine.sendFromOwner(m);
        for (const PackedMessage m : channelMessages(r, 3))
            engine.sendFromInput(m, 0);
        waitPeriods(2);
        // ... then the tunings, which the worker takes between two periods.
        for (const auto& tuning : tuningMessages(r))
            EXPECT_TRUE(engine.sendExclusive(tuning));
        engine.waitForTuning();
    }
    waitPeriods(2);
    stop.store(true, std::memory_order_release);
    render.join();

    EXPECT_EQ(silentFewest, silentMost) << "rendering alone allocates the same in every period";
    EXPECT_LE(mostWithMessages, 2 * silentMost) << "rendering alone allocates " << silentMost;
    EXPECT_GT(mostVoices, 0) << "the notes sounded";
    EXPECT_EQ(engine.droppedMessages(), 0u);
}

}  // namespace
}  // namespace tarvelo::synth
