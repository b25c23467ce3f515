#include "ui/main/key_note_map.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace tarvelo::ui {
namespace {

TEST(KeyNoteMapSlots, FiveRangesMapOntoSlotsZeroToFortySeven) {
    const KeyNoteMap map;
    EXPECT_EQ(map.keySlot(0x41), 0);   // A
    EXPECT_EQ(map.keySlot(0x5A), 25);  // Z
    EXPECT_EQ(map.keySlot(0x30), 26);  // 0
    EXPECT_EQ(map.keySlot(0x39), 35);  // 9
    EXPECT_EQ(map.keySlot(0xBA), 36);
    EXPECT_EQ(map.keySlot(0xC0), 42);
    EXPECT_EQ(map.keySlot(0xDB), 43);
    EXPECT_EQ(map.keySlot(0xDE), 46);
    EXPECT_EQ(map.keySlot(0xE2), 47);
}

TEST(KeyNoteMapSlots, CodesJustOutsideTheRangesHaveNoSlot) {
    const KeyNoteMap map;
    for (const int code :
         {0x00, 0x10, 0x2F, 0x3A, 0x40, 0x5B, 0xB9, 0xC1, 0xDA, 0xDF, 0xE1, 0xE3, 0xFF, -1, 256}) {
        EXPECT_EQ(map.keySlot(code), -1) << code;
    }
}

TEST(KeyNoteMapSlots, EveryCodeHasItsOwnSlot) {
    const KeyNoteMap map;
    std::set<int> slots;
    int codes = 0;
    for (int code = 0; code < 256; ++code) {
        const int slot = map.keySlot(code);
        if (slot < 0)
            continue;
        ++codes;
        slots.insert(slot);
        EXPECT_LT(slot, 48);
    }
    EXPECT_EQ(codes, 48);
    EXPECT_EQ(slots.size(), 48u);
}

TEST(KeyNoteMapLayout, NothingPlaysBeforeTheLayoutIsFilled) {
    const KeyNoteMap map;
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(map.noteForKey(code), KeyNoteMap::kNoNote) << code;
}

TEST(KeyNoteMapLayout, DefaultLayoutPlaysTheJapaneseKeyboardAsAPiano) {
    KeyNoteMap map;
    map.fillDefaultLayout();
    const std::map<int, int> expected{
        {0x41, 54}, {0x5A, 55}, {0x53, 56}, {0x58, 57}, {0x44, 58}, {0x43, 59}, {0x56, 60},
        {0x47, 61}, {0x42, 62}, {0x48, 63}, {0x4E, 64}, {0x4D, 65}, {0x4B, 66}, {0xBC, 67},
        {0x4C, 68}, {0xBE, 69}, {0xBB, 70}, {0xBF, 71}, {0xE2, 72}, {0xDD, 73}, {0x31, 73},
        {0x51, 74}, {0x32, 75}, {0x57, 76}, {0x45, 77}, {0x34, 78}, {0x52, 79}, {0x35, 80},
        {0x54, 81}, {0x36, 82}, {0x59, 83}, {0x55, 84}, {0x38, 85}, {0x49, 86}, {0x39, 87},
        {0x4F, 88}, {0x50, 89}, {0xBD, 90}, {0xC0, 91}, {0xDE, 92}, {0xDB, 93}, {0xDC, 94},
    };
    for (int code = 0; code < 256; ++code) {
        const auto found = expected.find(code);
        const int note = found == expected.end() ? KeyNoteMap::kNoNote : found->second;
        EXPECT_EQ(map.noteForKey(code), note) << std::hex << code;
    }
}

TEST(KeyNoteMapLayout, LetterRowsAreWhiteKeysAndTheRowsAboveThemBlackKeys) {
    KeyNoteMap map;
    map.fillDefaultLayout();
    const auto isBlack = [](int note) {
        const int pc = note % 12;
        return pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10;
    };
    // Z row and Q row.
    for (const int code : {0x5A, 0x58, 0x43, 0x56, 0x42, 0x4E, 0x4D, 0xBC, 0xBE, 0xBF, 0xE2, 0x51,
                           0x57, 0x45, 0x52, 0x54, 0x59, 0x55, 0x49, 0x4F, 0x50, 0xC0, 0xDB}) {
        EXPECT_FALSE(isBlack(map.noteForKey(code))) << std::hex << code;
    }
    // A row and digit row, where a black key has one.
    for (const int code : {0x41, 0x53, 0x44, 0x47, 0x48, 0x4B, 0x4C, 0xBB, 0xDD, 0x31, 0x32, 0x34,
                           0x35, 0x36, 0x38, 0x39, 0xBD, 0xDE, 0xDC}) {
        EXPECT_TRUE(isBlack(map.noteForKey(code))) << std::hex << code;
    }
}

TEST(KeyNoteMapLayout, KeysBetweenBlackKeyGroupsPlayNothing) {
    KeyNoteMap map;
    map.fillDefaultLayout();
    for (const int code : {0x46, 0x4A, 0x33, 0x37, 0x30, 0xBA})  // F J 3 7 0 :
        EXPECT_EQ(map.noteForKey(code), KeyNoteMap::kNoNote) << std::hex << code;
}

TEST(KeyNoteMapHeld, HeldMarkIsReadAndWrittenPerKey) {
    KeyNoteMap map;
    map.fillDefaultLayout();
    bool held = true;
    EXPECT_EQ(map.noteForKey(0x56, &held), 60);
    EXPECT_FALSE(held);

    EXPECT_EQ(map.setKeyHeld(0x56, true), map.keySlot(0x56));
    EXPECT_EQ(map.noteForKey(0x56, &held), 60);
    EXPECT_TRUE(held);
    EXPECT_TRUE(map.isSlotHeld(map.keySlot(0x56)));
    EXPECT_FALSE(map.isSlotHeld(map.keySlot(0x43)));

    map.setKeyHeld(0x56, false);
    map.noteForKey(0x56, &held);
    EXPECT_FALSE(held);
}

TEST(KeyNoteMapHeld, KeyWithoutSlotLeavesTheHeldFlagAlone) {
    KeyNoteMap map;
    map.fillDefaultLayout();
    bool held = true;
    EXPECT_EQ(map.noteForKey(0x10, &held), KeyNoteMap::kNoNote);
    EXPECT_TRUE(held);
    held = false;
    EXPECT_EQ(map.setKeyHeld(0x10, true), -1);
    EXPECT_EQ(map.noteForKey(0x10, &held), KeyNoteMap::kNoNote);
    EXPECT_FALSE(held);
}

TEST(KeyNoteMapHeld, KeyThatPlaysNothingStillKeepsAHeldMark) {
    KeyNoteMap map;
    map.fillDefaultLayout();
    map.setKeyHeld(0x46, true);  // F
    bool held = false;
    EXPECT_EQ(map.noteForKey(0x46, &held), KeyNoteMap::kNoNote);
    EXPECT_TRUE(held);
}

TEST(KeyNoteMapHeld, ClearHeldReleasesEveryKey) {
    KeyNoteMap map;
    map.setKeyHeld(0x41, true);
    map.setKeyHeld(0xE2, true);
    map.clearHeld();
    for (int slot = 0; slot < KeyNoteMap::kSlotCount; ++slot)
        EXPECT_FALSE(map.isSlotHeld(slot));
}

}  // namespace
}  // namespace tarvelo::ui
