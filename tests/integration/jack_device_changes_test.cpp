// Devices that leave and come back on a JACK server, followed by a live session in this process.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "integration/jack_child.h"
#include "integration/jack_test_client.h"
#include "midi/backends/jack/jack_backend.h"
#include "session/live_session.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_dir.h"

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
            const auto interval = session.relistInterval();
            if (interval.count() > 0 && Clock::now() - lastListing >= interval) {
                lastListing = Clock::now();
                session.followDevices();
            }
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
    // How many times the session has reported that kind of change, of an output or input.
    int count(DeviceChangeKind kind, bool output) const {
        int n = 0;
        for (const DeviceListChanges& c : changes) {
            for (const DeviceChange& d : output ? c.outputs : c.inputs)
                n += d.kind == kind;
        }
        return n;
    }

    JackBackend backend;
    Clock::time_point lastListing = Clock::now();
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

// How a client on stage ends, and how it comes back.
struct Departure {
    const char* name;
    int signal;           // 0: it closes its client and exits by itself
    int activateAfterMs;  // when it comes back: its ports exist this long before it is active
};
constexpr Departure kDepartures[] = {
    {"exits", 0, 0},
    {"SIGTERM", SIGTERM, 0},
    {"SIGKILL", SIGKILL, 0},
    {"ports before activation", SIGKILL, 300},
};

// Leave/return cycles per cause: 1 in the test run; TARVELO_DEPARTURE_CYCLES=20 for the report.
int departureCycles() {
    const char* text = std::getenv("TARVELO_DEPARTURE_CYCLES");
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 1;
}

struct Millis {
    std::vector<double> values;
    void add(std::int64_t ns) { values.push_back(static_cast<double>(ns) / 1e6); }
    double median() {
        std::sort(values.begin(), values.end());
        return values.empty() ? 0 : values[values.size() / 2];
    }
    double max() const {
        return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    }
};

bool isNote(const testing::ChildEvent& e) {
    return !e.bytes.empty() && (e.bytes[0] & 0xE0) == 0x80;
}

// Notes and pedals a stream leaves on: note ons without their note off, pedals down without
// their release.
int leftSounding(const std::vector<std::vector<std::uint8_t>>& stream) {
    std::map<int, bool> on;
    for (const auto& m : stream) {
        if (m.size() < 3)
            continue;
        const int kind = m[0] & 0xF0;
        const int key = (m[0] & 0x0F) * 256 + m[1];
        if (kind == 0x90 || kind == 0x80)
            on[key] = kind == 0x90 && m[2] != 0;
        else if (kind == 0xB0 && (m[1] == 64 || m[1] == 66 || m[1] == 67))
            on[0x10000 + key] = m[2] >= 64;
    }
    return static_cast<int>(std::count_if(on.begin(), on.end(), [](const auto& e) { return e.second; }));
}

TEST(JackDeviceChanges, ASynthClientThatEndsIsFollowedAndSetUpBeforeItPlaysWhateverTheCause) {
    testing::TempDir dir;
    const int cycles = departureCycles();
    for (const Departure& departure : kDepartures) {
        SCOPED_TRACE(departure.name);
        JackStage stage;
        ASSERT_TRUE(stage.backend.connected()) << "no JACK server: run through ctest";
        const std::string synthName = uniqueName("dep-synth");
        const std::vector<std::string> synthPorts{"--in", "in"};
        auto synth = std::make_unique<testing::ChildClient>(dir, synthName, synthPorts);
        testing::ChildClient keys(dir, uniqueName("dep-keys"), {"--out", "out", "--play-every", "5"});
        ASSERT_TRUE(synth->waitActive() && keys.waitActive());
        stage.session.newArrangement();
        const MidiDeviceSet& devices = stage.session.devices();
        stage.runUntil([&] { return devices.findOutputByName(synthName + ":in") >= 0; });
        ASSERT_TRUE(stage.session.setOutputDevice(0, devices.findOutputByName(synthName + ":in")));
        ASSERT_TRUE(stage.session.setInputDevice(devices.findInputByName(uniqueName("dep-keys") + ":out")));
        stage.session.messageList(0).append(InitialMessage{1, 0xC0, 5, -1, {}, 0});
        const auto isSetUp = [](const testing::ChildEvent& e) { return e.bytes == Bytes{0xC0, 5}; };

        Millis toSetUp;
        Millis toNote;
        int back = 0;
        for (int cycle = 0; cycle < cycles; ++cycle) {
            const int returnsBefore = stage.count(DeviceChangeKind::Returned, true);
            synth->end(departure.signal);
            ASSERT_TRUE(stage.runUntil([&] { return stage.count(DeviceChangeKind::Left, true) > cycle; }))
                << "the synth's departure was not noticed";
            std::vector<std::string> args = synthPorts;
            if (departure.activateAfterMs > 0) {
                args.push_back("--activate-after");
                args.push_back(std::to_string(departure.activateAfterMs));
            }
            synth = std::make_unique<testing::ChildClient>(dir, synthName, args);
            const std::optional<std::int64_t> active = synth->waitActive();
            ASSERT_TRUE(active);
            std::optional<std::size_t> note;
            stage.runUntil([&] {
                note = synth->waitForEvent(isNote, std::chrono::milliseconds(0));
                return note.has_value();
            });
            if (!note)
                continue;
            const std::vector<testing::ChildEvent> heard = synth->received();
            const auto setUp = std::find_if(heard.begin(), heard.end(), isSetUp);
            ASSERT_NE(setUp, heard.end()) << "the synth got notes but not its program";
            EXPECT_LT(setUp - heard.begin(), static_cast<std::ptrdiff_t>(*note))
                << "a note reached the synth before its program";
            EXPECT_EQ(stage.count(DeviceChangeKind::Returned, true), returnsBefore + 1);
            ++back;
            toSetUp.add(setUp->ns - *active);
            toNote.add(heard[*note].ns - *active);
        }
        EXPECT_EQ(back, cycles);
        std::printf("[ figures  ] synth %s: %d of %d back; client active to program received: median "
                    "%.1f ms, max %.1f ms; to first routed note: median %.1f ms, max %.1f ms\n",
                    departure.name, back, cycles, toSetUp.median(), toSetUp.max(), toNote.median(),
                    toNote.max());
        stage.session.shutdown();
    }
}

TEST(JackDeviceChanges, AKeyboardClientThatEndsMidChordLeavesNothingSoundingAndIsPlayedAgain) {
    testing::TempDir dir;
    const int cycles = departureCycles();
    for (const Departure& departure : kDepartures) {
        SCOPED_TRACE(departure.name);
        JackStage stage;
        ASSERT_TRUE(stage.backend.connected()) << "no JACK server: run through ctest";
        auto synth = makeSynth();
        ASSERT_TRUE(synth->ok());
        const std::string keysName = uniqueName("dep-keys");
        const std::vector<std::string> keysPorts{"--out", "out"};
        auto keys = std::make_unique<testing::ChildClient>(dir, keysName, keysPorts);
        ASSERT_TRUE(keys->waitActive());
        stage.session.newArrangement();
        const MidiDeviceSet& devices = stage.session.devices();
        ASSERT_TRUE(stage.session.setOutputDevice(0, devices.findOutputByName(synth->inputPort(0))));
        ASSERT_TRUE(stage.session.setInputDevice(devices.findInputByName(keysName + ":out")));
        ASSERT_TRUE(stage.runUntil([&] { return devices.inputConnected(); }));

        Millis toReconnected;
        int back = 0;
        for (int cycle = 0; cycle < cycles; ++cycle) {
            const std::size_t before = synth->received().size();
            const std::vector<Bytes> chord{{0x90, 60, 90}, {0x90, 64, 90}, {0x90, 67, 90},
                                           {0xB0, 64, 127}};
            for (const Bytes& m : chord)
                keys->send(0, m);
            ASSERT_TRUE(synth->waitForReceived(before + chord.size()));
            keys->end(departure.signal);
            ASSERT_TRUE(stage.runUntil([&] { return stage.count(DeviceChangeKind::Left, false) > cycle; }))
                << "the keyboard's departure was not noticed";
            ASSERT_TRUE(synth->waitForReceived(before + 2 * chord.size()));
            std::vector<std::vector<std::uint8_t>> stream;
            for (const testing::MidiEvent& e : synth->received())
                stream.push_back(e.bytes);
            EXPECT_EQ(leftSounding(stream), 0) << "pulling the keyboard left notes or the pedal on";

            std::vector<std::string> args = keysPorts;
            if (departure.activateAfterMs > 0) {
                args.push_back("--activate-after");
                args.push_back(std::to_string(departure.activateAfterMs));
            }
            keys = std::make_unique<testing::ChildClient>(dir, keysName, args);
            const std::optional<std::int64_t> active = keys->waitActive();
            ASSERT_TRUE(active);
            if (!stage.runUntil([&] { return stage.count(DeviceChangeKind::Returned, false) > cycle; }))
                continue;
            toReconnected.add(testing::monotonicNs() - *active);
            const std::size_t sentBefore = synth->received().size();
            keys->send(0, {0x90, 72, 80});
            keys->send(0, {0x80, 72, 0});
            if (!synth->waitForReceived(sentBefore + 2))
                continue;
            ++back;
        }
        EXPECT_EQ(back, cycles);
        std::printf("[ figures  ] keyboard %s: %d of %d back and played again; client active to "
                    "reconnected: median %.1f ms, max %.1f ms\n",
                    departure.name, back, cycles, toReconnected.median(), toReconnected.max());
        stage.session.shutdown();
    }
}

}  // namespace
}  // namespace tarvelo
