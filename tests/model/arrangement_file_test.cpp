#include "model/arrangement_file.h"

#include "model/arrangement_codec.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "model/archive.h"
#include "support/temp_dir.h"

namespace tarvelo {
namespace {

using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

void append(Bytes& b, std::initializer_list<int> values) {
    for (int v : values)
        b.push_back(static_cast<std::uint8_t>(v));
}
void appendText(Bytes& b, std::string_view s) {
    b.push_back(static_cast<std::uint8_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}

// The file of a fresh arrangement whose input and output are called `in` and `out`.
Bytes freshFile(std::string_view in, std::string_view out) {
    Bytes b;
    append(b, {1, 0, 0, 0, 0x7F, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0});
    appendText(b, in);
    appendText(b, "Part1");
    appendText(b, out);
    append(b, {0, 0, 0, 0, 0, 0, 0, 0x7F, 0, 0, 0, 0});
    append(b, {0, 0, 0, 0});
    appendText(b, out);
    append(b, {0});
    return b;
}

std::vector<std::uint8_t> sysexOf(std::size_t n, std::uint8_t fill) {
    std::vector<std::uint8_t> b(n, fill);
    b.front() = 0xF0;
    b.back() = 0xF7;
    return b;
}

// The arrangement New makes, with its input called `in` and its output `out`.
StoredArrangement freshArrangement(const std::string& in, const std::string& out) {
    StoredArrangement a;
    a.inputDeviceName = in;
    StoredPart p;
    p.part.name = "Part1";
    p.part.highKey = 127;
    p.outputDeviceName = out;
    a.parts.push_back(p);
    a.targetPart = 0;
    a.targetDeviceName = out;
    a.targetChannel = 0;
    return a;
}

// Six Parts on three devices, messages of every kind.
StoredArrangement richArrangement() {
    StoredArrangement a = freshArrangement("In", "Out0");
    a.parts.clear();
    const char* devices[] = {"Out0", "Out0", "Out0", "Out2", "Out0", "Out0"};
    for (int i = 0; i < 6; ++i) {
        StoredPart p;
        p.part.name = "Part" + std::to_string(i + 1);
        p.part.channel = static_cast<std::uint8_t>(i);
        p.part.lowKey = static_cast<std::uint8_t>(i * 20);
        p.part.highKey = static_cast<std::uint8_t>(i == 5 ? 127 : i * 20 + 19);
        p.outputDeviceName = devices[i];
        a.parts.push_back(p);
    }
    a.nextPartNumber = 6;
    a.parts[3].part.name = "ストリングス";
    a.parts[3].part.noteShift = -12;
    a.parts[3].part.reserved = 0xA5;
    a.parts[1].part.noteShift = 128;
    a.parts[0].messages.append(InitialMessage{0, 0xB0, 7, 100, {}, 0});
    a.parts[0].messages.append(InitialMessage{5, 0xF0, -1, -1, sysexOf(11, 0x41), 11});
    a.parts[0].messages.append(InitialMessage{1, 0xC0, 5, -1, {}, 0});
    a.parts[3].messages.append(InitialMessage{6, 0xFE, -1, -1, {}, 0});
    a.parts[5].messages.append(InitialMessage{5, 0xF0, -1, -1, sysexOf(300, 0x7E), 300});
    a.targetPart = 3;
    a.targetDeviceName = "Out2";
    a.targetChannel = 3;
    return a;
}

TEST(ArrangementFileLayout, FreshArrangementIsByteExact) {
    const Bytes bytes = encodeArrangement(freshArrangement("In", "Out0"));
    EXPECT_EQ(bytes, freshFile("In", "Out0"));
    EXPECT_EQ(bytes.size(), 42u + 2u + 2u * 4u);
}

TEST(ArrangementFileLayout, MessagesAreFiveIntegersThenTheirExclusiveBytes) {
    StoredArrangement a;
    StoredPart p;
    p.part.name = "P";
    p.messages.append(InitialMessage{0, 176, 7, 100, {}, 0});
    p.messages.append(InitialMessage{5, 0xF0, -1, -1, {0xF0, 1, 2, 3, 4, 0xF7}, 6});
    a.parts.push_back(p);
    const Bytes b = encodeArrangement(a);
    // Header 16, empty input name 1, name 2, empty device 1, shift 4, four bytes, count 4.
    const std::size_t at = 16 + 1 + 2 + 1 + 4 + 4 + 4;
    const Bytes cc(b.begin() + at, b.begin() + at + 20);
    EXPECT_EQ(cc, (Bytes{0, 0, 0, 0, 0xB0, 0, 0, 0, 7, 0, 0, 0, 0x64, 0, 0, 0, 0, 0, 0, 0}));
    const Bytes ex(b.begin() + at + 20, b.begin() + at + 46);
    EXPECT_EQ(ex, (Bytes{5,    0,    0,    0, 0xF0, 0, 0, 0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                         0xFF, 0xFF, 0xFF, 6, 0,    0, 0, 0xF0, 1,    2,    3,    4,    0xF7}));
}

TEST(ArrangementFileLayout, TextPrefixesFollowTheLength) {
    const auto prefixOf = [](std::size_t n) {
        ArchiveWriter w;
        w.writeString(std::string(n, 'x'));
        return Bytes(w.bytes().begin(), w.bytes().end() - static_cast<std::ptrdiff_t>(n));
    };
    EXPECT_EQ(prefixOf(0), (Bytes{0x00}));
    EXPECT_EQ(prefixOf(254), (Bytes{0xFE}));
    EXPECT_EQ(prefixOf(255), (Bytes{0xFF, 0xFF, 0x00}));
    EXPECT_EQ(prefixOf(300), (Bytes{0xFF, 0x2C, 0x01}));
    EXPECT_EQ(prefixOf(65533), (Bytes{0xFF, 0xFD, 0xFF}));
    // 0xFFFE marks 16-bit text and 0xFFFF a 32-bit length, so 65534 already needs the long form.
    EXPECT_EQ(prefixOf(65534), (Bytes{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
}

TEST(ArrangementFileLayout, JapaneseTextIsStoredInCodePage932) {
    StoredArrangement a;
    a.parts.push_back(StoredPart{});
    a.parts[0].part.name = "ピアノ";
    const Bytes b = encodeArrangement(a);
    const Bytes name(b.begin() + 17, b.begin() + 24);
    EXPECT_EQ(name, (Bytes{6, 0x83, 0x73, 0x83, 0x41, 0x83, 0x6D}));
}

TEST(ArrangementFileLayout, TextCodePage932CannotHoldIsStoredInSixteenBitUnits) {
    StoredArrangement a;
    a.parts.push_back(StoredPart{});
    a.parts[0].part.name = "Ké🎹";
    const Bytes b = encodeArrangement(a);
    const Bytes name(b.begin() + 17, b.begin() + 17 + 12);
    EXPECT_EQ(name, (Bytes{0xFF, 0xFE, 0xFF, 4, 'K', 0, 0xE9, 0, 0x3C, 0xD8, 0xB9, 0xDF}));
    const ArrangementReadResult back = decodeArrangement(b);
    ASSERT_TRUE(back.ok()) << back.error.detail;
    EXPECT_EQ(back.arrangement->parts[0].part.name, "Ké🎹");
}

TEST(ArrangementFileReading, SixteenBitTextWithLongPrefixIsAccepted) {
    Bytes b = freshFile("In", "Out0");
    // Replace the Part's name "Part1" (at offset 19) by 300 units of U+3042 in 16-bit form.
    Bytes name = {0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01};
    for (int i = 0; i < 300; ++i)
        append(name, {0x42, 0x30});
    b.erase(b.begin() + 19, b.begin() + 25);
    b.insert(b.begin() + 19, name.begin(), name.end());
    const ArrangementReadResult r = decodeArrangement(b);
    ASSERT_TRUE(r.ok()) << r.error.detail;
    std::string expected;
    for (int i = 0; i < 300; ++i)
        expected += "あ";
    EXPECT_EQ(r.arrangement->parts[0].part.name, expected);
}

TEST(ArrangementFileReading, BytesThatAreNotCodePage932BecomeReplacementCharacters) {
    Bytes b = freshFile("In", "Out0");
    b[21] = 0x81;  // "Part1" -> "P", a lead byte followed by a space (no CP932 pair), "t1"
    b[22] = 0x20;
    const ArrangementReadResult r = decodeArrangement(b);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.arrangement->parts[0].part.name.find("P"), 0u);
    EXPECT_NE(r.arrangement->parts[0].part.name.find("\xEF\xBF\xBD"), std::string::npos);
}

TEST(ArrangementFileRoundTrip, RichArrangementReadsBackWhole) {
    TempDir dir;
    const StoredArrangement rich = richArrangement();
    ASSERT_EQ(writeArrangementFile(dir.file("a.trv"), rich), std::nullopt);
    const ArrangementReadResult r = readArrangementFile(dir.file("a.trv"));
    ASSERT_TRUE(r.ok()) << r.error.detail;
    EXPECT_EQ(*r.arrangement, rich);
}

TEST(ArrangementFileRoundTrip, LongAndUnusualNamesSurvive) {
    StoredArrangement a;
    a.inputDeviceName = "USB MIDI ケーブル";
    for (std::size_t n : {254u, 255u, 300u}) {
        StoredPart p;
        p.part.name = std::string(n, 'n');
        p.part.reserved = static_cast<std::uint8_t>(n);  // carried along unchanged
        p.outputDeviceName = "Synth:" + std::to_string(n);
        a.parts.push_back(p);
    }
    StoredPart emoji;
    emoji.part.name = "Лид 🎹";
    emoji.outputDeviceName = "Ω out";
    a.parts.push_back(emoji);
    // Code page 932 would only approximate these characters; the name comes back exactly.
    StoredPart approximated;
    approximated.part.name = "Bass—Lo ¥100 −5";
    approximated.outputDeviceName = "ベース";
    a.parts.push_back(approximated);
    a.targetDeviceName = "日本語";

    const Bytes b = encodeArrangement(a);
    const ArrangementReadResult r = decodeArrangement(b);
    ASSERT_TRUE(r.ok()) << r.error.detail;
    EXPECT_EQ(*r.arrangement, a);
    EXPECT_EQ(encodeArrangement(*r.arrangement), b);
}

TEST(ArrangementFileRoundTrip, ExclusiveLengthZeroOrNegativeHasNoBytes) {
    StoredArrangement a;
    a.parts.push_back(StoredPart{});
    a.parts[0].messages.append(InitialMessage{5, 0xF0, -1, -1, {}, 0});
    a.parts[0].messages.append(InitialMessage{5, 0xF0, -1, -1, {}, -7});
    a.parts[0].messages.append(InitialMessage{0, 0xB0, 1, 2, {}, 0});
    const Bytes b = encodeArrangement(a);
    EXPECT_EQ(b.size(), 16u + 1u + 1u + 1u + 12u + 3u * 20u + 4u + 1u + 1u);
    const ArrangementReadResult r = decodeArrangement(b);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(*r.arrangement, a);
    EXPECT_EQ(r.arrangement->parts[0].messages.at(1)->sysexLength, -7);
}

// Both the parser and the file reader refuse `bytes` as corrupt, saying why.
void expectRejected(const Bytes& bytes, const std::string& label) {
    const ArrangementReadResult decoded = decodeArrangement(bytes);
    ASSERT_FALSE(decoded.ok()) << label;
    EXPECT_EQ(decoded.error.kind, FileErrorKind::Corrupt) << label;
    EXPECT_FALSE(decoded.error.detail.empty()) << label;
    TempDir dir;
    testing::writeBytes(dir.file("bad.trv"), bytes);
    const ArrangementReadResult read = readArrangementFile(dir.file("bad.trv"));
    ASSERT_FALSE(read.ok()) << label;
    EXPECT_EQ(read.error.kind, FileErrorKind::Corrupt) << label;
}

TEST(ArrangementFileRejection, EveryTruncationOfAValidFileIsRejected) {
    const Bytes whole = encodeArrangement(richArrangement());
    ASSERT_TRUE(decodeArrangement(whole).ok());
    for (std::size_t n = 0; n < whole.size(); ++n) {
        const ArrangementReadResult r = decodeArrangement(std::span(whole).first(n));
        EXPECT_FALSE(r.ok()) << "prefix of " << n << " bytes";
    }
    expectRejected(
        Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)),
        "half");
    expectRejected({}, "empty file");
}

TEST(ArrangementFileRejection, ImpossibleCountsAndLengthsAreRejected) {
    const Bytes fresh = freshFile("In", "Out0");
    const auto with = [&](std::size_t at, Bytes replacement, std::size_t removed) {
        Bytes b = fresh;
        b.erase(b.begin() + static_cast<std::ptrdiff_t>(at),
                b.begin() + static_cast<std::ptrdiff_t>(at + removed));
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), replacement.begin(),
                 replacement.end());
        return b;
    };
    expectRejected(with(0, {0, 0, 0, 0}, 4), "no parts");
    expectRejected(with(0, {0xFF, 0xFF, 0xFF, 0xFF}, 4), "negative part count");
    expectRejected(with(0, {0xFF, 0xFF, 0xFF, 0x7F}, 4), "huge part count");
    expectRejected(with(0, {2, 0, 0, 0}, 4), "two parts announced, one present");
    expectRejected(with(16, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 3), "text of 4 GiB");
    expectRejected(with(16, {0xFF, 0xFE, 0xFF, 0x7F}, 3), "16-bit text beyond the end");
    expectRejected(with(16, {0xFF, 0x00, 0x10}, 3), "text of 4096 bytes");
    // The message count sits at offset 16 + 3 + 6 + 5 + 4 + 4.
    expectRejected(with(38, {0xFF, 0xFF, 0xFF, 0x7F}, 4), "huge message count");
    Bytes oneMessage = with(
        38, {1, 0, 0, 0, 5, 0, 0, 0, 0xF0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F},
        4);
    expectRejected(oneMessage, "huge exclusive length");
    Bytes trailing = fresh;
    trailing.push_back(0);
    expectRejected(trailing, "a byte after the trailer");
}

TEST(ArrangementFileRejection, UnreadablePathsAreReportedAsSuch) {
    TempDir dir;
    const ArrangementReadResult missing = readArrangementFile(dir.file("none.trv"));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error.kind, FileErrorKind::CannotOpen);
    EXPECT_NE(missing.error.detail.find("No such file"), std::string::npos) << missing.error.detail;
    const ArrangementReadResult directory = readArrangementFile(dir.path().string());
    ASSERT_FALSE(directory.ok());
    EXPECT_EQ(directory.error.kind, FileErrorKind::CannotOpen);
}

TEST(ArrangementFileSaving, ReplacesTheFileWholeAndLeavesNothingBehind) {
    TempDir dir;
    const StoredArrangement fresh = freshArrangement("In", "Out0");
    const std::string path = dir.file("s.trv");
    testing::writeBytes(path, Bytes(1000, 0xAA));
    ::chmod(path.c_str(), 0640);
    ASSERT_EQ(writeArrangementFile(path, fresh), std::nullopt);
    EXPECT_EQ(testing::readBytes(path), freshFile("In", "Out0"));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"s.trv"}));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(ArrangementFileSaving, SavingThroughALinkReplacesTheLinkedFile) {
    TempDir dir;
    const StoredArrangement fresh = freshArrangement("In", "Out0");
    testing::writeBytes(dir.file("real.trv"), {1, 2, 3});
    std::filesystem::create_symlink(dir.file("real.trv"), dir.file("link.trv"));
    ASSERT_EQ(writeArrangementFile(dir.file("link.trv"), fresh), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.trv")));
    EXPECT_EQ(testing::readBytes(dir.file("real.trv")), freshFile("In", "Out0"));
}

TEST(ArrangementFileSaving, FailedSaveIsReportedAndKeepsTheOldFile) {
    TempDir dir;
    const StoredArrangement fresh = freshArrangement("In", "Out0");
    const auto noDir = writeArrangementFile(dir.file("missing/x.trv"), fresh);
    ASSERT_TRUE(noDir.has_value());
    EXPECT_EQ(noDir->kind, FileErrorKind::CannotWrite);
    EXPECT_NE(noDir->detail.find("No such file"), std::string::npos) << noDir->detail;

    // A write that fails half-way (the file size limit stands in for a full disk).
    const std::string big = dir.file("big.trv");
    testing::writeBytes(big, {7, 7});
    StoredArrangement large = fresh;
    large.parts[0].messages.append(InitialMessage{5, 0xF0, -1, -1, sysexOf(20000, 1), 20000});
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const auto tooBig = writeArrangementFile(big, large);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(tooBig.has_value());
    EXPECT_EQ(tooBig->kind, FileErrorKind::CannotWrite);
    EXPECT_EQ(testing::readBytes(big), (Bytes{7, 7}));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"big.trv"}));
}

TEST(ArrangementFileSaving, DirectoryWithoutWritePermissionKeepsTheOldFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    TempDir dir;
    const StoredArrangement fresh = freshArrangement("In", "Out0");
    const std::string path = dir.file("keep.trv");
    testing::writeBytes(path, {9, 9});
    ::chmod(dir.path().c_str(), 0555);
    const auto denied = writeArrangementFile(path, fresh);
    ::chmod(dir.path().c_str(), 0755);
    ASSERT_TRUE(denied.has_value());
    EXPECT_EQ(denied->kind, FileErrorKind::CannotWrite);
    EXPECT_EQ(testing::readBytes(path), (Bytes{9, 9}));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"keep.trv"}));
}

}  // namespace
}  // namespace tarvelo
