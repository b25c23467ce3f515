#include "session/headless_runner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "midi/backends/virtual/virtual_backend.h"
#include "support/temp_dir.h"

namespace tarvelo {
namespace {

using testing::TempDir;

// Two Parts: keys 0..59 on "Synth A" channel 2 with short, exclusive, short; keys 60..127 on
// "Synth B" channel 5 with one short message.
StoredArrangement twoPartArrangement(const std::string& input, const std::string& outA,
                                     const std::string& outB) {
    StoredArrangement a;
    a.inputDeviceName = input;
    StoredPart low;
    low.part.name = "Low";
    low.part.channel = 2;
    low.part.lowKey = 0;
    low.part.highKey = 59;
    low.outputDeviceName = outA;
    low.messages.append(InitialMessage{0, 0xB0, 7, 100, {}, 0});
    low.messages.append(InitialMessage{5, 0xF0, -1, -1, {0xF0, 0x41, 0x10, 0xF7}, 4});
    low.messages.append(InitialMessage{1, 0xC0, 3, -1, {}, 0});
    StoredPart high;
    high.part.name = "High";
    high.part.channel = 5;
    high.part.lowKey = 60;
    high.part.highKey = 127;
    high.part.noteShift = 12;
    high.outputDeviceName = outB;
    high.messages.append(InitialMessage{0, 0xB0, 10, 64, {}, 0});
    a.parts = {low, high};
    a.nextPartNumber = 2;
    a.targetPart = 0;
    a.targetDeviceName = outA;
    a.targetChannel = 2;
    return a;
}

struct HeadlessRig {
    HeadlessRig() {
        backend.addInput("Keys");
        backend.addOutput("Synth A");
        backend.addOutput("Synth B");
    }
    std::string save(const StoredArrangement& a) {
        const std::string path = dir.file("song.trv");
        EXPECT_EQ(writeArrangementFile(path, a), std::nullopt);
        return path;
    }
    void settle(HeadlessRunner& session) {
        for (int i = 0; i < 100 && !session.idle(); ++i)
            session.processEvents(100);
    }

    TempDir dir;
    VirtualBackend backend;
    std::ostringstream diagnostics;
};

TEST(HeadlessRunner, SendsInitialMessagesInOrderThenRoutes) {
    HeadlessRig r;
    const std::string path = r.save(twoPartArrangement("Keys", "Synth A", "Synth B"));
    HeadlessRunner session(r.backend, r.diagnostics);
    ASSERT_EQ(session.load(path), std::nullopt);
    session.start();
    r.settle(session);
    ASSERT_TRUE(session.idle());

    EXPECT_EQ(r.backend.shortMessages("Synth A"),
              (std::vector<PackedMessage>{packMessage(0xB2, 7, 100), 0xFF03C2}));
    EXPECT_EQ(r.backend.longMessages("Synth A"),
              (std::vector<std::vector<std::uint8_t>>{{0xF0, 0x41, 0x10, 0xF7}}));
    EXPECT_EQ(r.backend.shortMessages("Synth B"),
              (std::vector<PackedMessage>{packMessage(0xB5, 10, 64)}));
    // The exclusive message comes between the two short messages of its list.
    std::vector<RecordedEvent::Kind> kinds;
    for (const RecordedEvent& e : r.backend.events("Synth A")) {
        if (e.kind != RecordedEvent::Kind::Open)
            kinds.push_back(e.kind);
    }
    EXPECT_EQ(kinds, (std::vector<RecordedEvent::Kind>{RecordedEvent::Kind::Short,
                                                       RecordedEvent::Kind::Long,
                                                       RecordedEvent::Kind::Short}));

    r.backend.clearRecords();
    ASSERT_TRUE(r.backend.inject("Keys", packMessage(0x90, 64, 100)));
    ASSERT_TRUE(r.backend.inject("Keys", packMessage(0x90, 40, 90)));
    EXPECT_EQ(r.backend.shortMessages("Synth B"),
              (std::vector<PackedMessage>{packMessage(0x95, 76, 100)}));
    EXPECT_EQ(r.backend.shortMessages("Synth A"),
              (std::vector<PackedMessage>{packMessage(0x92, 40, 90)}));
    EXPECT_TRUE(r.diagnostics.str().empty());
}

TEST(HeadlessRunner, MissingDevicesAreReportedAndKeptAndEveryDeviceChangeIsOneLine) {
    HeadlessRig r;
    const std::string path = r.save(twoPartArrangement("Gone keys", "Synth A", "Gone synth"));
    HeadlessRunner session(r.backend, r.diagnostics);
    ASSERT_EQ(session.load(path), std::nullopt);
    session.start();
    r.settle(session);
    EXPECT_EQ(r.diagnostics.str(),
              "デバイスオープンエラー: Gone keys が見つかりませんでした。\n"
              "デバイスオープンエラー: Gone synth が見つかりませんでした。\n");
    const MidiDeviceSet& devices = session.session().devices();
    EXPECT_EQ(devices.deviceName(true, session.session().parts().partAt(1).outputDevice),
              "Gone synth");
    EXPECT_EQ(devices.useCount(0), 1);
    EXPECT_FALSE(r.backend.isInputOpen("Keys"));

    r.diagnostics.str("");
    r.backend.addInput("Gone keys");
    r.backend.addOutput("Gone synth");
    r.backend.removeOutput("Synth A");
    r.backend.addOutput("Drum machine");
    session.processEvents(100);
    r.settle(session);
    EXPECT_EQ(r.diagnostics.str(),
              "tarvelo: input device \"Gone keys\" appeared; it is played\n"
              "tarvelo: output device \"Synth A\" went away; its parts are silent until it "
              "comes back\n"
              "tarvelo: output device \"Gone synth\" appeared; its parts' initial messages are "
              "sent\n"
              "tarvelo: output device \"Drum machine\" is new\n");
    EXPECT_EQ(r.backend.shortMessages("Gone synth"),
              (std::vector<PackedMessage>{packMessage(0xB5, 10, 64)}));
    ASSERT_TRUE(r.backend.inject("Gone keys", packMessage(0x90, 64, 100)));
    EXPECT_EQ(r.backend.shortMessages("Gone synth").back(), packMessage(0x95, 76, 100));
}

TEST(HeadlessRunner, InitialMessagesThatAreNoValidMidiAreNamedOneLineEach) {
    HeadlessRig r;
    StoredArrangement a = twoPartArrangement("Keys", "Synth A", "Synth B");
    InitialMessageList& high = a.parts[1].messages;
    high.append(InitialMessage{1, 0xB0, 7, 0x80, {}, 0});
    high.append(InitialMessage{6, 0x70, 1, 2, {}, 0});
    high.append(InitialMessage{7, 0xF7, -1, -1, {}, 0});
    high.append(InitialMessage{1, 0xC0, 0x90, -1, {}, 0});
    const std::string path = r.save(a);
    HeadlessRunner session(r.backend, r.diagnostics);
    ASSERT_EQ(session.load(path), std::nullopt);
    session.start();
    r.settle(session);

    EXPECT_EQ(r.backend.shortMessages("Synth B"),
              (std::vector<PackedMessage>{packMessage(0xB5, 10, 64)}));
    EXPECT_EQ(
        r.diagnostics.str(),
        "tarvelo: part 2 \"High\", initial message 2 (B5 07 80) not sent: a data byte is "
        "80h or more\n"
        "tarvelo: part 2 \"High\", initial message 3 (70 01 02) not sent: its status byte is "
        "below 80h\n"
        "tarvelo: part 2 \"High\", initial message 4 (F7 FF FF) not sent: F0h and F7h go only "
        "in system-exclusive data\n"
        "tarvelo: part 2 \"High\", initial message 5 (C5 90) not sent: a data byte is 80h or "
        "more\n");
}

TEST(HeadlessRunner, UnreadableFileOpensNothing) {
    HeadlessRig r;
    testing::writeBytes(r.dir.file("bad.trv"), {1, 0, 0});
    HeadlessRunner session(r.backend, r.diagnostics);
    const auto error = session.load(r.dir.file("bad.trv"));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, FileErrorKind::Corrupt);
    EXPECT_TRUE(r.backend.events().empty());
    EXPECT_FALSE(r.backend.isInputOpen("Keys"));
}

TEST(HeadlessRunner, StopsWhenTheStopDescriptorFiresAndShutsEverythingDown) {
    HeadlessRig r;
    const std::string path = r.save(twoPartArrangement("Keys", "Synth A", "Synth B"));
    HeadlessRunner session(r.backend, r.diagnostics);
    ASSERT_EQ(session.load(path), std::nullopt);
    session.start();
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    ASSERT_EQ(::write(stop[1], "x", 1), 1);
    session.run(stop[0]);  // returns once the stop is seen
    ::close(stop[0]);
    ::close(stop[1]);

    r.backend.inject("Keys", packMessage(0x90, 64, 100));  // left sounding
    r.backend.clearRecords();
    session.shutdown();
    EXPECT_FALSE(r.backend.isInputOpen("Keys"));
    EXPECT_FALSE(r.backend.isOutputOpen("Synth A"));
    EXPECT_FALSE(r.backend.isOutputOpen("Synth B"));
    const auto b = r.backend.shortMessages("Synth B");
    EXPECT_NE(std::find(b.begin(), b.end(), packMessage(0x85, 76, 0)), b.end());
}

}  // namespace
}  // namespace tarvelo
