#include "midi/midi_device_set.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "midi/backends/virtual/virtual_backend.h"
#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

using Kind = RecordedEvent::Kind;

struct DeviceSetTest : ::testing::Test {
    DeviceSetTest() {
        backend.addInput("Keys");
        backend.addInput("Pads");
        backend.addOutput("Synth A");
        backend.addOutput("Synth B");
        devices.initialize(&mailbox);
    }
    int count(const std::string& output, Kind kind) {
        int n = 0;
        for (const auto& e : backend.events(output))
            n += e.kind == kind;
        return n;
    }

    VirtualBackend backend;
    OwnerMailbox mailbox;
    MidiDeviceSet devices{backend};
};

TEST_F(DeviceSetTest, SharedDeviceOpensOnceAndClosesAtLastRelease) {
    EXPECT_TRUE(devices.acquireOutput(1));
    EXPECT_TRUE(devices.acquireOutput(1));
    EXPECT_EQ(devices.useCount(1), 2);
    EXPECT_EQ(count("Synth B", Kind::Open), 1);
    devices.releaseOutput(1);
    EXPECT_TRUE(backend.isOutputOpen("Synth B"));
    devices.releaseOutput(1);
    EXPECT_FALSE(backend.isOutputOpen("Synth B"));
    EXPECT_EQ(count("Synth B", Kind::Close), 1);
    EXPECT_EQ(devices.outputHandle(1), nullptr);
}

TEST_F(DeviceSetTest, OutOfRangeIndicesAreRefusedAndCountsNeverGoNegative) {
    EXPECT_FALSE(devices.acquireOutput(2));
    EXPECT_FALSE(devices.acquireOutput(-1));
    EXPECT_FALSE(devices.releaseOutput(2));
    EXPECT_TRUE(devices.releaseOutput(0));  // count 0: nothing happens
    EXPECT_EQ(devices.useCount(0), 0);
    EXPECT_TRUE(backend.events().empty());
}

TEST_F(DeviceSetTest, ReleaseSilencesNotesLeftSoundingThenSustainOffOnEveryChannel) {
    devices.acquireOutput(0);
    OutputDevice* out = devices.outputHandle(0);
    ASSERT_NE(out, nullptr);
    out->sendShort(packMessage(0x93, 60, 100));
    out->sendShort(packMessage(0x93, 64, 100));
    out->sendShort(packMessage(0x83, 64, 0));  // released already
    out->sendShort(packMessage(0x9F, 127, 1));
    backend.clearRecords();
    devices.releaseOutput(0);

    std::vector<PackedMessage> expected;
    for (int ch = 0; ch < 16; ++ch) {
        if (ch == 3)
            expected.push_back(packMessage(0x83, 60, 0));
        if (ch == 15)
            expected.push_back(packMessage(0x8F, 127, 0));
        expected.push_back(packMessage(static_cast<std::uint8_t>(0xB0 | ch), 64, 0));
    }
    EXPECT_EQ(backend.shortMessages("Synth A"), expected);
}

TEST_F(DeviceSetTest, ReselectingTheOnlyUsersDeviceResetsAndReopensIt) {
    devices.acquireOutput(0);
    devices.outputHandle(0)->sendShort(packMessage(0x90, 60, 90));
    devices.releaseOutput(0);
    devices.acquireOutput(0);
    EXPECT_EQ(count("Synth A", Kind::Open), 2);
    EXPECT_EQ(count("Synth A", Kind::Close), 1);
    EXPECT_FALSE(devices.outputHandle(0)->isSounding(0, 60));
}

TEST_F(DeviceSetTest, RefusedOpenStillCountsAndSendsAreHarmless) {
    backend.setRefuseOpen("Synth A", true);
    EXPECT_TRUE(devices.acquireOutput(0));
    EXPECT_EQ(devices.useCount(0), 1);
    EXPECT_EQ(devices.outputHandle(0), nullptr);
    devices.sendToSlotFromInput(0, packMessage(0x90, 60, 1));
    devices.sendToSlotFromInput(7, packMessage(0x90, 60, 1));
    devices.sendToSlotFromInput(-1, packMessage(0x90, 60, 1));
    EXPECT_TRUE(devices.releaseOutput(0));
    EXPECT_EQ(devices.useCount(0), 0);
    EXPECT_TRUE(backend.events().empty());
}

TEST_F(DeviceSetTest, MalformedMessagesNeverReachTheDevice) {
    devices.acquireOutput(0);
    OutputDevice* out = devices.outputHandle(0);
    out->sendShort(packMessage(0xC0, 5, 0xFF));   // program change: second byte ignored
    out->sendShort(packMessage(0x90, 0xFF, 64));  // data byte with the top bit set
    out->sendShort(packMessage(0xB0, 7, 0x80));
    out->sendShort(packMessage(0x40, 1, 1));  // no status byte
    out->sendShort(packMessage(0xF0, 0, 0));  // exclusive only as a long message
    EXPECT_EQ(backend.shortMessages("Synth A"),
              (std::vector<PackedMessage>{packMessage(0xC0, 5, 0xFF)}));
}

TEST_F(DeviceSetTest, InputSwitchClosesTheOldDeviceBeforeOpeningTheNew) {
    devices.openInput(0);
    EXPECT_TRUE(backend.isInputOpen("Keys"));
    devices.openInput(1);
    EXPECT_FALSE(backend.isInputOpen("Keys"));
    EXPECT_TRUE(backend.isInputOpen("Pads"));
    EXPECT_EQ(devices.inputDevice(), 1);
    devices.closeAll();
    EXPECT_EQ(devices.inputDevice(), NO_INPUT);
    EXPECT_FALSE(backend.isInputOpen("Pads"));
}

TEST_F(DeviceSetTest, RefusedInputIsStillNamed) {
    backend.setRefuseOpen("Pads", true);
    devices.openInput(1);
    EXPECT_EQ(devices.inputDevice(), 1);
    EXPECT_FALSE(backend.isInputOpen("Pads"));
    devices.openInput(5);  // no such device
    EXPECT_EQ(devices.inputDevice(), 5);
}

TEST_F(DeviceSetTest, CloseAllClosesEveryUsedOutputAndZeroesCounts) {
    devices.openInput(0);
    devices.acquireOutput(0);
    devices.acquireOutput(1);
    devices.acquireOutput(1);
    devices.closeAll();
    EXPECT_EQ(devices.useCount(0), 0);
    EXPECT_EQ(devices.useCount(1), 0);
    EXPECT_FALSE(backend.isOutputOpen("Synth A"));
    EXPECT_FALSE(backend.isOutputOpen("Synth B"));
}

TEST_F(DeviceSetTest, NamesAreFoundExactlyAndLowestIndexWins) {
    VirtualBackend twins;
    twins.addOutput("Twin");
    twins.addOutput("Twin");
    twins.addOutput("twin");
    MidiDeviceSet set(twins);
    set.initialize(nullptr);
    EXPECT_EQ(set.findOutputByName("Twin"), 0);
    EXPECT_EQ(set.findOutputByName("twin"), 2);
    EXPECT_EQ(set.findOutputByName("TWIN"), -1);
    EXPECT_EQ(set.findInputByName("Twin"), -1);
    EXPECT_EQ(set.deviceName(true, 2), "twin");
    EXPECT_EQ(set.deviceName(true, -1), "");
    EXPECT_EQ(devices.findInputByName("Pads"), 1);
}

TEST_F(DeviceSetTest, ClosingADeviceCompletesItsPendingLongMessages) {
    devices.acquireOutput(0);
    backend.holdCompletions(true);
    const std::vector<std::uint8_t> sysex{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    devices.outputHandle(0)->sendLong(sysex, 42);
    EXPECT_EQ(backend.heldCompletionCount(), 1u);
    devices.releaseOutput(0);
    struct : MailboxVisitor {
        std::vector<LongMessageToken> done;
        void onMidiNote(PackedMessage) override {}
        void onLongMessageDone(LongMessageToken t) override { done.push_back(t); }
        void onServerLost() override {}
    } visitor;
    mailbox.drain(visitor);
    EXPECT_EQ(visitor.done, std::vector<LongMessageToken>{42});
    EXPECT_EQ(backend.longMessages("Synth A").at(0), sysex);
}

TEST_F(DeviceSetTest, DevicesThatLeaveAndComeBackAreClosedThenOpenedAnewKeepingTheirUses) {
    devices.acquireOutput(1);
    devices.acquireOutput(1);
    devices.openInput(0);
    const std::uint64_t firstOpening = devices.outputHandle(1)->incarnation();
    const auto changes = [](DeviceChangeKind kind, int index) {
        return std::vector<DeviceChange>{{kind, index}};
    };

    ASSERT_TRUE(backend.removeOutput("Synth B"));
    ASSERT_TRUE(backend.removeInput("Keys"));
    DeviceListChanges seen = devices.refresh();
    EXPECT_EQ(seen.outputs, changes(DeviceChangeKind::Left, 1));
    EXPECT_EQ(seen.inputs, changes(DeviceChangeKind::Left, 0));
    EXPECT_FALSE(devices.isPresent(true, 1));
    EXPECT_EQ(devices.outputHandle(1), nullptr);
    EXPECT_EQ(devices.useCount(1), 2);
    EXPECT_EQ(devices.deviceName(true, 1), "Synth B");
    EXPECT_EQ(devices.inputDevice(), 0);
    EXPECT_FALSE(backend.isInputOpen("Keys"));
    // Live messages for the absent device are dropped and counted; a device merely not in use
    // is no loss.
    EXPECT_EQ(devices.sendToSlotFromInput(1, packMessage(0x90, 60, 1)), 0u);
    EXPECT_EQ(devices.sendToSlotFromInput(0, packMessage(0xF8, 0, 0)), 0u);
    EXPECT_EQ(devices.droppedForAbsentDevices(), 1u);

    backend.addOutput("Synth C");
    backend.addOutput("Synth B");
    backend.addInput("Keys");
    seen = devices.refresh();
    EXPECT_EQ(seen.outputs, (std::vector<DeviceChange>{{DeviceChangeKind::Returned, 1},
                                                       {DeviceChangeKind::Arrived, 2}}));
    EXPECT_EQ(seen.inputs, changes(DeviceChangeKind::Returned, 0));
    ASSERT_NE(devices.outputHandle(1), nullptr);
    EXPECT_NE(devices.outputHandle(1)->incarnation(), firstOpening);
    EXPECT_EQ(count("Synth B", Kind::Open), 2);
    EXPECT_FALSE(backend.isOutputOpen("Synth C"));
    EXPECT_EQ(devices.outputNames(), (std::vector<std::string>{"Synth A", "Synth B", "Synth C"}));
    EXPECT_TRUE(backend.isInputOpen("Keys"));
    EXPECT_TRUE(devices.refresh().empty());

    // Every change was announced to the owner, which lists again once per drain.
    const testing::RecordingVisitor heard = [&] {
        testing::RecordingVisitor v;
        mailbox.drain(v);
        return v;
    }();
    EXPECT_EQ(heard.devicesChanged, 1);
}

TEST_F(DeviceSetTest, DevicesOnlyAFileNamesWaitAbsentWhileTheSlotTableGrowsUnderLiveInput) {
    // The input sends to the newest slot while the table is replaced by bigger ones.
    struct Sender : InputHandler {
        explicit Sender(MidiDeviceSet& d) : devices(d) {}
        void onShortMessage(PackedMessage m) noexcept override {
            devices.sendToSlotFromInput(target.load(std::memory_order_relaxed), m);
            devices.sendToSlotFromInput(0, m);
        }
        MidiDeviceSet& devices;
        std::atomic<int> target{0};
    } sender(devices);
    devices.setInputHandler(&sender);
    devices.openInput(0);
    devices.acquireOutput(0);
    std::atomic<bool> playing{true};
    std::atomic<int> played{0};
    std::thread keyboard([&] {
        while (playing.load(std::memory_order_relaxed)) {
            backend.inject(0, packMessage(0xF8, 0, 0));
            played.fetch_add(1, std::memory_order_release);
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 40; ++i) {
        const int before = played.load(std::memory_order_acquire);
        while (played.load(std::memory_order_acquire) < before + 2)
            std::this_thread::yield();
        const int index = devices.addAbsentOutput("Absent " + std::to_string(i));
        EXPECT_EQ(index, 2 + i);
        devices.acquireOutput(index);
        sender.target.store(index, std::memory_order_relaxed);
    }
    playing.store(false);
    keyboard.join();
    EXPECT_EQ(devices.addAbsentOutput("Absent 7"), 9);
    EXPECT_EQ(devices.useCount(41), 1);
    EXPECT_GT(devices.droppedForAbsentDevices(), 0u);
    EXPECT_GT(backend.shortMessages("Synth A").size(), 0u);

    backend.addOutput("Absent 39");
    const DeviceListChanges seen = devices.refresh();
    EXPECT_EQ(seen.outputs, (std::vector<DeviceChange>{{DeviceChangeKind::Appeared, 41}}));
    EXPECT_EQ(seen.readyOutputs, (std::vector<int>{41}));
    EXPECT_TRUE(backend.isOutputOpen("Absent 39"));
    // Routed to only once its owner has set it up.
    backend.inject(0, packMessage(0xF8, 0, 0));
    EXPECT_TRUE(backend.shortMessages("Absent 39").empty());
    devices.admitRouting(41);
    backend.inject(0, packMessage(0xFE, 0, 0));
    EXPECT_EQ(backend.shortMessages("Absent 39"), (std::vector<PackedMessage>{0xFE}));
    devices.closeAll();
}

}  // namespace
}  // namespace tarvelo
