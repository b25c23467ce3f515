#include "midi/backends/jack/frame_merge.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace tarvelo::jack {
namespace {

// Events of one input as (frame, id).
struct FakeSource {
    std::vector<std::pair<unsigned, int>> events;
    std::size_t next = 0;
    bool hasEvent() const { return next < events.size(); }
    unsigned frame() const { return events[next].first; }
    void advance() { ++next; }
};

std::vector<int> merged(std::vector<FakeSource> sources) {
    std::vector<int> ids;
    visitInFrameOrder(std::span<FakeSource>(sources),
                      [&ids](FakeSource& s) { ids.push_back(s.events[s.next].second); });
    return ids;
}

TEST(FrameMerge, InterleavesInputsByFrameAndKeepsEachInputsOrder) {
    EXPECT_EQ(merged({FakeSource{{{0, 1}, {100, 2}, {200, 3}}}, FakeSource{{{50, 4}, {150, 5}}}}),
              (std::vector<int>{1, 4, 2, 5, 3}));
}

TEST(FrameMerge, EqualFramesGoToTheLowerInputFirstAndNothingIsLost) {
    EXPECT_EQ(merged({FakeSource{{{10, 1}, {10, 2}}}, FakeSource{{{10, 3}}}, FakeSource{}}),
              (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(merged({}).empty());
    EXPECT_TRUE(merged({FakeSource{}, FakeSource{}}).empty());
}

}  // namespace
}  // namespace tarvelo::jack
