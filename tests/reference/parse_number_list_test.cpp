#include "reference/parse_number_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace tarvelo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Parsed {
    bool ok;
    std::int32_t last;
    std::vector<std::int32_t> list;
};

Parsed parse(std::string_view text, bool hex) {
    Parsed parsed{false, -1, {}};
    parsed.last = ParseNumberList(text, hex, parsed.ok, parsed.list);
    return parsed;
}

TEST(ParseNumberListHex, ReadsSpaceSeparatedNumbersWithOrWithoutSuffixOrPrefix) {
    const Parsed parsed = parse("F0 41 10h 0x7F", true);
    EXPECT_TRUE(parsed.ok);
    EXPECT_THAT(parsed.list, ElementsAre(0xF0, 0x41, 0x10, 0x7F));
    EXPECT_EQ(parsed.last, 0x7F);
}

TEST(ParseNumberListHex, SuffixHEndsANumberWithoutSpace) {
    EXPECT_THAT(parse("10H20H", true).list, ElementsAre(0x10, 0x20));
}

TEST(ParseNumberListHex, DigitsWithoutSeparatorFormOneNumber) {
    EXPECT_THAT(parse("F041", true).list, ElementsAre(0xF041));
}

TEST(ParseNumberListHex, AcceptsLowerCaseAndSurroundingWhiteSpace) {
    const Parsed parsed = parse(" \t f7 0xab 7fh\r\n", true);
    EXPECT_TRUE(parsed.ok);
    EXPECT_THAT(parsed.list, ElementsAre(0xF7, 0xAB, 0x7F));
}

TEST(ParseNumberListHex, CommaFailsAfterTheNumbersBeforeIt) {
    const Parsed parsed = parse("F0,41", true);
    EXPECT_FALSE(parsed.ok);
    EXPECT_THAT(parsed.list, ElementsAre(0xF0));
    EXPECT_EQ(parsed.last, 0);
}

TEST(ParseNumberListHex, LoneHReadsAsZero) {
    const Parsed parsed = parse("H", true);
    EXPECT_TRUE(parsed.ok);
    EXPECT_THAT(parsed.list, ElementsAre(0));
}

TEST(ParseNumberListHex, SignIsRejected) {
    EXPECT_FALSE(parse("-5", true).ok);
    EXPECT_FALSE(parse("+5", true).ok);
}

TEST(ParseNumberListDecimal, ReadsNumbersAndHexPrefixedOnes) {
    const Parsed parsed = parse("240 65 0x10", false);
    EXPECT_TRUE(parsed.ok);
    EXPECT_THAT(parsed.list, ElementsAre(240, 65, 16));
    EXPECT_EQ(parsed.last, 16);
}

TEST(ParseNumberListDecimal, HexSuffixFails) {
    const Parsed parsed = parse("10h", false);
    EXPECT_FALSE(parsed.ok);
    EXPECT_THAT(parsed.list, ElementsAre(10));
}

TEST(ParseNumberListDecimal, MinusSignFailsWithoutReadingANumber) {
    const Parsed parsed = parse("-5", false);
    EXPECT_FALSE(parsed.ok);
    EXPECT_THAT(parsed.list, IsEmpty());
    EXPECT_EQ(parsed.last, 0);
}

TEST(ParseNumberListDecimal, HexLettersFail) {
    EXPECT_FALSE(parse("7F", false).ok);
}

TEST(ParseNumberList, EmptyOrBlankTextFailsAndLeavesTheListAlone) {
    for (const bool hex : {false, true}) {
        for (const std::string_view text : {"", "   ", "\t\r\n"}) {
            std::vector<std::int32_t> list{7};
            bool ok = true;
            EXPECT_EQ(ParseNumberList(text, hex, ok, list), 0);
            EXPECT_FALSE(ok);
            EXPECT_THAT(list, ElementsAre(7));
        }
    }
}

TEST(ParseNumberList, HexPrefixAloneReadsAsZero) {
    for (const bool hex : {false, true}) {
        const Parsed parsed = parse("0x", hex);
        EXPECT_TRUE(parsed.ok);
        EXPECT_THAT(parsed.list, ElementsAre(0));
    }
}

TEST(ParseNumberList, AppendsToWhatTheListAlreadyHolds) {
    std::vector<std::int32_t> list{1, 2};
    bool ok = false;
    ParseNumberList("3", false, ok, list);
    EXPECT_THAT(list, ElementsAre(1, 2, 3));
}

TEST(ParseNumberListOverflow, LargestInt32ValuesAreRead) {
    EXPECT_THAT(parse("2147483647", false).list, ElementsAre(2147483647));
    EXPECT_THAT(parse("7FFFFFFF", true).list, ElementsAre(2147483647));
    EXPECT_THAT(parse("000000000000041", true).list, ElementsAre(0x41));
}

TEST(ParseNumberListOverflow, NumberBeyondInt32FailsInsteadOfWrapping) {
    const Parsed hex = parse("100000041", true);
    EXPECT_FALSE(hex.ok);
    EXPECT_THAT(hex.list, IsEmpty());
    EXPECT_EQ(hex.last, 0);

    EXPECT_FALSE(parse("80000000", true).ok);
    EXPECT_FALSE(parse("FFFFFFFFh", true).ok);
    EXPECT_FALSE(parse("0x100000000", false).ok);
    EXPECT_FALSE(parse("2147483648", false).ok);
    EXPECT_FALSE(parse("4294967312", false).ok);
}

TEST(ParseNumberListOverflow, OverflowStopsTheList) {
    const Parsed parsed = parse("1 99999999999 2", false);
    EXPECT_FALSE(parsed.ok);
    EXPECT_THAT(parsed.list, ElementsAre(1));
}

}  // namespace
}  // namespace tarvelo
