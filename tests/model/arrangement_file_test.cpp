#include "model/arrangement_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "model/archive.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_dir.h"
#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

using testing::ScriptedMessageBoxes;
using testing::TempDir;
using testing::VirtualRig;
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

// A saved arrangement with five Parts on three devices, messages of every kind.
void buildRichArrangement(LiveSession& session) {
    for (int key : {20, 40, 60, 80, 100})
        session.split(session.parts().partCount() - 1, key);
    session.setOutputDevice(3, 2);
    session.setNoteShift(3, -12);
    session.setName(3, "ストリングス");
    session.setNoteShift(1, 128);
    session.messageList(0).append(InitialMessage{0, 0xB0, 7, 100, {}, 0});
    session.messageList(0).append(InitialMessage{5, 0xF0, -1, -1, sysexOf(11, 0x41), 11});
    session.messageList(0).append(InitialMessage{1, 0xC0, 5, -1, {}, 0});
    session.messageList(3).append(InitialMessage{6, 0xFE, -1, -1, {}, 0});
    session.messageList(5).append(InitialMessage{5, 0xF0, -1, -1, sysexOf(300, 0x7E), 300});
    session.setTarget(3);
}

TEST(ArrangementFileLayout, FreshArrangementIsByteExact) {
    VirtualRig rig;
    const Bytes bytes = encodeArrangement(storedArrangementOf(rig.parts()));
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
    VirtualRig saved;
    buildRichArrangement(saved.session);
    ASSERT_EQ(saved.session.save(dir.file("a.trv")), std::nullopt);

    VirtualRig loaded;
    ScriptedMessageBoxes& boxes = loaded.boxes;
    ASSERT_EQ(loaded.session.load(dir.file("a.trv")), std::nullopt);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(storedArrangementOf(loaded.parts()), storedArrangementOf(saved.parts()));
    EXPECT_EQ(loaded.parts().partCount(), 6);
    EXPECT_EQ(loaded.parts().partAt(3).outputDevice, 2);
    EXPECT_EQ(loaded.parts().targetPart(), 3);
    EXPECT_EQ(loaded.parts().targetDevice(), 2);
    EXPECT_EQ(loaded.parts().devices().useCount(0), 5);
    EXPECT_EQ(loaded.parts().devices().useCount(2), 1);
    EXPECT_EQ(loaded.parts().devices().inputDevice(), 0);
    EXPECT_TRUE(loaded.backend.isInputOpen("In"));
    EXPECT_TRUE(loaded.backend.isOutputOpen("Out2"));
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

TEST(ArrangementFileDevices, EveryMissingDeviceGetsItsOwnBoxInFileOrderAndIsKeptByName) {
    StoredArrangement a;
    a.inputDeviceName = "Gone keyboard";
    for (const char* name : {"Gone A", "Out1", "Gone B", "Gone A"}) {
        StoredPart p;
        p.outputDeviceName = name;
        a.parts.push_back(p);
    }
    a.targetPart = 0;
    a.targetDeviceName = "Gone target";
    a.targetChannel = 0;

    VirtualRig rig;
    MidiDeviceSet devices(rig.backend);
    devices.initialize(nullptr);
    ScriptedMessageBoxes boxes;
    const ArrangementContent c = resolveDevices(a, devices, boxes);
    EXPECT_EQ(boxes.texts(),
              (std::vector<std::string>{
                  "Gone keyboard\nが見つかりませんでした。", "Gone A\nが見つかりませんでした。",
                  "Gone B\nが見つかりませんでした。", "Gone A\nが見つかりませんでした。"}));
    for (const auto& box : boxes.shown) {
        EXPECT_EQ(box.caption, "デバイスオープンエラー");
        EXPECT_EQ(box.buttons, MessageButtons::Ok);
    }
    // Absent devices are appended after the present ones (In, In2; Out0..Out2), once per name.
    EXPECT_EQ(devices.deviceName(false, c.inputDevice), "Gone keyboard");
    EXPECT_EQ(c.inputDevice, 2);
    EXPECT_EQ(std::vector<int>({c.parts[0].outputDevice, c.parts[1].outputDevice,
                                c.parts[2].outputDevice, c.parts[3].outputDevice}),
              std::vector<int>({3, 1, 4, 3}));
    EXPECT_EQ(devices.deviceName(true, c.targetDevice), "Gone target");
    EXPECT_FALSE(devices.isPresent(true, 3));
    EXPECT_TRUE(devices.isPresent(true, 1));

    // Without a target, its name stands for nothing and is not kept.
    a.targetPart = -1;
    a.targetDeviceName = "";
    EXPECT_EQ(resolveDevices(a, devices, boxes).targetDevice, 0);
    EXPECT_EQ(devices.findOutputByName(""), -1);
}

TEST(ArrangementFileDevices, PartsOnAMissingDeviceStaySilentOnItAndAreSavedUnderItsName) {
    TempDir dir;
    StoredArrangement a;
    a.inputDeviceName = "In";
    for (int i = 0; i < 5; ++i) {
        StoredPart p;
        p.part.lowKey = static_cast<std::uint8_t>(i * 20);
        p.outputDeviceName = "Elsewhere";
        a.parts.push_back(p);
    }
    ASSERT_EQ(writeArrangementFile(dir.file("m.trv"), a), std::nullopt);
    VirtualRig rig;
    ScriptedMessageBoxes& boxes = rig.boxes;
    ASSERT_EQ(rig.session.load(dir.file("m.trv")), std::nullopt);
    EXPECT_EQ(boxes.shown.size(), 5u);
    const int elsewhere = rig.parts().devices().findOutputByName("Elsewhere");
    for (const Part& p : rig.parts().parts())
        EXPECT_EQ(p.outputDevice, elsewhere);
    EXPECT_EQ(rig.parts().devices().useCount(elsewhere), 5);
    EXPECT_EQ(rig.parts().devices().useCount(0), 0);
    EXPECT_FALSE(rig.backend.isOutputOpen("Out0"));
    const StoredArrangement saved = storedArrangementOf(rig.parts());
    for (const StoredPart& p : saved.parts)
        EXPECT_EQ(p.outputDeviceName, "Elsewhere");
}

TEST(ArrangementFileDevices, SameNamedDevicesResolveToTheLowerIndex) {
    VirtualBackend backend;
    backend.addInput("In");
    backend.addOutput("Other");
    backend.addOutput("Twin");
    backend.addOutput("Twin");
    OwnerMailbox mailbox;
    PartList parts(backend);
    parts.createDefault(&mailbox, 0, 127);
    parts.devices().openInput(0);
    parts.splitPart(0, 64);
    for (int i = 0; i < 2; ++i) {
        parts.devices().releaseOutput(parts.partAt(i).outputDevice);
        parts.partAt(i).outputDevice = 1 + i;
        parts.devices().acquireOutput(1 + i);
    }
    const StoredArrangement stored = storedArrangementOf(parts);
    ScriptedMessageBoxes boxes;
    const ArrangementContent c = resolveDevices(stored, parts.devices(), boxes);
    EXPECT_EQ(c.parts[0].outputDevice, 1);
    EXPECT_EQ(c.parts[1].outputDevice, 1);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(ArrangementFileDevices, NoInputIsSavedAsNullDeviceAndReadLikeAnyName) {
    TempDir dir;
    VirtualRig rig;
    rig.session.shutdown();
    EXPECT_EQ(storedArrangementOf(rig.parts()).inputDeviceName, "NULLDEVICE");
    ASSERT_EQ(rig.session.save(dir.file("n.trv")), std::nullopt);

    VirtualRig other;
    ScriptedMessageBoxes& boxes = other.boxes;
    ASSERT_EQ(other.session.load(dir.file("n.trv")), std::nullopt);
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"NULLDEVICE\nが見つかりませんでした。"}));
    EXPECT_EQ(other.parts().devices().inputDevice(), 0);
    EXPECT_TRUE(other.backend.isInputOpen("In"));
}

// Loads `bytes` over a rig with a rich arrangement; the load must fail cleanly.
void expectRejected(const Bytes& bytes, const std::string& label) {
    TempDir dir;
    VirtualRig rig;
    buildRichArrangement(rig.session);
    const StoredArrangement before = storedArrangementOf(rig.parts());
    const std::size_t eventsBefore = rig.backend.events().size();
    testing::writeBytes(dir.file("bad.trv"), bytes);

    ScriptedMessageBoxes& boxes = rig.boxes;
    const std::optional<FileError> error = rig.session.load(dir.file("bad.trv"));
    ASSERT_TRUE(error.has_value()) << label;
    EXPECT_EQ(error->kind, FileErrorKind::Corrupt) << label;
    EXPECT_FALSE(error->detail.empty()) << label;
    EXPECT_TRUE(boxes.shown.empty()) << label;
    EXPECT_EQ(storedArrangementOf(rig.parts()), before) << label;
    EXPECT_EQ(rig.backend.events().size(), eventsBefore) << label << ": no device was touched";
}

TEST(ArrangementFileRejection, EveryTruncationOfAValidFileIsRejected) {
    VirtualRig rig;
    buildRichArrangement(rig.session);
    const Bytes whole = encodeArrangement(storedArrangementOf(rig.parts()));
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
    VirtualRig rig;
    const auto missing = rig.session.load(dir.file("none.trv"));
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->kind, FileErrorKind::CannotOpen);
    EXPECT_NE(missing->detail.find("No such file"), std::string::npos) << missing->detail;
    const auto directory = rig.session.load(dir.path().string());
    ASSERT_TRUE(directory.has_value());
    EXPECT_EQ(directory->kind, FileErrorKind::CannotOpen);
    EXPECT_EQ(rig.parts().partCount(), 1);
}

TEST(ArrangementFileSaving, ReplacesTheFileWholeAndLeavesNothingBehind) {
    TempDir dir;
    VirtualRig rig;
    const std::string path = dir.file("s.trv");
    testing::writeBytes(path, Bytes(1000, 0xAA));
    ::chmod(path.c_str(), 0640);
    ASSERT_EQ(rig.session.save(path), std::nullopt);
    EXPECT_EQ(testing::readBytes(path), freshFile("In", "Out0"));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"s.trv"}));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(ArrangementFileSaving, SavingThroughALinkReplacesTheLinkedFile) {
    TempDir dir;
    VirtualRig rig;
    testing::writeBytes(dir.file("real.trv"), {1, 2, 3});
    std::filesystem::create_symlink(dir.file("real.trv"), dir.file("link.trv"));
    ASSERT_EQ(rig.session.save(dir.file("link.trv")), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.trv")));
    EXPECT_EQ(testing::readBytes(dir.file("real.trv")), freshFile("In", "Out0"));
}

TEST(ArrangementFileSaving, FailedSaveIsReportedAndKeepsTheOldFile) {
    TempDir dir;
    VirtualRig rig;
    const auto noDir = rig.session.save(dir.file("missing/x.trv"));
    ASSERT_TRUE(noDir.has_value());
    EXPECT_EQ(noDir->kind, FileErrorKind::CannotWrite);
    EXPECT_NE(noDir->detail.find("No such file"), std::string::npos) << noDir->detail;

    // A write that fails half-way (the file size limit stands in for a full disk).
    const std::string big = dir.file("big.trv");
    testing::writeBytes(big, {7, 7});
    rig.session.messageList(0).append(InitialMessage{5, 0xF0, -1, -1, sysexOf(20000, 1), 20000});
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const auto tooBig = rig.session.save(big);
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
    VirtualRig rig;
    const std::string path = dir.file("keep.trv");
    testing::writeBytes(path, {9, 9});
    ::chmod(dir.path().c_str(), 0555);
    const auto denied = rig.session.save(path);
    ::chmod(dir.path().c_str(), 0755);
    ASSERT_TRUE(denied.has_value());
    EXPECT_EQ(denied->kind, FileErrorKind::CannotWrite);
    EXPECT_EQ(testing::readBytes(path), (Bytes{9, 9}));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"keep.trv"}));
}

}  // namespace
}  // namespace tarvelo
