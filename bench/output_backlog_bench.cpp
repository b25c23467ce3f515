// What one overflowing cycle costs the JACK process thread at an output: half a backlog of note
// ons waiting behind the buffer, then a flood of pitch bends over 16 channels that runs past the
// backlog's line by the given number of messages, then everything leaves. The cost of the cycle
// should grow with the flood in a straight line, not as its square.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "midi/backends/jack/output_backlog.h"

namespace tarvelo::jack {
namespace {

void BM_OverflowingCycle(benchmark::State& state) {
    auto backlog = std::make_unique<OutputBacklog>();
    constexpr std::size_t kHalf = OutputBacklog::kCapacity / 2;
    const auto beyond = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        for (std::size_t i = 0; i < kHalf; ++i)
            backlog->push(packMessage(0x90, static_cast<std::uint8_t>(i % 128), 100));
        for (std::size_t i = 0; i < kHalf + beyond; ++i) {
            backlog->push(packMessage(static_cast<std::uint8_t>(0xE0 | (i % 16)), 0,
                                      static_cast<std::uint8_t>(i % 128)));
        }
        for (; !backlog->empty(); backlog->popFront())
            benchmark::DoNotOptimize(backlog->front());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(2 * kHalf + beyond));
}
BENCHMARK(BM_OverflowingCycle)->Arg(0)->Arg(1024)->Arg(4096)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarvelo::jack

BENCHMARK_MAIN();
