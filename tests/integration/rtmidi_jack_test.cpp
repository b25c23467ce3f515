// The RtMidi adapter (the ALSA sequencer backend) run through RtMidi's JACK API, since machines
// without sound hardware have no ALSA sequencer: everything but the API choice is the same code.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "integration/jack_test_client.h"
#include "midi/backends/alsa/rtmidi_backend.h"
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

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

struct RtMidiThroughJack : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(keys.ok() && synth0.ok() && synth1.ok()) << "no JACK server";
        session = std::make_unique<LiveSession>(backend, host);
        session->newArrangement();
        ASSERT_EQ(session->devices().deviceName(true, 0), synth0.inputPort(0));
        // Keys 60..127 to synth1 on channel 1, twelve semitones up.
        session->split(0, 60);
        const int device1 = session->devices().findOutputByName(synth1.inputPort(0));
        session->setOutputDevice(1, device1);
        session->setChannel(1, 1);
        session->setNoteShift(1, 12);
        session->setTarget(1);
        session->setInputDevice(session->devices().findInputByName(keys.outputPort(0)));
        ASSERT_NE(session->devices().outputHandle(device1), nullptr);
    }

    RtMidiBackend backend{RtMidi::UNIX_JACK};
    testing::RecordingHost host;
    JackTestClient keys{uniqueName("rt-keys"), {}, {"out"}};
    JackTestClient synth0{uniqueName("rt-synth0"), {"in"}, {}};
    JackTestClient synth1{uniqueName("rt-synth1"), {"in"}, {}};
    std::unique_ptr<LiveSession> session;
};

TEST_F(RtMidiThroughJack, RoutesTheWorkedExample) {
    ASSERT_TRUE(keys.send(0, 10, {0x90, 0x3C, 0x64}));
    ASSERT_TRUE(keys.send(0, 10, {0xF8}));
    ASSERT_TRUE(keys.send(0, 10, {0xB3, 0x07, 0x64}));
    ASSERT_TRUE(synth1.waitForReceived(2));
    ASSERT_TRUE(synth0.waitForReceived(1));
    std::vector<Bytes> got;
    for (const MidiEvent& e : synth1.received())
        got.push_back(e.bytes);
    EXPECT_EQ(got, (std::vector<Bytes>{{0x91, 0x48, 0x64}, {0xB1, 0x07, 0x64}}));
    EXPECT_EQ(synth0.received().front().bytes, (Bytes{0xF8}));
}

TEST_F(RtMidiThroughJack, InterfaceSendsGoThroughTheirOwnConnectionAndLongOnesCompleteAtOnce) {
    OutputDevice& out = *session->devices().outputHandle(session->parts().partAt(1).outputDevice);
    std::thread player([this] {
        for (int i = 0; i < 50; ++i)
            keys.send(0, 0, {0x90, static_cast<std::uint8_t>(60 + i), 0x40});
    });
    const Bytes sysex{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    for (int i = 0; i < 50; ++i)
        out.sendShort(packMessage(0xC1, static_cast<std::uint8_t>(i), 0));
    out.sendLong(sysex, 3);
    player.join();
    RecordingVisitor done;
    session->mailbox().drain(done);
    EXPECT_EQ(done.completions, (std::vector<LongMessageToken>{3}));
    ASSERT_TRUE(synth1.waitForReceived(101));
    std::vector<Bytes> notes, others;
    for (const MidiEvent& e : synth1.received())
        (e.bytes[0] == 0x91 ? notes : others).push_back(e.bytes);
    ASSERT_EQ(notes.size(), 50u);
    ASSERT_EQ(others.size(), 51u);
    for (std::size_t i = 0; i < 50; ++i) {
        EXPECT_EQ(notes[i], (Bytes{0x91, static_cast<std::uint8_t>(72 + i), 0x40}));
        EXPECT_EQ(others[i], (Bytes{0xC1, static_cast<std::uint8_t>(i)}));
    }
    EXPECT_EQ(others.back(), sysex);
}

TEST_F(RtMidiThroughJack, ListsOtherClientsPortsButNeverItsOwn) {
    const auto inputs = backend.inputNames();
    const auto outputs = backend.outputNames();
    EXPECT_TRUE(contains(inputs, keys.outputPort(0)));
    EXPECT_TRUE(contains(outputs, synth0.inputPort(0)));
    EXPECT_TRUE(contains(outputs, synth1.inputPort(0)));
    // Open now: one input and two outputs (each with a second connection for the input thread).
    for (const auto* names : {&inputs, &outputs}) {
        for (const auto& name : *names)
            EXPECT_FALSE(rtmidi::isOwnPort(name, "Tarvelo")) << name;
    }
    struct Listener : LongMessageListener {
        void longMessageDone(LongMessageToken) noexcept override {}
    } listener;
    EXPECT_EQ(backend.openOutput("nobody:in", listener), nullptr);
}

}  // namespace
}  // namespace tarvelo
