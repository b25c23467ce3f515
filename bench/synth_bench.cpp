// What the built-in synthesizer costs per period: 32 voices sounding, 64 frames a period, as a
// JACK process callback would ask for them. Also counts the heap allocations made while rendering
// and while notes start and stop (FluidSynth preallocates its voices): the figure should be 0.
#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <string>

#include "midi/synth/synth_engine.h"

// Every allocation in the process passes here; it is counted while `counting` is up.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
}

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
void count() {
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* malloc(std::size_t size) {
    count();
    return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
    count();
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
    count();
    return __libc_realloc(p, size);
}
}

namespace tarvelo::synth {
namespace {

constexpr std::uint32_t kFrames = 64;
constexpr int kVoices = 32;

void renderPeriods(benchmark::State& state, const std::string& soundFont) {
    SynthEngine engine(soundFont, 48000);
    if (engine.waitUntilLoaded() != SynthEngine::State::Ready) {
        state.SkipWithError(("cannot load " + soundFont).c_str());
        return;
    }
    std::array<float, kFrames> left{};
    std::array<float, kFrames> right{};
    // Strings on four channels, eight keys each: long sustained voices.
    for (int channel = 0; channel < 4; ++channel)
        engine.sendFromOwner(packMessage(static_cast<std::uint8_t>(0xC0 | channel), 48, 0));
    engine.renderAudio(left.data(), right.data(), kFrames);

    counting.store(true);
    int key = 0;
    while (engine.activeVoices() < kVoices && key < 128) {
        engine.sendFromInput(packMessage(static_cast<std::uint8_t>(0x90 | (key % 4)),
                                         static_cast<std::uint8_t>(36 + key), 90),
                             static_cast<std::uint32_t>(key * 7 % kFrames));
        ++key;
        engine.renderAudio(left.data(), right.data(), kFrames);
    }
    const int voices = engine.activeVoices();
    for (auto _ : state) {
        engine.renderAudio(left.data(), right.data(), kFrames);
        benchmark::DoNotOptimize(left.data());
    }
    // Releases and new notes allocate nothing either.
    for (int k = 0; k < key; ++k) {
        engine.sendFromInput(packMessage(static_cast<std::uint8_t>(0x80 | (k % 4)),
                                         static_cast<std::uint8_t>(36 + k), 0),
                             0);
    }
    engine.renderAudio(left.data(), right.data(), kFrames);
    counting.store(false);

    state.counters["voices"] = voices;
    state.counters["allocations"] = static_cast<double>(allocations.exchange(0));
    state.counters["period_us_budget"] = 1e6 * kFrames / 48000.0;
    state.SetLabel(soundFont);
}

void BM_Period64Frames32VoicesSmallSoundFont(benchmark::State& state) {
    renderPeriods(state, "/usr/share/sounds/sf2/TimGM6mb.sf2");
}
void BM_Period64Frames32VoicesLargeSoundFont(benchmark::State& state) {
    renderPeriods(state, "/usr/share/sounds/sf2/FluidR3_GM.sf2");
}
BENCHMARK(BM_Period64Frames32VoicesSmallSoundFont)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Period64Frames32VoicesLargeSoundFont)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarvelo::synth

BENCHMARK_MAIN();
