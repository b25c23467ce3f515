#include "ui/main/band_selection.h"

#include <gtest/gtest.h>

namespace tarvelo::ui {
namespace {

TEST(BandSelection, ToggleKeepsEntriesSortedAndMakesTheAddedBandCurrent) {
    BandSelection s;
    s.toggle(3);
    s.toggle(1);
    EXPECT_EQ(s.entries(), (std::vector<int>{1, 3}));
    EXPECT_EQ(s.current(), 1);
    EXPECT_EQ(s.entry(1), 3);
    s.toggle(3);
    EXPECT_EQ(s.entries(), std::vector<int>{1});
    EXPECT_EQ(s.current(), 1);
}

TEST(BandSelection, RemovingMakesTheLowestRemainingEntryCurrent) {
    BandSelection s;
    s.toggle(2);
    s.toggle(4);
    s.toggle(5);
    s.toggle(5);
    EXPECT_EQ(s.current(), 2);
}

TEST(BandSelection, RemovingTheOnlyEntryKeepsTheCurrentBand) {
    BandSelection s;
    s.toggle(2);
    s.toggle(2);
    EXPECT_EQ(s.count(), 0);
    EXPECT_EQ(s.current(), 2);
    EXPECT_FALSE(s.contiguous());
}

TEST(BandSelection, ContiguousNeedsARunOfTwoOrMore) {
    BandSelection s;
    s.toggle(1);
    EXPECT_FALSE(s.contiguous());
    s.toggle(3);
    EXPECT_FALSE(s.contiguous());
    s.toggle(2);
    EXPECT_TRUE(s.contiguous());
    s.clear();
    EXPECT_EQ(s.count(), 0);
    EXPECT_EQ(s.current(), 0);
}

}  // namespace
}  // namespace tarvelo::ui
