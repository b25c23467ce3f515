#include "reference/midi_reference.h"

#include <gtest/gtest.h>

#include <string>

#include "reference/cp932.h"
#include "reference/reference_test_files.h"

namespace tarvelo {
namespace {

using reference_test::ReferenceFileTest;

MidiReference messagesFrom(std::string_view text, bool* loaded = nullptr) {
    MidiReference reference;
    const bool ok = reference.LoadMidiMessageReferenceFromText(text);
    if (loaded != nullptr) {
        *loaded = ok;
    }
    return reference;
}

MidiReference controllersFrom(std::string_view text) {
    MidiReference reference;
    EXPECT_TRUE(reference.LoadControlChangeReferenceFromText(text));
    return reference;
}

// --- Message file: count line and comments ---------------------------------------------------

TEST(MessageReferenceFile, OnlyCommentLinesFailWithAnEmptyTable) {
    bool loaded = true;
    const MidiReference reference = messagesFrom("# one\n#two\n#\n", &loaded);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(reference.messageCount(), 0);
}

TEST(MessageReferenceFile, EmptyFileFails) {
    bool loaded = true;
    messagesFrom("", &loaded);
    EXPECT_FALSE(loaded);
}

TEST(MessageReferenceFile, CountOfZeroOrAnEmptyFirstLineGivesAnEmptyTable) {
    for (const std::string_view text : {"0\nA,0,9n,3C,40\n", "\nA,0,9n,3C,40\n", "# c\n\n"}) {
        bool loaded = false;
        const MidiReference reference = messagesFrom(text, &loaded);
        EXPECT_TRUE(loaded) << text;
        EXPECT_EQ(reference.messageCount(), 0) << text;
    }
}

TEST(MessageReferenceFile, CountIsTheLeadingIntegerOfTheLine) {
    const std::string entries = "A,0,80,00,00\nB,0,90,00,00\nC,0,A0,00,00\n";
    EXPECT_EQ(messagesFrom("  +2 entries\n" + entries).messageCount(), 2);
    EXPECT_EQ(messagesFrom("x3\n" + entries).messageCount(), 0);
    EXPECT_EQ(messagesFrom("-1\n" + entries).messageCount(), 0);
}

TEST(MessageReferenceFile, CommentsAreOnlyRecognisedBeforeTheCountLine) {
    const MidiReference reference = messagesFrom("#c\n#d\n2\n#x,1,Bn,07,00\nB,0,9n,3C,40\n");
    ASSERT_EQ(reference.messageCount(), 2);
    EXPECT_EQ(reference.message(0).name, "");
    EXPECT_EQ(reference.message(1).name, "B");
}

TEST(MessageReferenceFile, FileEndingBeforeItsCountKeepsTheEntriesItHas) {
    bool loaded = false;
    const MidiReference reference = messagesFrom("5\nA,0,9n,3C,40\nB,0,8n,3C,40", &loaded);
    EXPECT_TRUE(loaded);
    ASSERT_EQ(reference.messageCount(), 2);
    EXPECT_EQ(reference.message(1).name, "B");
    EXPECT_EQ(reference.message(1).data2, 0x40);
}

TEST(MessageReferenceFile, HugeCountIsBoundedByTheLinesRead) {
    EXPECT_EQ(messagesFrom("99999999999\nA,0,9n,3C,40\n").messageCount(), 1);
    EXPECT_EQ(messagesFrom("2147483647\nA,0,9n,3C,40\n").messageCount(), 1);
}

TEST(MessageReferenceFile, LinesAfterTheCountedEntriesAreIgnored) {
    const MidiReference reference = messagesFrom("1\nA,0,9n,3C,40\nB,0,8n,3C,40\n");
    ASSERT_EQ(reference.messageCount(), 1);
    EXPECT_EQ(reference.message(0).name, "A");
}

// --- Message file: fields ---------------------------------------------------------------------

TEST(MessageReferenceFields, ControllerEntryWithoutSecondDataByte) {
    const MidiReference reference = messagesFrom("1\nA,1,Bn,07,-\n");
    ASSERT_EQ(reference.messageCount(), 1);
    const MessageReferenceEntry& entry = reference.message(0);
    EXPECT_EQ(entry.name, "A");
    EXPECT_EQ(entry.type, 1);
    EXPECT_EQ(entry.status, 0xB0);
    EXPECT_EQ(entry.data1, 0x07);
    EXPECT_EQ(entry.data2, MidiReference::kNoDataByte);
}

TEST(MessageReferenceFields, SystemExclusiveEntry) {
    const MessageReferenceEntry entry = messagesFrom("1\nS,5,F0,-,-\n").message(0);
    EXPECT_EQ(entry.name, "S");
    EXPECT_EQ(entry.type, 5);
    EXPECT_EQ(entry.status, 0xF0);
    EXPECT_EQ(entry.data1, MidiReference::kNoDataByte);
    EXPECT_EQ(entry.data2, MidiReference::kNoDataByte);
}

TEST(MessageReferenceFields, StatusAndDataAreTwoHexDigits) {
    const MidiReference reference = messagesFrom("3\nP,0,Cn,7F,-\nQ,6,F2,00,40\nR,0,E0n,10,99\n");
    EXPECT_EQ(reference.message(0).status, 0xC0);
    EXPECT_EQ(reference.message(0).data1, 0x7F);
    EXPECT_EQ(reference.message(1).status, 0xF2);
    EXPECT_EQ(reference.message(1).data2, 0x40);
    // Only the first two characters count, after the trailing n has become 0.
    EXPECT_EQ(reference.message(2).status, 0xE0);
    EXPECT_EQ(reference.message(2).data2, 0x99);
}

TEST(MessageReferenceFields, LowerCaseHexDigitGivesAWrongValue) {
    const MessageReferenceEntry entry = messagesFrom("1\nA,0,9n,0a,7f\n").message(0);
    EXPECT_EQ(entry.data1, 42);
    EXPECT_EQ(entry.data2, 7 * 16 + 47);
}

TEST(MessageReferenceFields, NothingIsTrimmed) {
    const MessageReferenceEntry entry = messagesFrom("1\n Note On ,0,9n,3C,40\n").message(0);
    EXPECT_EQ(entry.name, " Note On ");
}

TEST(MessageReferenceFields, CommaBeforeHashStoresAllFiveFields) {
    const MessageReferenceEntry entry = messagesFrom("1\nA,1,Bn,07,7F,#x\n").message(0);
    EXPECT_EQ(entry.data2, 0x7F);
}

TEST(MessageReferenceFields, HashInsideAFieldDropsThatField) {
    const MessageReferenceEntry fifth = messagesFrom("1\nA,1,Bn,07,7F#x\n").message(0);
    EXPECT_EQ(fifth.data1, 0x07);
    EXPECT_EQ(fifth.data2, MidiReference::kNoDataByte);

    const MessageReferenceEntry second = messagesFrom("1\nA,1#,Bn,07,7F\n").message(0);
    EXPECT_EQ(second.name, "A");
    EXPECT_EQ(second.type, 0);
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.data1, MidiReference::kNoDataByte);
}

TEST(MessageReferenceFields, ShortLineLeavesTheRestAtDefaults) {
    const MessageReferenceEntry entry = messagesFrom("1\nA,6\n").message(0);
    EXPECT_EQ(entry.name, "A");
    EXPECT_EQ(entry.type, 6);
    EXPECT_EQ(entry.data1, MidiReference::kNoDataByte);
    EXPECT_EQ(entry.data2, MidiReference::kNoDataByte);
}

TEST(MessageReferenceFields, CarriageReturnLineFeedReadsAsLineFeed) {
    const MidiReference reference = messagesFrom("#c\r\n2\r\nA,0,9n,3C,40\r\nB,0,8n,3C,-\r\n");
    ASSERT_EQ(reference.messageCount(), 2);
    EXPECT_EQ(reference.message(0).name, "A");
    EXPECT_EQ(reference.message(0).data2, 0x40);
    EXPECT_EQ(reference.message(1).data2, MidiReference::kNoDataByte);
}

// --- Long lines --------------------------------------------------------------------------------

TEST(MessageReferenceLines, LineOfMoreThan255CharactersIsReadAsTwoEntries) {
    const std::string longName(300, 'N');
    const MidiReference reference = messagesFrom("2\n" + longName + ",0,9n,3C,40\n");
    ASSERT_EQ(reference.messageCount(), 2);
    EXPECT_EQ(reference.message(0).name, std::string(255, 'N'));
    EXPECT_EQ(reference.message(0).data1, MidiReference::kNoDataByte);
    EXPECT_EQ(reference.message(1).name, std::string(45, 'N'));
    EXPECT_EQ(reference.message(1).status, 0x90);
    EXPECT_EQ(reference.message(1).data2, 0x40);
}

TEST(MessageReferenceLines, NewlineCountsTowardsTheLimit) {
    const std::string fits = std::string(242, 'N') + ",0,9n,3C,40";  // 253 characters
    ASSERT_EQ(fits.size(), 253u);
    const MidiReference one = messagesFrom("2\n" + fits + "\nB,0,8n,3C,40\n");
    ASSERT_EQ(one.messageCount(), 2);
    EXPECT_EQ(one.message(0).data2, 0x40);
    EXPECT_EQ(one.message(1).name, "B");

    // 255 characters before the newline: the newline alone is read as the next entry.
    const std::string tooLong = std::string(244, 'N') + ",0,9n,3C,40";
    const MidiReference two = messagesFrom("2\n" + tooLong + "\nB,0,8n,3C,40\n");
    ASSERT_EQ(two.messageCount(), 2);
    EXPECT_EQ(two.message(0).data2, 0x40);
    EXPECT_EQ(two.message(1).name, "");
}

TEST(MessageReferenceLines, CarriageReturnOfALineEndDoesNotCountTowardsTheLimit) {
    const std::string line = std::string(243, 'N') + ",0,9n,3C,40";  // 254 + LF = 255
    const MidiReference reference = messagesFrom("2\r\n" + line + "\r\nB,0,8n,3C,40\r\n");
    ASSERT_EQ(reference.messageCount(), 2);
    EXPECT_EQ(reference.message(1).name, "B");
}

TEST(MessageReferenceLines, RemainderOfALongCommentLineIsTheCountLine) {
    const std::string comment = "#" + std::string(254, 'c') + "2";
    const MidiReference reference = messagesFrom(comment + "\n1\nA,0,9n,3C,40\n");
    ASSERT_EQ(reference.messageCount(), 2);
    EXPECT_EQ(reference.message(0).name, "1");
    EXPECT_EQ(reference.message(1).name, "A");
}

TEST(MessageReferenceLines, NulByteEndsTheLineText) {
    static constexpr char kText[] = "2\nAB\0CD,0,9n,3C,40\nE,0,8n,3C,40\n";
    const MidiReference reference = messagesFrom(std::string_view(kText, sizeof kText - 1));
    ASSERT_EQ(reference.messageCount(), 2);
    EXPECT_EQ(reference.message(0).name, "AB");
    EXPECT_EQ(reference.message(0).type, 0);
    EXPECT_EQ(reference.message(1).name, "E");
}

// --- Names ------------------------------------------------------------------------------------

TEST(MessageNames, EmptyTableNamesEverythingUnknown) {
    const MidiReference reference;
    EXPECT_EQ(reference.GetMessageName(0, 0x90, 0), "Unknown Message");
    EXPECT_EQ(reference.messageCount(), 0);
    EXPECT_EQ(reference.controllerCount(), 0);
}

TEST(MessageNames, GenericControlChangeIgnoresTheController) {
    const MidiReference reference = messagesFrom("2\nCC,0,Bn,00,00\nVol,1,Bn,07,64\n");
    EXPECT_EQ(reference.GetMessageName(0, 0xB0, 0x07), "CC");
    EXPECT_EQ(reference.GetMessageName(0, 0xB0, 0x55), "CC");
}

TEST(MessageNames, NamedControllerMatchesItsControllerNumber) {
    const MidiReference reference =
        messagesFrom("3\nCC,0,Bn,00,00\nVol,1,Bn,07,64\nPan,1,Bn,0A,40\n");
    EXPECT_EQ(reference.GetMessageName(1, 0xB0, 0x07), "Vol");
    EXPECT_EQ(reference.GetMessageName(1, 0xB0, 0x0A), "Pan");
    EXPECT_EQ(reference.GetMessageName(1, 0xB0, 0x0B), "Unknown Message");
}

TEST(MessageNames, OtherTypeOneMessagesMatchOnStatusAlone) {
    const MidiReference reference = messagesFrom("1\nPC,1,Cn,05,-\n");
    EXPECT_EQ(reference.GetMessageName(1, 0xC0, 0x33), "PC");
}

TEST(MessageNames, FirstOfTwoEntriesWithTheSameTypeAndStatusNamesTheMessage) {
    const MidiReference reference = messagesFrom("2\nFirst,0,9n,3C,40\nSecond,0,9n,40,40\n");
    EXPECT_EQ(reference.messageCount(), 2);
    EXPECT_EQ(reference.GetMessageName(0, 0x90, 0x40), "First");
}

TEST(MessageNames, TypeAndStatusMustBothMatch) {
    const MidiReference reference = messagesFrom("2\nOn,0,9n,3C,40\nSysEx,5,F0,-,-\n");
    EXPECT_EQ(reference.GetMessageName(1, 0x90, 0x3C), "Unknown Message");
    EXPECT_EQ(reference.GetMessageName(0, 0xF0, 0), "Unknown Message");
    EXPECT_EQ(reference.GetMessageName(5, 0xF0, 0), "SysEx");
}

TEST(MessageNames, EntryOutsideTheTableThrows) {
    const MidiReference reference = messagesFrom("1\nOn,0,9n,3C,40\n");
    EXPECT_THROW(reference.message(1), std::out_of_range);
    EXPECT_THROW(reference.message(-1), std::out_of_range);
    EXPECT_THROW(reference.controller(0), std::out_of_range);
}

// --- Controller file ----------------------------------------------------------------------------

std::string controllerLines(int count) {
    std::string text;
    for (int n = 0; n < count; ++n) {
        text += "C" + std::to_string(n) + "," + std::to_string(n) + ",0,t\n";
    }
    return text;
}

TEST(ControllerReferenceFile, LineGivesNameNumbersAndText) {
    const MidiReference reference = controllersFrom("B,1,2,C\n");
    ASSERT_EQ(reference.controllerCount(), 128);
    const ControllerReferenceEntry& entry = reference.controller(0);
    EXPECT_EQ(entry.name, "B");
    EXPECT_EQ(entry.extraNumber1, 1);
    EXPECT_EQ(entry.extraNumber2, 2);
    EXPECT_EQ(entry.extraText, "C");
}

TEST(ControllerReferenceFile, LinesAfterThe128thAreIgnored) {
    const MidiReference reference = controllersFrom(controllerLines(130));
    ASSERT_EQ(reference.controllerCount(), 128);
    EXPECT_EQ(reference.controller(127).name, "C127");
    EXPECT_THROW(reference.controller(128), std::out_of_range);
}

TEST(ControllerReferenceFile, ShortFileLeavesTheRemainingControllersUnnamed) {
    const MidiReference reference = controllersFrom(controllerLines(100));
    ASSERT_EQ(reference.controllerCount(), 128);
    EXPECT_EQ(reference.controller(99).name, "C99");
    EXPECT_EQ(reference.controller(100).name, "");
    EXPECT_EQ(reference.controller(127).name, "");
}

TEST(ControllerReferenceFile, EmptyFileLoadsWith128UnnamedControllers) {
    const MidiReference reference = controllersFrom("");
    ASSERT_EQ(reference.controllerCount(), 128);
    EXPECT_EQ(reference.controller(0).name, "");
}

TEST(ControllerReferenceFile, HashIsAnOrdinaryCharacter) {
    const ControllerReferenceEntry entry = controllersFrom("#1 Mod,1,0,a#b\n").controller(0);
    EXPECT_EQ(entry.name, "#1 Mod");
    EXPECT_EQ(entry.extraText, "a#b");
}

TEST(ControllerReferenceFile, AnythingAfterTheFourthFieldIsIgnored) {
    const ControllerReferenceEntry entry = controllersFrom("N,1,2,T,more,x\n").controller(0);
    EXPECT_EQ(entry.extraText, "T");
}

TEST(ControllerReferenceFile, LongTextIsCutTo127Bytes) {
    const std::string text(200, 't');
    const ControllerReferenceEntry entry = controllersFrom("N,1,2," + text + "\n").controller(0);
    EXPECT_EQ(entry.extraText, std::string(127, 't'));
}

TEST(ControllerReferenceFile, LongLineRemainderBecomesTheNextController) {
    const std::string line = "N,1,2," + std::string(260, 't') + "\nNext,3,4,x\n";
    const MidiReference reference = controllersFrom(line);
    EXPECT_EQ(reference.controller(0).extraText.size(), 127u);
    EXPECT_EQ(reference.controller(1).name, std::string(11, 't'));
    EXPECT_EQ(reference.controller(2).name, "Next");
}

// --- Loading from files -------------------------------------------------------------------------

class ReferenceFileLoading : public ReferenceFileTest {};

TEST_F(ReferenceFileLoading, MissingFilesFailWithEmptyTables) {
    MidiReference reference;
    EXPECT_FALSE(reference.LoadMidiMessageReference(dir() / "absent.mdr"));
    EXPECT_FALSE(reference.LoadControlChangeReference(dir() / "absent.mdr"));
    EXPECT_FALSE(reference.LoadMidiMessageReference(dir()));
    EXPECT_EQ(reference.messageCount(), 0);
    EXPECT_EQ(reference.controllerCount(), 0);
}

TEST_F(ReferenceFileLoading, ReloadReplacesTheTableAndAFailedReloadEmptiesIt) {
    MidiReference reference;
    ASSERT_TRUE(
        reference.LoadMidiMessageReference(writeFile("a.mdr", "2\nA,0,9n,3C,40\nB,0,8n,3C,40\n")));
    ASSERT_TRUE(reference.LoadMidiMessageReference(writeFile("b.mdr", "1\nC,0,Cn,00,-\n")));
    ASSERT_EQ(reference.messageCount(), 1);
    EXPECT_EQ(reference.message(0).name, "C");

    ASSERT_TRUE(reference.LoadControlChangeReference(writeFile("cc.mdr", "Mod,1,0,x\n")));
    EXPECT_FALSE(reference.LoadMidiMessageReference(dir() / "absent.mdr"));
    EXPECT_EQ(reference.messageCount(), 0);
    EXPECT_EQ(reference.GetMessageName(0, 0xC0, 0), "Unknown Message");
    EXPECT_EQ(reference.controller(0).name, "Mod");

    EXPECT_FALSE(reference.LoadControlChangeReference(dir() / "absent.mdr"));
    EXPECT_EQ(reference.controllerCount(), 0);
}

TEST_F(ReferenceFileLoading, Utf8NamesAreKeptAsTheyStand) {
    MidiReference reference;
    ASSERT_TRUE(reference.LoadMidiMessageReference(writeFile(
        "m.mdr", "# メッセージ\n2\nノートオン,0,9n,3C,40\nシステムエクスクルーシブ,5,F0,-,-\n")));
    ASSERT_EQ(reference.messageCount(), 2);
    EXPECT_EQ(reference.message(0).name, "ノートオン");
    EXPECT_EQ(reference.GetMessageName(5, 0xF0, 0), "システムエクスクルーシブ");

    ASSERT_TRUE(
        reference.LoadControlChangeReference(writeFile("c.mdr", "モジュレーション,1,0,説明\n")));
    EXPECT_EQ(reference.controller(0).name, "モジュレーション");
    EXPECT_EQ(reference.controller(0).extraText, "説明");
}

TEST_F(ReferenceFileLoading, Utf8ByteOrderMarkIsSkipped) {
    MidiReference reference;
    ASSERT_TRUE(reference.LoadMidiMessageReference(
        writeFile("m.mdr", "\xEF\xBB\xBF# comment\n1\nA,0,9n,3C,40\n")));
    EXPECT_EQ(reference.messageCount(), 1);
    ASSERT_TRUE(
        reference.LoadControlChangeReference(writeFile("c.mdr", "\xEF\xBB\xBFMod,1,0,x\n")));
    EXPECT_EQ(reference.controller(0).name, "Mod");
}

TEST_F(ReferenceFileLoading, Cp932NamesAreConvertedToUtf8) {
    // 音色, ピアノ and 表 (whose second byte is a backslash) in code page 932.
    MidiReference reference;
    ASSERT_TRUE(reference.LoadMidiMessageReference(
        writeFile("m.mdr",
                  "#\x89\xb9\x90\x46\r\n2\r\n\x83\x73\x83\x41\x83\x6d,0,Cn,00,-\r\n"
                  "\x95\x5c,6,F6,-,-\r\n")));
    ASSERT_EQ(reference.messageCount(), 2);
    EXPECT_EQ(reference.message(0).name, "ピアノ");
    EXPECT_EQ(reference.message(0).status, 0xC0);
    EXPECT_EQ(reference.message(1).name, "表");

    ASSERT_TRUE(reference.LoadControlChangeReference(
        writeFile("c.mdr", "\x89\xb9\x90\x46,1,0,\x87\x40\xfb\xfc\r\n")));
    EXPECT_EQ(reference.controller(0).name, "音色");
    EXPECT_EQ(reference.controller(0).extraText, "①髙");
}

TEST_F(ReferenceFileLoading, Cp932NameGrowingBeyondTheLimitIsCutAtACharacter) {
    // 127 two-byte characters fit one line but take 381 bytes in UTF-8.
    std::string cp932Name;
    std::string utf8Name;
    for (int i = 0; i < 127; ++i) {
        cp932Name += "\x89\xb9";
        utf8Name += "音";
    }
    MidiReference reference;
    ASSERT_TRUE(reference.LoadMidiMessageReference(writeFile("m.mdr", "1\n" + cp932Name + "\n")));
    const std::string& name = reference.message(0).name;
    EXPECT_EQ(name.size(), 255u);
    EXPECT_EQ(name, utf8Name.substr(0, 255));
}

TEST_F(ReferenceFileLoading, Utf8CharacterSplitByALongLineBecomesReplacementCharacters) {
    std::string line = "a";
    for (int i = 0; i < 100; ++i) {
        line += "あ";
    }
    MidiReference reference;
    ASSERT_TRUE(reference.LoadMidiMessageReference(writeFile("m.mdr", "2\n" + line + "\n")));
    ASSERT_EQ(reference.messageCount(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(isValidUtf8(reference.message(i).name));
        EXPECT_LE(reference.message(i).name.size(), MidiReference::kMaxNameBytes);
    }
    EXPECT_EQ(reference.message(0).name.substr(0, 4), "aあ");
    EXPECT_NE(reference.message(1).name.find("\xEF\xBF\xBD"), std::string::npos);
}

TEST_F(ReferenceFileLoading, BytesValidInNeitherEncodingStillGiveUtf8Names) {
    MidiReference reference;
    ASSERT_TRUE(
        reference.LoadMidiMessageReference(writeFile("m.mdr", "1\nA\xff\x82,0,9n,3C,40\n")));
    const std::string& name = reference.message(0).name;
    EXPECT_TRUE(isValidUtf8(name));
    EXPECT_EQ(name.substr(0, 1), "A");
    EXPECT_EQ(reference.message(0).data2, 0x40);
}

class ReferenceFileLookup : public ReferenceFileTest {
  protected:
    void SetUp() override {
        ReferenceFileTest::SetUp();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir());
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        ReferenceFileTest::TearDown();
    }

  private:
    std::filesystem::path previous_;
};

TEST_F(ReferenceFileLookup, FileInTheCurrentDirectoryIsPreferred) {
    writeFile("own.mdr", "0\n");
    EXPECT_EQ(findReferenceFile("own.mdr"), std::filesystem::path("own.mdr"));
}

TEST_F(ReferenceFileLookup, FileFoundNowhereComesBackAsTheBareName) {
    const std::filesystem::path found = findReferenceFile("tarvelo-no-such-file.mdr");
    EXPECT_EQ(found, std::filesystem::path("tarvelo-no-such-file.mdr"));
    MidiReference reference;
    EXPECT_FALSE(reference.LoadMidiMessageReference(found));
}

TEST_F(ReferenceFileLookup, DirectoryOfTheSameNameIsNotTakenForTheFile) {
    std::filesystem::create_directory(dir() / "folder.mdr");
    EXPECT_EQ(findReferenceFile("folder.mdr"), std::filesystem::path("folder.mdr"));
}

}  // namespace
}  // namespace tarvelo
