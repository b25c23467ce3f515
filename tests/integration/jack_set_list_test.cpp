#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "integration/jack_test_client.h"
#include "integration/private_jack_server.h"
#include "midi/backends/jack/jack_backend.h"
#include "model/arrangement_file.h"
#include "session/live_session.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tarvelo {
namespace {

using namespace std::chrono_literals;
using testing::JackTestClient;
using testing::MidiEvent;
using testing::uniqueName;
using Bytes = std::vector<std::uint8_t>;

StoredPart part(int low, int high, const std::string& device, std::uint8_t channel, int shift,
                int program) {
    StoredPart p;
    p.part.lowKey = static_cast<std::uint8_t>(low);
    p.part.highKey = static_cast<std::uint8_t>(high);
    p.part.channel = channel;
    p.part.noteShift = shift;
    p.outputDeviceName = device;
    p.messages.append(InitialMessage{0, 0xC0, program, 0, {}, 0});
    return p;
}

// A keyboard and three synthesizers on the test server, and a set list of three songs:
//   A (program 0): keys 0..59 on synthA channel 1, 60..127 on synthB channel 1.
//   B (program 1): keys 0..59 on synthB channel 4 (+12), 60..127 on synthA channel 3.
//   C (program 2): every key on synthC channel 1, which only C uses (opened and closed).
// Every song's first Part is its target; all Parts follow the pedals. The server is the test's
// own and synchronous: a machine busy with other work must not drop a late client's cycle, which
// would lose messages no program could have kept.
struct JackSetList : ::testing::Test {
    static testing::PrivateJackServer& startedServer(testing::PrivateJackServer& server) {
        server.setSynchronous(true);
        server.start();
        return server;
    }

    void SetUp() override {
        ASSERT_TRUE(server.running());
        ASSERT_TRUE(backend.connected());
        for (JackTestClient* c : {&keys, &synthA, &synthB, &synthC})
            ASSERT_TRUE(c->ok());
        const std::string a = synthA.inputPort(0), b = synthB.inputPort(0), c = synthC.inputPort(0);
        write("a.trv", {part(0, 59, a, 0, 0, 10), part(60, 127, b, 0, 0, 11)});
        write("b.trv", {part(0, 59, b, 3, 12, 20), part(60, 127, a, 2, 0, 21)});
        write("c.trv", {part(0, 127, c, 0, 0, 30)});
        std::ofstream(dir.file("show.txt")) << "a.trv\nb.trv\nc.trv\n";
        session = std::make_unique<LiveSession>(backend, host);
        ASSERT_TRUE(session->loadSetList(dir.file("show.txt")).empty());
        session->sendAllInitialMessages();
        settle(5s, [&] { return session->relistInterval().count() == 0; });
        ASSERT_TRUE(session->devices().inputConnected());
    }

    void write(const char* name, std::vector<StoredPart> parts) {
        StoredArrangement arrangement;
        arrangement.inputDeviceName = keys.outputPort(0);
        arrangement.parts = std::move(parts);
        arrangement.targetPart = 0;
        arrangement.targetDeviceName = arrangement.parts.front().outputDeviceName;
        arrangement.targetChannel = arrangement.parts.front().part.channel;
        arrangement.nextPartNumber = static_cast<std::int32_t>(arrangement.parts.size()) + 1;
        CompanionSettings companion;
        for (std::size_t i = 0; i < arrangement.parts.size(); ++i)
            companion.parts.push_back({true, false});
        ASSERT_EQ(writeArrangementFiles(dir.file(name), arrangement, companion), std::nullopt);
    }

    // The owner's event loop, until done() or the timeout.
    template <typename Done>
    void settle(std::chrono::milliseconds timeout, Done done) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done() && std::chrono::steady_clock::now() < deadline)
            ownerTurn(5);
    }
    void ownerTurn(int waitMs) {
        session->mailbox().wakeSignal().wait(waitMs);
        session->drain();
        while (!host.posted.empty()) {
            const int posted = host.posted.front();
            host.posted.erase(host.posted.begin());
            session->initialMessagesSent(posted);
        }
        session->followDevices();
    }

    testing::TempDir dir;
    testing::PrivateJackServer server{uniqueName("tarvelo-setlist")};
    const std::string serverName = startedServer(server).name();
    JackBackend backend{serverName};
    testing::RecordingHost host;
    JackTestClient keys{"keys", {}, {"out"}, serverName};
    JackTestClient synthA{"synthA", {"in"}, {}, serverName};
    JackTestClient synthB{"synthB", {"in"}, {}, serverName};
    JackTestClient synthC{"synthC", {"in"}, {}, serverName};
    std::unique_ptr<LiveSession> session;  // last: its devices close before the clients go
};

TEST_F(JackSetList, TheNoteAfterTheSwitchingProgramChangeIsRoutedByTheNewSongInTheSameCycle) {
    const std::size_t beforeA = synthA.received().size(), beforeB = synthB.received().size();
    ASSERT_TRUE(keys.sendInOneCycle({{0, 40, {0xC0, 1}}, {0, 40, {0x90, 40, 100}}}));
    ASSERT_TRUE(synthB.waitForReceived(beforeB + 2));
    ASSERT_TRUE(synthA.waitForReceived(beforeA + 1));
    const MidiEvent sent = keys.sent().back();
    const std::vector<MidiEvent> b = synthB.received();
    const std::vector<MidiEvent> a = synthA.received();
    // The new song's set-up, then the note as the new song routes it, at the very frame played.
    EXPECT_EQ(b[beforeB].bytes, (Bytes{0xC3, 20}));
    EXPECT_EQ(b[beforeB + 1].bytes, (Bytes{0x93, 52, 100}));
    EXPECT_EQ(b[beforeB + 1].frame, sent.frame);
    EXPECT_EQ(a[beforeA].bytes, (Bytes{0xC2, 21}));
    EXPECT_EQ(a[beforeA].frame, sent.frame);
}

// Whether bytes are one whole short message, as its status byte says.
bool wellFormed(const Bytes& m) {
    if (m.empty() || m[0] < 0x80 || m[0] >= 0xF0)
        return false;
    const std::size_t expected = (m[0] & 0xE0) == 0xC0 ? 2 : 3;
    if (m.size() != expected)
        return false;
    for (std::size_t i = 1; i < m.size(); ++i) {
        if (m[i] >= 0x80)
            return false;
    }
    return true;
}

TEST_F(JackSetList, AThousandRandomSwitchesUnderADenseStreamLeaveNothingSounding) {
    std::mt19937 random(20261208);
    std::vector<bool> held(128, false);
    bool pedal = false;
    int switches = 0;
    while (switches < 1000) {
        std::vector<testing::Outgoing> cycle;
        for (std::uint32_t offset = 0; offset < 200; offset += 25) {
            const auto roll = random() % 16;
            if (roll == 0) {
                cycle.push_back({0, offset, {0xC0, static_cast<std::uint8_t>(random() % 3)}});
                ++switches;
            } else if (roll == 1) {
                pedal = !pedal;
                cycle.push_back(
                    {0, offset, {0xB0, 64, static_cast<std::uint8_t>(pedal ? 127 : 0)}});
            } else {
                const auto key = static_cast<std::uint8_t>(random() % 128);
                cycle.push_back(
                    {0, offset, {static_cast<std::uint8_t>(held[key] ? 0x80 : 0x90), key, 90}});
                held[key] = !held[key];
            }
        }
        ASSERT_TRUE(keys.sendInOneCycle(cycle));
        ownerTurn(0);
    }
    // Everything still held is let go, the pedal last.
    std::vector<testing::Outgoing> release;
    for (std::uint8_t key = 0; key < 128; ++key) {
        if (held[key])
            release.push_back({0, 0, {0x80, key, 0}});
        if (release.size() == 15) {
            ASSERT_TRUE(keys.sendInOneCycle(release));
            release.clear();
        }
    }
    release.push_back({0, 0, {0xB0, 64, 0}});
    ASSERT_TRUE(keys.sendInOneCycle(release));
    ASSERT_TRUE(keys.waitUntilSent());
    settle(1s, [] { return false; });

    for (const JackTestClient* synth : {&synthA, &synthB, &synthC}) {
        std::map<std::pair<int, int>, int> sounding;  // (channel, key) -> note ons not released
        std::map<int, bool> pedalDown;
        int malformed = 0;
        for (const MidiEvent& e : synth->received()) {
            if (!wellFormed(e.bytes)) {
                ++malformed;
                continue;
            }
            const int kind = e.bytes[0] & 0xF0, channel = e.bytes[0] & 0x0F;
            if (kind == 0x90 && e.bytes[2] > 0) {
                ++sounding[{channel, e.bytes[1]}];
            } else if (kind == 0x80 || kind == 0x90) {
                int& count = sounding[{channel, e.bytes[1]}];
                count = std::max(0, count - 1);
            } else if (kind == 0xB0 && e.bytes[1] == 64) {
                pedalDown[channel] = e.bytes[2] >= 64;
            }
        }
        EXPECT_EQ(malformed, 0) << synth->inputPort(0);
        for (const auto& [where, count] : sounding)
            EXPECT_EQ(count, 0) << synth->inputPort(0) << " channel " << where.first + 1 << " key "
                                << where.second;
        for (const auto& [channel, down] : pedalDown)
            EXPECT_FALSE(down) << synth->inputPort(0) << " channel " << channel + 1;
    }
    EXPECT_GT(host.songs.size(), 100u);
}

}  // namespace
}  // namespace tarvelo
