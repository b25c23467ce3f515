// Devices that leave and come back on a JACK server, followed by a live session in this process.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "integration/jack_test_client.h"
#include "midi/backends/jack/jack_backend.h"
#include "session/live_session.h"
#include "support/scripted_message_boxes.h"

namespace tarvelo {
namespace {

using namespace std::chrono_literals;
using testing::JackTestClient;
using testing::uniqueName;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// A live session on the JACK backend with the owner's event loop of the program: drain when
// woken, hand notices back, list again on the relist interval.
struct JackStage : SessionHost {
    void noteReceived(PackedMessage) override {}
    void serverLost() override {}
    void serverBack() override {}
    void devicesChanged(const DeviceListChanges& c) override { changes.push_back(c); }
    void postInitSent(int part) override { posted.push_back(part); }
    MessageBoxes& messageBoxes() override { return boxes; }

    // Runs the event loop until done() holds or the timeout passes; true when it held.
    template <typename Done>
    bool runUntil(Done done, std::chrono::milliseconds timeout = 5s) {
        const auto deadline = Clock::now() + timeout;
        while (!done()) {
            if (Clock::now() >= deadline)
                return false;
            session.mailbox().wakeSignal().wait(5);
            session.drain();
            while (!posted.empty()) {
                const int part = posted.front();
                posted.pop_front();
                session.initialMessagesSent(part);
            }
        }
        return true;
    }
    bool heard(DeviceChangeKind kind, bool output) const {
        if (changes.empty())
            return false;
        const auto& list = output ? changes.back().outputs : changes.back().inputs;
        return !list.empty() && list.front().kind == kind;
    }

    JackBackend backend;
    testing::ScriptedMessageBoxes boxes;
    std::vector<DeviceListChanges> changes;
    std::deque<int> posted;
    LiveSession session{backend, *this};
};

std::unique_ptr<JackTestClient> makeSynth() {
    return std::make_unique<JackTestClient>(uniqueName("dc-synth"), std::vector<std::string>{"in"},
                                            std::vector<std::string>{});
}
std::unique_ptr<JackTestClient> makeKeys() {
    return std::make_unique<JackTestClient>(uniqueName("dc-keys"), std::vector<std::string>{},
                                            std::vector<std::string>{"out"});
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(JackDeviceChanges, ASynthOrKeyboardThatLeavesIsReconnectedAndTheSynthSetUpAgain) {
    JackStage stage;
    ASSERT_TRUE(stage.backend.connected()) << "no JACK server: run through ctest";
    auto synth = makeSynth();
    auto keys = makeKeys();
    ASSERT_TRUE(synth->ok() && keys->ok());
    stage.session.newArrangement();
    const MidiDeviceSet& devices = stage.session.devices();
    const int synthIndex = devices.findOutputByName(synth->inputPort(0));
    ASSERT_GE(synthIndex, 0);
    ASSERT_TRUE(stage.session.setOutputDevice(0, synthIndex));
    ASSERT_TRUE(stage.session.setInputDevice(devices.findInputByName(keys->outputPort(0))));
    stage.session.setChannel(0, 3);
    stage.session.messageList(0).append(InitialMessage{0, 0xB0, 7, 100, {}, 0});
    const Bytes setUp{0xB3, 7, 100};
    stage.session.sendInitialMessages(0);
    ASSERT_TRUE(synth->waitForReceived(1));
    ASSERT_TRUE(keys->send(0, 0, {0x90, 60, 90}));  // held while the synth goes
    ASSERT_TRUE(synth->waitForReceived(2));

    synth.reset();
    ASSERT_TRUE(stage.runUntil([&] { return stage.heard(DeviceChangeKind::Left, true); }));
    synth = makeSynth();
    const auto back = Clock::now();
    ASSERT_TRUE(synth->ok());
    ASSERT_TRUE(stage.runUntil([&] { return !synth->received().empty(); }))
        << "the synth was not set up again";
    std::printf("[ figures  ] synth back to its initial messages received: %.1f ms\n",
                millisecondsSince(back));
    EXPECT_EQ(synth->received().front().bytes, setUp);
    ASSERT_TRUE(keys->send(0, 0, {0x80, 60, 0}));  // its note on went to the old port
    ASSERT_TRUE(keys->send(0, 0, {0x90, 62, 80}));
    ASSERT_TRUE(synth->waitForReceived(2));
    EXPECT_EQ(synth->received()[1].bytes, (Bytes{0x93, 62, 80}));

    keys.reset();
    ASSERT_TRUE(stage.runUntil([&] { return stage.heard(DeviceChangeKind::Left, false); }));
    keys = makeKeys();
    const auto keysBack = Clock::now();
    ASSERT_TRUE(keys->ok());
    ASSERT_TRUE(stage.runUntil([&] { return stage.heard(DeviceChangeKind::Returned, false); }));
    std::printf("[ figures  ] keyboard back to reconnected: %.1f ms\n",
                millisecondsSince(keysBack));
    // The note held when the keyboard went was ended where it sounded.
    ASSERT_TRUE(synth->waitForReceived(3));
    EXPECT_EQ(synth->received()[2].bytes, (Bytes{0x83, 62, 0}));
    ASSERT_TRUE(keys->send(0, 0, {0x90, 64, 70}));
    ASSERT_TRUE(synth->waitForReceived(4));
    EXPECT_EQ(synth->received()[3].bytes, (Bytes{0x93, 64, 70}));
    stage.session.shutdown();
}

}  // namespace
}  // namespace tarvelo
