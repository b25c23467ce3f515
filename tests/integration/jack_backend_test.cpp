#include "midi/backends/jack/jack_backend.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "integration/jack_test_client.h"
#include "session/live_session.h"
#include "support/recording_host.h"

namespace tarvelo {
namespace {

using namespace std::chrono_literals;
using testing::JackTestClient;
using testing::MidiEvent;
using testing::RecordingVisitor;
using testing::uniqueName;
using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> bytesOf(const std::vector<MidiEvent>& events) {
    std::vector<Bytes> out;
    for (const MidiEvent& e : events)
        out.push_back(e.bytes);
    return out;
}

std::size_t indexOf(const std::vector<std::string>& names, const std::string& name) {
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

// Waits until the owner's mailbox has delivered what until() asks for.
template <typename Until>
RecordingVisitor drainUntil(OwnerMailbox& mailbox, Until until,
                            std::chrono::milliseconds timeout = 3s) {
    RecordingVisitor seen;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!until(seen) && std::chrono::steady_clock::now() < deadline) {
        mailbox.wakeSignal().wait(10);
        RecordingVisitor now;
        mailbox.drain(now);
        seen.notes.insert(seen.notes.end(), now.notes.begin(), now.notes.end());
        seen.completions.insert(seen.completions.end(), now.completions.begin(),
                                now.completions.end());
        seen.serverLost += now.serverLost;
        seen.devicesChanged += now.devicesChanged;
    }
    return seen;
}

// A keyboard and three synthesizers (test clients) on the shared test server, and the
// arrangement of the worked example on a JACK backend:
//   Part 0: keys 0..59    on synth0, channel 0
//   Part 1: keys 60..119  on synth1, channel 1, shift +12
//   Part 2: keys 120..127 on synth2, channel 5 - the channel-message target
struct JackRoutingTest : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(backend.connected()) << "no JACK server: run through ctest, which starts one "
                                            "(tests/integration/jack_server.sh)";
        for (JackTestClient* c : {&keys, &synth0, &synth1, &synth2})
            ASSERT_TRUE(c->ok());
        session = std::make_unique<LiveSession>(backend, host);
        session->newArrangement();
        // System messages go to device 0: the first MIDI input port on the server.
        ASSERT_EQ(session->devices().deviceName(true, 0), synth0.inputPort(0))
            << "another client's MIDI port comes first on the test server";
        session->split(0, 60);
        session->split(1, 120);
        session->setOutputDevice(1, device(synth1));
        session->setChannel(1, 1);
        session->setNoteShift(1, 12);
        session->setOutputDevice(2, device(synth2));
        session->setChannel(2, 5);
        session->setTarget(2);
        session->setInputDevice(session->devices().findInputByName(keys.outputPort(0)));
        ASSERT_NE(session->devices().inputDevice(), NO_INPUT);
        // A server may show a connection a cycle or two after it was asked for (PipeWire does);
        // the session follows until every device is connected.
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (session->relistInterval().count() != 0 && std::chrono::steady_clock::now() < deadline) {
            mailbox().wakeSignal().wait(5);
            session->drain();
            session->followDevices();
        }
        ASSERT_TRUE(session->devices().inputConnected());
        ASSERT_NE(session->devices().outputHandle(device(synth1)), nullptr);
    }

    int device(const JackTestClient& synth) const {
        return session->devices().findOutputByName(synth.inputPort(0));
    }
    OutputDevice& output(const JackTestClient& synth) {
        return *session->devices().outputHandle(device(synth));
    }
    OwnerMailbox& mailbox() { return session->mailbox(); }

    JackBackend backend;
    testing::RecordingHost host;
    JackTestClient keys{uniqueName("keys"), {}, {"out"}};
    JackTestClient synth0{uniqueName("synth0"), {"in"}, {}};
    JackTestClient synth1{uniqueName("synth1"), {"in"}, {}};
    JackTestClient synth2{uniqueName("synth2"), {"in"}, {}};
    std::unique_ptr<LiveSession> session;  // last: its devices close before the clients go
};

TEST_F(JackRoutingTest, WorkedExampleIsRoutedInTheSameCycleAtTheSameFrame) {
    ASSERT_TRUE(keys.sendInOneCycle(
        {{0, 17, {0xF8}}, {0, 100, {0x90, 0x3C, 0x64}}, {0, 200, {0xB3, 0x07, 0x64}}}));
    ASSERT_TRUE(synth0.waitForReceived(1));
    ASSERT_TRUE(synth1.waitForReceived(1));
    ASSERT_TRUE(synth2.waitForReceived(1));
    const std::vector<MidiEvent> sent = keys.sent();
    ASSERT_EQ(sent.size(), 3u);

    const auto clock = synth0.received();
    const auto note = synth1.received();
    const auto control = synth2.received();
    ASSERT_EQ(clock.size(), 1u);
    ASSERT_EQ(note.size(), 1u);
    ASSERT_EQ(control.size(), 1u);
    EXPECT_EQ(clock[0].bytes, (Bytes{0xF8}));
    EXPECT_EQ(note[0].bytes, (Bytes{0x91, 0x48, 0x64}));
    EXPECT_EQ(control[0].bytes, (Bytes{0xB5, 0x07, 0x64}));
    // Same cycle, same frame: routing adds no latency.
    EXPECT_EQ(clock[0].frame, sent[0].frame);
    EXPECT_EQ(note[0].frame, sent[1].frame);
    EXPECT_EQ(control[0].frame, sent[2].frame);

    // The note is posted as played, untransposed, for the keyboard picture.
    const auto seen =
        drainUntil(mailbox(), [](const RecordingVisitor& v) { return !v.notes.empty(); });
    EXPECT_EQ(seen.notes, (std::vector<PackedMessage>{packMessage(0x90, 0x3C, 0x64)}));
}

TEST_F(JackRoutingTest, ExclusiveAndTornInputIsIgnoredAndPackedMessagesAreSplit) {
    ASSERT_TRUE(keys.send(0, 5, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
    ASSERT_TRUE(keys.send(0, 5, {0x90, 0x3C}));
    ASSERT_TRUE(keys.send(0, 5, {0x90, 0x3E, 0x40, 0x80, 0x3E, 0x00}));
    ASSERT_TRUE(keys.waitUntilSent());
    ASSERT_TRUE(synth1.waitForReceived(2));
    std::this_thread::sleep_for(30ms);  // a few more cycles: nothing else may come
    EXPECT_EQ(bytesOf(synth1.received()),
              (std::vector<Bytes>{{0x91, 0x4A, 0x40}, {0x81, 0x4A, 0x00}}));
    EXPECT_TRUE(synth0.received().empty());
    EXPECT_TRUE(synth2.received().empty());
}

TEST_F(JackRoutingTest, InterfaceSendsAndLiveNotesBothArriveWholeAndInOrder) {
    // What the interface thread sends, as an initial-message list would: program changes and
    // controllers with a system-exclusive message now and then.
    std::vector<Bytes> sysex;
    for (int i = 0; i < 8; ++i) {
        Bytes b{0xF0, 0x43, 0x10};
        for (int k = 0; k < 200 + 37 * i; ++k)
            b.push_back(static_cast<std::uint8_t>((k + i) & 0x7F));
        b.push_back(0xF7);
        sysex.push_back(std::move(b));
    }
    std::vector<Bytes> fromInterface;
    std::thread player([this] {
        // Live notes on keys 60..115 (72..127 once shifted), one pair per cycle, at varying
        // frames.
        for (int i = 0; i < 120; ++i) {
            const auto key = static_cast<std::uint8_t>(60 + i % 56);
            keys.sendInOneCycle(
                {{0, static_cast<std::uint32_t>((i * 37) % 250), {0x90, key, 0x50}},
                 {0, static_cast<std::uint32_t>((i * 37) % 250 + 3), {0x80, key, 0x00}}});
        }
    });
    OutputDevice& out = output(synth1);
    for (int i = 0; i < 80; ++i) {
        const auto program = static_cast<std::uint8_t>(i);
        out.sendShort(packMessage(0xC1, program, 0));
        fromInterface.push_back({0xC1, program});
        if (i % 10 == 9) {
            const Bytes& b = sysex[static_cast<std::size_t>(i / 10)];
            out.sendLong(b, static_cast<LongMessageToken>(i / 10));
            fromInterface.push_back(b);
        }
        std::this_thread::sleep_for(1ms);
    }
    player.join();
    ASSERT_TRUE(keys.waitUntilSent());
    ASSERT_TRUE(synth1.waitForReceived(240 + fromInterface.size()));

    std::vector<Bytes> notes;
    std::vector<Bytes> others;
    for (const Bytes& b : bytesOf(synth1.received())) {
        ASSERT_FALSE(b.empty());
        ((b[0] & 0xF0) == 0x90 || (b[0] & 0xF0) == 0x80 ? notes : others).push_back(b);
    }
    EXPECT_EQ(others, fromInterface);
    ASSERT_EQ(notes.size(), 240u);
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const auto key = static_cast<std::uint8_t>(60 + (i / 2) % 56 + 12);
        EXPECT_EQ(notes[i], (i % 2 == 0 ? Bytes{0x91, key, 0x50} : Bytes{0x81, key, 0x00})) << i;
    }
    const auto seen =
        drainUntil(mailbox(), [](const RecordingVisitor& v) { return v.completions.size() >= 8; });
    std::vector<LongMessageToken> expected(8);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(seen.completions, expected);
    EXPECT_EQ(backend.droppedMessages(), 0u);
}

TEST_F(JackRoutingTest, ExclusiveMessageBiggerThanABufferIsReportedDoneAndTheRestFlows) {
    Bytes huge(100000, 0x11);
    huge.front() = 0xF0;
    huge.back() = 0xF7;
    OutputDevice& out = output(synth1);
    out.sendLong(huge, 77);
    out.sendShort(packMessage(0xC1, 9, 0));
    const auto seen =
        drainUntil(mailbox(), [](const RecordingVisitor& v) { return !v.completions.empty(); });
    EXPECT_EQ(seen.completions, (std::vector<LongMessageToken>{77}));
    ASSERT_TRUE(synth1.waitForReceived(1));
    EXPECT_EQ(bytesOf(synth1.received()), (std::vector<Bytes>{{0xC1, 9}}));
    EXPECT_EQ(backend.droppedMessages(), 1u);
}

TEST_F(JackRoutingTest, ClosingAnOutputLetsItsSilencingMessagesOutBeforeThePortGoes) {
    ASSERT_TRUE(keys.send(0, 10, {0x90, 0x40, 0x7F}));
    ASSERT_TRUE(synth1.waitForReceived(1));
    const char* const* before = jack_port_get_all_connections(
        synth1.client(), jack_port_by_name(synth1.client(), synth1.inputPort(0).c_str()));
    ASSERT_NE(before, nullptr);
    const std::string ourPort = before[0];
    jack_free(const_cast<char**>(before));

    session->setOutputDevice(1, device(synth2));  // Part 1 held synth1's last use
    ASSERT_TRUE(synth1.waitForReceived(1 + 1 + 16, 1s));
    // Channel by channel: the notes left sounding there, then Sustain off.
    std::vector<Bytes> expected{{0x91, 0x4C, 0x7F}};
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        if (channel == 1)
            expected.push_back({0x81, 0x4C, 0x00});
        expected.push_back({static_cast<std::uint8_t>(0xB0 | channel), 64, 0});
    }
    EXPECT_EQ(bytesOf(synth1.received()), expected);
    EXPECT_EQ(jack_port_by_name(synth1.client(), ourPort.c_str()), nullptr)
        << ourPort << " still exists";
}

TEST_F(JackRoutingTest, DevicesAreOtherClientsPortsInServerOrderNeverOurOwn) {
    const std::vector<std::string> inputs = backend.inputNames();
    const std::vector<std::string> outputs = backend.outputNames();
    EXPECT_NE(indexOf(inputs, keys.outputPort(0)), inputs.size());
    EXPECT_LT(indexOf(outputs, synth0.inputPort(0)), indexOf(outputs, synth1.inputPort(0)));
    EXPECT_LT(indexOf(outputs, synth1.inputPort(0)), indexOf(outputs, synth2.inputPort(0)));
    EXPECT_LT(indexOf(outputs, synth2.inputPort(0)), outputs.size());
    // Our ports exist now (one input, three outputs) but are never offered as devices.
    const std::string ours = backend.clientName() + ":";
    for (const auto& name : inputs)
        EXPECT_NE(name.rfind(ours, 0), 0u) << name;
    for (const auto& name : outputs)
        EXPECT_NE(name.rfind(ours, 0), 0u) << name;
    const char** mine =
        jack_get_ports(keys.client(), ("^" + ours).c_str(), JACK_DEFAULT_MIDI_TYPE, 0);
    ASSERT_NE(mine, nullptr);
    int count = 0;
    while (mine[count] != nullptr)
        ++count;
    jack_free(mine);
    EXPECT_EQ(count, 4);
}

TEST_F(JackRoutingTest, PortsThatArriveAreRenamedOrLeaveAreAnnouncedAndListedWhenHeardOf) {
    backend.setDeviceChangeListener(&mailbox());
    const auto announced = [](const RecordingVisitor& v) { return v.devicesChanged > 0; };
    const auto listed = [this](const std::string& port) {
        const std::vector<std::string> names = backend.outputNames();
        return std::find(names.begin(), names.end(), port) != names.end();
    };
    drainUntil(
        mailbox(), [](const RecordingVisitor&) { return false; }, 50ms);

    auto late = std::make_unique<JackTestClient>(uniqueName("late"), std::vector<std::string>{"in"},
                                                 std::vector<std::string>{});
    ASSERT_TRUE(late->ok());
    EXPECT_GT(drainUntil(mailbox(), announced).devicesChanged, 0);
    EXPECT_TRUE(listed(late->inputPort(0)));

    const std::string oldName = late->inputPort(0);
    jack_port_t* port = jack_port_by_name(late->client(), oldName.c_str());
    ASSERT_EQ(jack_port_rename(late->client(), port, "renamed"), 0);
    EXPECT_GT(drainUntil(mailbox(), announced).devicesChanged, 0);
    EXPECT_FALSE(listed(oldName));
    EXPECT_TRUE(listed(jack_port_name(port)));

    late.reset();
    EXPECT_GT(drainUntil(mailbox(), announced).devicesChanged, 0);
    EXPECT_FALSE(listed(oldName.substr(0, oldName.find(':')) + ":renamed"));
    // The owner lists again while the graph settles after a change; once it has been quiet,
    // announced changes need no polling while the server is there.
    EXPECT_GT(backend.relistInterval(), std::chrono::milliseconds::zero());
    const auto quiet = [this](const RecordingVisitor&) { return backend.relistInterval().count() == 0; };
    drainUntil(mailbox(), quiet, 5s);
    EXPECT_EQ(backend.relistInterval(), std::chrono::milliseconds::zero());
}

TEST_F(JackRoutingTest, OpeningADeviceThatIsGoneIsRefusedQuietly) {
    struct Handler : InputHandler {
        void onShortMessage(PackedMessage) noexcept override {}
    } handler;
    EXPECT_EQ(backend.openInput("nobody:out", handler), nullptr);
    EXPECT_EQ(backend.openOutput("nobody:in", mailbox()), nullptr);
    // A failed open leaves no port of ours behind.
    EXPECT_EQ(jack_port_by_name(keys.client(), (backend.clientName() + ":in 2").c_str()), nullptr);
    EXPECT_EQ(jack_port_by_name(keys.client(), (backend.clientName() + ":out 4").c_str()), nullptr);
}

}  // namespace
}  // namespace tarvelo
