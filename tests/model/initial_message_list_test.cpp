#include "model/initial_message_list.h"

#include <gtest/gtest.h>

#include "model/arrangement_file.h"

namespace tarvelo {
namespace {

InitialMessage exclusive(std::vector<std::uint8_t> bytes) {
    const auto n = static_cast<std::int32_t>(bytes.size());
    return InitialMessage{5, 0xF0, -1, -1, std::move(bytes), n};
}

TEST(InitialMessageList, SwapAndReplaceCarryTheExclusiveBytesWithTheirMessage) {
    InitialMessageList list;
    list.append(exclusive({}));
    list.append(InitialMessage{0, 0xB0, 7, 100, {}, 0});
    list.append(exclusive({0xF0, 1, 0xF7}));
    list.swap(0, 1);
    EXPECT_EQ(list.at(0)->status, 0xB0);
    EXPECT_TRUE(list.at(0)->sysexData.empty());
    EXPECT_EQ(list.at(1)->sysexLength, 0);
    EXPECT_TRUE(list.at(1)->sysexData.empty());

    list.swap(1, 2);
    EXPECT_EQ(list.at(1)->sysexData, (std::vector<std::uint8_t>{0xF0, 1, 0xF7}));
    list.replace(1, InitialMessage{1, 0xC0, 5, -1, {}, 0});
    EXPECT_TRUE(list.at(1)->sysexData.empty());
    EXPECT_EQ(list.at(1)->sysexLength, 0);
}

TEST(InitialMessageList, IndicesOutsideTheListChangeNothingExceptAppending) {
    InitialMessageList list;
    list.append(InitialMessage{0, 0xB0, 1, 2, {}, 0});
    const InitialMessageList before = list;
    list.replace(1, InitialMessage{});
    list.replace(-1, InitialMessage{});
    list.swap(0, 1);
    list.remove(1);
    list.remove(-1);
    EXPECT_EQ(list, before);
    EXPECT_EQ(list.at(1), nullptr);
    EXPECT_EQ(list.at(-1), nullptr);
    list.setOrAppend(5, InitialMessage{6, 0xF8, -1, -1, {}, 0});
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.at(1)->status, 0xF8);
}

TEST(InitialMessageList, RemovingTheLastMessageLeavesAPartThatSavesNoMessages) {
    StoredArrangement a;
    a.parts.push_back(StoredPart{});
    a.parts[0].messages.append(exclusive({0xF0, 0xF7}));
    a.parts[0].messages.remove(0);
    EXPECT_TRUE(a.parts[0].messages.empty());
    const auto bytes = encodeArrangement(a);
    // Header 16, empty input name 1, empty name 1, empty device 1, shift 4, four bytes 4.
    const std::vector<std::uint8_t> count(bytes.begin() + 27, bytes.begin() + 31);
    EXPECT_EQ(count, (std::vector<std::uint8_t>{0, 0, 0, 0}));
    const ArrangementReadResult back = decodeArrangement(bytes);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.arrangement->parts.size(), 1u);
    EXPECT_TRUE(back.arrangement->parts[0].messages.empty());
}

}  // namespace
}  // namespace tarvelo
