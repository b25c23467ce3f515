#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "model/arrangement_file.h"
#include "session/arrangement_devices.h"
#include "session/live_session.h"
#include "support/temp_dir.h"
#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

using testing::TempDir;
using testing::VirtualRig;
using Kind = RecordedEvent::Kind;
using Changes = std::vector<DeviceChange>;

// What one output received, as "open", "close", or the short message (a two-byte message
// carries FFh as its unused third byte).
std::vector<std::string> traffic(const VirtualBackend& backend, const std::string& output) {
    std::vector<std::string> out;
    for (const RecordedEvent& e : backend.events(output)) {
        if (e.kind == Kind::Open)
            out.push_back("open");
        else if (e.kind == Kind::Close)
            out.push_back("close");
        else if (e.kind == Kind::Short)
            out.push_back(std::to_string(e.message));
    }
    return out;
}
std::string msg(std::uint8_t status, std::uint8_t data1, std::uint8_t data2 = 0) {
    return std::to_string(packMessage(status, data1, data2));
}

// Three Parts, two of them sharing "Out1": keys 0..39 (Out1, channel 0, volume 100), 40..79
// (Out0), 80..127 (Out1, channel 2, program 5).
struct SharedDeviceRig : VirtualRig {
    SharedDeviceRig() {
        session.split(0, 40);
        session.split(1, 80);
        session.setOutputDevice(0, 1);
        session.setOutputDevice(2, 1);
        session.setChannel(2, 2);
        session.messageList(0).append(InitialMessage{0, 0xB0, 7, 100, {}, 0});
        session.messageList(2).append(InitialMessage{1, 0xC0, 5, -1, {}, 0});
        backend.clearRecords();
    }
};

TEST(DeviceChanges, AnOutputThatComesBackIsReopenedAndItsPartsAreSetUpAgainInPartOrder) {
    SharedDeviceRig rig;
    rig.play(packMessage(0x90, 30, 64));  // held on the first opening of Out1
    ASSERT_TRUE(rig.backend.removeOutput("Out1"));
    rig.settle();
    ASSERT_EQ(rig.changes.size(), 1u);
    EXPECT_EQ(rig.changes[0].outputs, (Changes{{DeviceChangeKind::Left, 1}}));
    EXPECT_EQ(rig.session.devices().useCount(1), 2);
    EXPECT_EQ(rig.session.outputDeviceName(0), "Out1");

    // While it is away its notes are dropped and counted, but not reported as lost to a full
    // output; the other Part plays on.
    rig.play(packMessage(0x90, 35, 64));
    rig.play(packMessage(0x90, 90, 64));
    rig.play(packMessage(0x90, 50, 64));
    EXPECT_EQ(rig.session.devices().droppedForAbsentDevices(), 2u);
    EXPECT_EQ(rig.session.droppedMessages(), 0u);
    EXPECT_EQ(rig.sent(0), (std::vector<PackedMessage>{packMessage(0x91, 50, 64)}));

    rig.backend.clearRecords();
    rig.backend.addOutput("Out1");
    rig.settle();
    EXPECT_EQ(rig.changes.back().outputs, (Changes{{DeviceChangeKind::Returned, 1}}));
    // Releases of notes that never reached the new opening are not sent to it.
    rig.play(packMessage(0x80, 30, 0));
    rig.play(packMessage(0x80, 35, 0));
    rig.play(packMessage(0x90, 100, 70));
    EXPECT_EQ(traffic(rig.backend, "Out1"),
              (std::vector<std::string>{"open", msg(0xB0, 7, 100), msg(0xC2, 5, 0xFF),
                                        msg(0x92, 100, 70)}));
    EXPECT_EQ(rig.serverReturns, 0);
}

// How a device in use can be slow to come back: the system lists it again but refuses to open
// it, or opens it but has not connected it yet (a JACK client whose ports exist before it is
// active).
enum class LateConnection { OpenRefused, ConnectionPending };

TEST(DeviceChanges, ADeviceThatCannotBeConnectedYetIsTriedAgainAndSetUpBeforeItPlays) {
    for (const LateConnection late : {LateConnection::OpenRefused,
                                      LateConnection::ConnectionPending}) {
        SCOPED_TRACE(late == LateConnection::OpenRefused ? "open refused" : "connection pending");
        SharedDeviceRig rig;
        ASSERT_TRUE(rig.backend.removeOutput("Out1"));
        ASSERT_TRUE(rig.backend.removeInput("In"));
        rig.settle();
        rig.changes.clear();
        const auto hold = [&](bool on) {
            if (late == LateConnection::OpenRefused) {
                rig.backend.setRefuseOpen("Out1", on);
                rig.backend.setRefuseOpen("In", on);
            } else {
                rig.backend.setConnectionPending("Out1", on);
                rig.backend.setConnectionPending("In", on);
            }
        };
        rig.backend.addOutput("Out1");
        rig.backend.addInput("In");
        hold(true);
        rig.backend.clearRecords();
        rig.session.followDevices();
        rig.settle();
        // Not back until connected: nothing said, nothing sent, and the owner asked to look again.
        EXPECT_TRUE(rig.changes.empty());
        EXPECT_TRUE(rig.backend.shortMessages("Out1").empty());
        EXPECT_GT(rig.session.relistInterval().count(), 0);
        EXPECT_EQ(rig.session.relistInterval().count(),
                  late == LateConnection::OpenRefused ? 250 : 10);

        hold(false);
        // A refused device is tried again only once the retry is due.
        if (late == LateConnection::OpenRefused)
            std::this_thread::sleep_for(std::chrono::milliseconds(260));
        rig.session.followDevices();
        rig.settle();
        ASSERT_EQ(rig.changes.size(), 1u);
        EXPECT_EQ(rig.changes[0].outputs, (Changes{{DeviceChangeKind::Returned, 1}}));
        EXPECT_EQ(rig.changes[0].inputs, (Changes{{DeviceChangeKind::Returned, 0}}));
        EXPECT_EQ(rig.session.relistInterval().count(), 0);
        ASSERT_TRUE(rig.backend.inject("In", packMessage(0x90, 100, 70)));
        EXPECT_EQ(rig.backend.shortMessages("Out1"),
                  (std::vector<PackedMessage>{packMessage(0xB0, 7, 100), packMessage(0xC2, 5, 0xFF),
                                              packMessage(0x92, 100, 70)}));
    }
}

TEST(DeviceChanges, ADeviceThatComesBackGetsNoNoteBeforeItsWholeSetUpHasGoneOut) {
    SharedDeviceRig rig;
    // A reset first, then the program: the program must be in place before any note.
    rig.session.messageList(2).clear();
    rig.session.messageList(2).append(InitialMessage{5, 0xF0, -1, -1, {0xF0, 0x7E, 0x7F, 0x09,
                                                                       0x01, 0xF7}, 6});
    rig.session.messageList(2).append(InitialMessage{1, 0xC0, 5, -1, {}, 0});
    ASSERT_TRUE(rig.backend.removeOutput("Out1"));
    rig.settle();
    rig.backend.holdCompletions(true);
    rig.backend.addOutput("Out1");
    rig.backend.clearRecords();
    rig.settle();
    rig.play(packMessage(0x90, 100, 70));  // while the reset is being played: not routed
    EXPECT_EQ(rig.backend.shortMessages("Out1"),
              (std::vector<PackedMessage>{packMessage(0xB0, 7, 100)}));
    rig.backend.releaseCompletions();
    rig.settle();
    rig.play(packMessage(0x90, 101, 70));
    EXPECT_EQ(rig.backend.shortMessages("Out1"),
              (std::vector<PackedMessage>{packMessage(0xB0, 7, 100), packMessage(0xC2, 5, 0xFF),
                                          packMessage(0x92, 101, 70)}));
}

TEST(DeviceChanges, TheInputThatLeavesIsReconnectedWhenItComesBack) {
    VirtualRig rig;
    ASSERT_TRUE(rig.backend.removeInput("In"));
    rig.settle();
    EXPECT_EQ(rig.changes.back().inputs, (Changes{{DeviceChangeKind::Left, 0}}));
    EXPECT_FALSE(rig.backend.inject("In", packMessage(0x90, 60, 1)));
    EXPECT_EQ(rig.session.devices().inputDevice(), 0);

    rig.backend.addInput("In");
    rig.settle();
    EXPECT_EQ(rig.changes.back().inputs, (Changes{{DeviceChangeKind::Returned, 0}}));
    ASSERT_TRUE(rig.backend.inject("In", packMessage(0x90, 60, 1)));
    EXPECT_EQ(rig.sent(0), (std::vector<PackedMessage>{packMessage(0x90, 60, 1)}));
}

TEST(DeviceChanges, ADeviceAbsentAtLoadIsSavedUnderItsNameAndSetUpWhenItAppears) {
    TempDir dir;
    StoredArrangement a;
    a.inputDeviceName = "In";
    for (const char* device : {"Out0", "Sampler"}) {
        StoredPart p;
        p.part.lowKey = a.parts.empty() ? 0 : 64;
        p.part.highKey = a.parts.empty() ? 63 : 127;
        p.part.channel = static_cast<std::uint8_t>(a.parts.size());
        p.outputDeviceName = device;
        p.messages.append(
            InitialMessage{1, 0xC0, static_cast<int>(10 + a.parts.size()), -1, {}, 0});
        a.parts.push_back(p);
    }
    a.targetPart = 1;
    a.targetDeviceName = "Sampler";
    a.targetChannel = 1;
    ASSERT_EQ(writeArrangementFile(dir.file("song.trv"), a), std::nullopt);

    VirtualRig rig;
    ASSERT_EQ(rig.session.load(dir.file("song.trv")), std::nullopt);
    EXPECT_EQ(rig.boxes.texts(), (std::vector<std::string>{missingDeviceText("Sampler")}));
    rig.backend.clearRecords();
    rig.session.sendAllInitialMessages();
    rig.settle();
    rig.play(packMessage(0x90, 70, 1));
    rig.play(packMessage(0xB5, 7, 80));
    EXPECT_EQ(rig.sent(0), (std::vector<PackedMessage>{packMessage(0xC0, 10, 0xFF)}));

    ASSERT_EQ(rig.session.save(dir.file("again.trv")), std::nullopt);
    const ArrangementReadResult again = readArrangementFile(dir.file("again.trv"));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.arrangement->parts[1].outputDeviceName, "Sampler");
    EXPECT_EQ(again.arrangement->targetDeviceName, "Sampler");

    rig.backend.addOutput("Sampler");
    rig.settle();
    rig.play(packMessage(0x90, 70, 1));
    rig.play(packMessage(0xB5, 7, 80));
    EXPECT_EQ(rig.backend.shortMessages("Sampler"),
              (std::vector<PackedMessage>{packMessage(0xC1, 11, 0xFF), packMessage(0x91, 70, 1),
                                          packMessage(0xB1, 7, 80)}));
}

TEST(DeviceChanges, NewAndLoadListTheDevicesFromScratch) {
    TempDir dir;
    VirtualRig rig;
    ASSERT_EQ(rig.session.save(dir.file("plain.trv")), std::nullopt);
    rig.backend.removeOutput("Out1");
    rig.backend.addOutput("Late");
    rig.settle();
    EXPECT_EQ(rig.session.devices().outputNames(),
              (std::vector<std::string>{"Out0", "Out1", "Out2", "Late"}));

    rig.session.newArrangement();
    EXPECT_EQ(rig.session.devices().outputNames(),
              (std::vector<std::string>{"Out0", "Out2", "Late"}));
    rig.backend.addOutput("Out1");
    rig.settle();
    EXPECT_EQ(rig.changes.back().outputs, (Changes{{DeviceChangeKind::Arrived, 3}}));

    rig.backend.removeOutput("Late");
    rig.settle();
    ASSERT_EQ(rig.session.load(dir.file("plain.trv")), std::nullopt);
    EXPECT_EQ(rig.session.devices().outputNames(),
              (std::vector<std::string>{"Out0", "Out1", "Out2"}));
}

}  // namespace
}  // namespace tarvelo
