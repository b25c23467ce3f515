#include "ui/initmsg/init_message_text.h"

#include <gtest/gtest.h>

#include "ui/initmsg/dialog_units.h"

namespace tarvelo::ui {
namespace {

InitialMessage message(int type, int status, int data1, int data2) {
    InitialMessage m;
    m.type = type;
    m.status = status;
    m.data1 = data1;
    m.data2 = data2;
    return m;
}

InitialMessage sysex(std::vector<std::uint8_t> bytes) {
    InitialMessage m = message(5, 0xF0, -1, -1);
    m.sysexLength = static_cast<std::int32_t>(bytes.size());
    m.sysexData = std::move(bytes);
    return m;
}

TEST(InitMessageRowText, ChannelKindsShowTheirStatusOnThePartsChannelOthersAsStored) {
    const auto noteOn = rowTexts(message(0, 0x90, 60, 100), "Note On", 3, true);
    EXPECT_EQ(noteOn[kColumnS], "●");
    EXPECT_EQ(noteOn[kColumnType], "Note On");
    EXPECT_EQ(noteOn[kColumnStatus], "93h");
    EXPECT_EQ(rowTexts(message(0, 0x90, 60, 100), "", 3, false)[kColumnStatus], "147");
    EXPECT_EQ(rowTexts(message(1, 0xB0, 7, 100), "", 15, true)[kColumnStatus], "BFh");
    EXPECT_EQ(rowTexts(message(6, 0x90, 60, 100), "", 3, true)[kColumnStatus], "90h");
    EXPECT_EQ(rowTexts(message(-1, 0x90, 60, 100), "", 3, true)[kColumnStatus], "90h");
}

TEST(InitMessageRowText, SCellMarksWhatTheDeviceLayerWouldNotSend) {
    struct Case {
        InitialMessage message;
        int channel;
        bool sent;
    };
    const Case cases[] = {
        {message(0, 0x90, 60, 100), 3, true},
        {message(0, 0x90, 60, 0x80), 3, false},  // velocity read as a status
        {message(0, 0xC0, 5, 0xFF), 0, true},    // a program change has no second byte
        {message(6, 0x70, 1, 2), 0, false},      // no status byte
        {message(0, 0x70, 1, 2), 0x0F, false},   // 7Fh on the Part's channel: still none
        {message(0, 0x7F, 1, 2), 1, true},       // 80h on the Part's channel: a note off
        {message(7, 0xF0, 1, 2), 0, false},      // exclusive start as a short message
        {sysex({0xF0, 0x80, 0xF7}), 0, true},    // exclusive bytes go out as typed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "status " << c.message.status << " data "
                                        << c.message.data1 << "," << c.message.data2);
        EXPECT_EQ(rowTexts(c.message, "", c.channel, true)[kColumnS], c.sent ? "●" : "×");
        EXPECT_EQ(unsendableReason(c.message, c.channel).empty(), c.sent);
    }
}

TEST(InitMessageRowText, DataBytesShowADashForNoneAndZeroAsANumber) {
    const auto hex = rowTexts(message(0, 0xC0, -1, 0), "", 0, true);
    EXPECT_EQ(hex[kColumnData1], "-");
    EXPECT_EQ(hex[kColumnData2], "0h");
    const auto dec = rowTexts(message(0, 0xC0, 144, 0), "", 0, false);
    EXPECT_EQ(dec[kColumnData1], "144");
    EXPECT_EQ(dec[kColumnData2], "0");
    EXPECT_EQ(rowTexts(message(0, 0xC0, 144, -1), "", 0, true)[kColumnData1], "90h");
}

TEST(InitMessageRowText, ExclusiveBytesEachFollowedByASpaceOrThePromptWhenThereAreNone) {
    const InitialMessage m = sysex({0xF0, 0x41, 0xF7});
    EXPECT_EQ(rowTexts(m, "", 0, true)[kColumnData2], "F0h 41h F7h ");
    EXPECT_EQ(rowTexts(m, "", 0, false)[kColumnData2], "240 65 247 ");
    EXPECT_EQ(rowTexts(sysex({}), "", 0, true)[kColumnData2], "#ここにデータを入力");
    InitialMessage negative = sysex({});
    negative.sysexLength = -3;
    EXPECT_EQ(rowTexts(negative, "", 0, true)[kColumnData2], "#ここにデータを入力");
}

TEST(InitMessageCaption, NamesPartDeviceAndTheStoredChannel) {
    EXPECT_EQ(initDialogCaption("Part1", "Out0", 0), "初期情報 (Part1,Out0,Ch0)");
    EXPECT_EQ(initDialogCaption("ピアノ", "", 15), "初期情報 (ピアノ,,Ch15)");
}

TEST(CellEditParse, CommentIsCutOffAtTheFirstHashAndKeptWhole) {
    const CellEdit edit = parseCellEdit("7F #vol #2", true, false);
    EXPECT_EQ(edit.error, CellEditError::None);
    EXPECT_EQ(edit.value, 127);
    EXPECT_EQ(edit.comment, "#vol #2");
    EXPECT_EQ(parseCellEdit("#ここにデータを入力", true, true).error, CellEditError::Invalid);
}

TEST(CellEditParse, OnlyTheLastNumberCountsForASingleByte) {
    const CellEdit edit = parseCellEdit("1 2 3", false, false);
    EXPECT_EQ(edit.error, CellEditError::None);
    EXPECT_EQ(edit.value, 3);
    EXPECT_EQ(parseCellEdit("300 3", false, false).error, CellEditError::None);
    EXPECT_EQ(parseCellEdit("3 300", false, false).error, CellEditError::OutOfRange);
}

TEST(CellEditParse, InvalidTextAndOutOfRangeNumbersAreTold) {
    EXPECT_EQ(parseCellEdit("F0,41", true, true).error, CellEditError::Invalid);
    EXPECT_EQ(parseCellEdit("-5", false, false).error, CellEditError::Invalid);
    EXPECT_EQ(parseCellEdit("10h", false, false).error, CellEditError::Invalid);
    EXPECT_EQ(parseCellEdit("  ", true, false).error, CellEditError::Invalid);
    EXPECT_EQ(parseCellEdit("100", true, false).error, CellEditError::OutOfRange);
    EXPECT_EQ(parseCellEdit("256", false, false).error, CellEditError::OutOfRange);
    EXPECT_EQ(parseCellEdit("255", false, false).error, CellEditError::None);
    EXPECT_EQ(parseCellEdit("0x10", false, false).value, 16);
}

TEST(CellEditParse, EveryExclusiveByteMustBeInRangeNotOnlyTheLast) {
    EXPECT_EQ(parseCellEdit("F0 141 F7", true, true).error, CellEditError::OutOfRange);
    EXPECT_EQ(parseCellEdit("240 256 247", false, true).error, CellEditError::OutOfRange);
    EXPECT_EQ(parseCellEdit("F0 41 F7", true, true).error, CellEditError::None);
}

TEST(CellEditStore, ExclusiveBytesAreStoredAsTypedAndShownInTheCurrentFormat) {
    InitialMessage m = sysex({});
    const CellEdit edit = parseCellEdit("F0 41 10 42 12 40 00 7F 00 41 F7 #GS reset", true, true);
    ASSERT_EQ(edit.error, CellEditError::None);
    const std::string shown = storeCellEdit(m, kColumnData2, edit, true);
    const std::vector<std::uint8_t> expected{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40,
                                             0x00, 0x7F, 0x00, 0x41, 0xF7};
    EXPECT_EQ(m.sysexData, expected);
    EXPECT_EQ(m.sysexLength, 11);
    EXPECT_EQ(shown, "F0h 41h 10h 42h 12h 40h 0h 7Fh 0h 41h F7h  #GS reset");

    // What the cell then shows reads back to the same bytes in either mode.
    for (const bool hex : {true, false}) {
        const std::string cell = rowTexts(m, "", 0, hex)[kColumnData2];
        InitialMessage again = sysex({});
        storeCellEdit(again, kColumnData2, parseCellEdit(cell, hex, true), hex);
        EXPECT_EQ(again.sysexData, expected) << cell;
    }
}

TEST(CellEditStore, DataCellsTakeTheLastNumberAndDropAnyExclusiveBytes) {
    InitialMessage m = message(0, 0x90, 60, 100);
    m.sysexData = {1, 2};
    m.sysexLength = 2;
    EXPECT_EQ(storeCellEdit(m, kColumnData2, parseCellEdit("7F #vol", true, false), true),
              "7Fh #vol");
    EXPECT_EQ(m.data2, 127);
    EXPECT_TRUE(m.sysexData.empty());
    EXPECT_EQ(m.sysexLength, 0);
    EXPECT_EQ(storeCellEdit(m, kColumnData1, parseCellEdit("1 2 3", false, false), false), "3 ");
    EXPECT_EQ(m.data1, 3);
    EXPECT_EQ(m.data2, 127);
}

TEST(DialogUnits, ConvertEachFieldRoundingHalfAwayFromZero) {
    const DialogBaseUnits base{6, 13};
    const DialogUnitRect px = toPixels({391, 132, 51, 14}, base);
    EXPECT_EQ(px.x, 587);  // 586.5 rounds up
    EXPECT_EQ(px.y, 215);  // 214.5 rounds up
    EXPECT_EQ(px.width, 77);
    EXPECT_EQ(px.height, 23);
}

}  // namespace
}  // namespace tarvelo::ui
