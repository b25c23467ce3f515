#include "midi/drop_report.h"

#include <gtest/gtest.h>

namespace tarvelo {
namespace {

using namespace std::chrono_literals;

// A burst that keeps overflowing is reported once a second with what was lost since the report
// before; nothing lost in between is forgotten, and a quiet count reports nothing.
TEST(DropReport, ReportsAtMostOncePerIntervalWithWhatWasLostSince) {
    DropReport report(1s);
    const DropReport::Clock::time_point t0{};
    struct Step {
        DropReport::Clock::duration at;
        std::uint64_t total;
        std::uint64_t expected;
    };
    const Step steps[] = {
        {0ms, 0, 0},       // nothing lost yet
        {100ms, 5, 5},     // the first loss is told at once
        {400ms, 9, 0},     // too soon after it
        {900ms, 20, 0},    //
        {1100ms, 20, 15},  // a second on: all since the first report
        {1200ms, 20, 0},   // nothing new
        {5000ms, 20, 0},   // still nothing new, however long it is
        {5001ms, 21, 1},   // new after a quiet spell: told at once
    };
    for (const Step& s : steps)
        EXPECT_EQ(report.due(s.total, t0 + s.at), s.expected)
            << std::chrono::duration_cast<std::chrono::milliseconds>(s.at).count() << " ms";
}

}  // namespace
}  // namespace tarvelo
