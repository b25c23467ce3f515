// The program's headless runner and dump, run as a process against the test server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <jack/midiport.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "integration/jack_test_client.h"
#include "integration/private_jack_server.h"
#include "integration/program_process.h"
#include "model/arrangement_file.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tarvelo {
namespace {

using namespace std::chrono_literals;
using testing::JackTestClient;
using testing::MidiEvent;
using testing::Program;
using testing::TempDir;
using testing::uniqueName;
using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> bytesOf(const std::vector<MidiEvent>& events) {
    std::vector<Bytes> out;
    for (const MidiEvent& e : events)
        out.push_back(e.bytes);
    return out;
}

// Keys 0..59 on synthA (channel 2) with a control change, an exclusive message and a program
// change to set it up; keys 60..127 on synthB (channel 5, an octave up) with one controller.
StoredArrangement splitArrangement(const std::string& keys, const std::string& synthA,
                                   const std::string& synthB) {
    StoredArrangement a;
    a.inputDeviceName = keys;
    StoredPart low;
    low.part.name = "Low";
    low.part.channel = 2;
    low.part.lowKey = 0;
    low.part.highKey = 59;
    low.outputDeviceName = synthA;
    low.messages.append(InitialMessage{0, 0xB0, 7, 100, {}, 0});
    low.messages.append(InitialMessage{5, 0xF0, -1, -1, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, 6});
    low.messages.append(InitialMessage{1, 0xC0, 5, -1, {}, 0});
    StoredPart high;
    high.part.name = "High";
    high.part.channel = 5;
    high.part.noteShift = 12;
    high.part.lowKey = 60;
    high.part.highKey = 127;
    high.outputDeviceName = synthB;
    high.messages.append(InitialMessage{0, 0xB0, 10, 64, {}, 0});
    a.parts = {low, high};
    a.nextPartNumber = 2;
    a.targetPart = 0;
    a.targetDeviceName = synthA;
    a.targetChannel = 2;
    return a;
}

struct HeadlessTest : ::testing::Test {
    void SetUp() override {
        for (JackTestClient* c : {&keys, &synthA, &synthB})
            ASSERT_TRUE(c->ok()) << "no JACK server: run through ctest, which starts one "
                                    "(tests/integration/jack_server.sh)";
    }
    std::string save(const StoredArrangement& a) {
        const std::string path = dir.file("song.trv");
        EXPECT_EQ(writeArrangementFile(path, a), std::nullopt);
        return path;
    }

    TempDir dir;
    JackTestClient keys{uniqueName("hl-keys"), {}, {"out"}};
    JackTestClient synthA{uniqueName("hl-synth-a"), {"in"}, {}};
    JackTestClient synthB{uniqueName("hl-synth-b"), {"in"}, {}};
};

TEST_F(HeadlessTest, SendsInitialMessagesInOrderThenRoutesUntilStopped) {
    const std::string file =
        save(splitArrangement(keys.outputPort(0), synthA.inputPort(0), synthB.inputPort(0)));
    Program program(dir, {"--midi-api", "jack", "--headless", file});
    ASSERT_TRUE(program.started());

    ASSERT_TRUE(synthA.waitForReceived(3, 10s)) << program.errors();
    ASSERT_TRUE(synthB.waitForReceived(1, 10s)) << program.errors();
    EXPECT_EQ(
        bytesOf(synthA.received()),
        (std::vector<Bytes>{{0xB2, 7, 100}, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, {0xC2, 5}}));
    EXPECT_EQ(bytesOf(synthB.received()), (std::vector<Bytes>{{0xB5, 10, 64}}));

    ASSERT_TRUE(keys.send(0, 0, {0x90, 64, 100}));
    ASSERT_TRUE(keys.send(0, 0, {0x90, 40, 90}));
    ASSERT_TRUE(synthB.waitForReceived(2));
    ASSERT_TRUE(synthA.waitForReceived(4));
    EXPECT_EQ(synthB.received().back().bytes, (Bytes{0x95, 76, 100}));
    EXPECT_EQ(synthA.received().back().bytes, (Bytes{0x92, 40, 90}));

    program.signal(SIGTERM);
    EXPECT_EQ(program.waitForExit(), 0) << program.errors();
    // The notes left sounding were released as the devices closed.
    const std::vector<Bytes> b = bytesOf(synthB.received());
    EXPECT_NE(std::find(b.begin(), b.end(), Bytes{0x85, 76, 0}), b.end());
    const std::vector<Bytes> a = bytesOf(synthA.received());
    EXPECT_NE(std::find(a.begin(), a.end(), Bytes{0x82, 40, 0}), a.end());
    EXPECT_EQ(program.errors(), "");
}

// SIGUSR1 silences every output the arrangement uses (the exact messages are the session's
// business), says so in one line, and the keys play on.
TEST_F(HeadlessTest, SigUsr1SilencesEveryOutputAndTheInputPlaysOn) {
    const std::string file =
        save(splitArrangement(keys.outputPort(0), synthA.inputPort(0), synthB.inputPort(0)));
    Program program(dir, {"--midi-api", "jack", "--headless", file});
    ASSERT_TRUE(synthA.waitForReceived(3, 10s)) << program.errors();
    ASSERT_TRUE(synthB.waitForReceived(1, 10s)) << program.errors();
    jack_port_t* keysOut = jack_port_by_name(keys.client(), keys.outputPort(0).c_str());
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (jack_port_connected(keysOut) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(keys.send(0, 0, {0x90, 64, 100}));
    ASSERT_TRUE(synthB.waitForReceived(2, 10s));

    program.signal(SIGUSR1);
    ASSERT_TRUE(program.waitForError("tarvelo: panic: every output silenced\n"))
        << program.errors();
    ASSERT_TRUE(synthA.waitForReceived(3 + 16 * 6, 10s));
    ASSERT_TRUE(synthB.waitForReceived(2 + 1 + 16 * 6, 10s));
    // Six messages a channel, and on channel 6 the held note's note off before them.
    EXPECT_EQ(synthB.received()[2 + 5 * 6].bytes, (Bytes{0x85, 76, 0}));
    EXPECT_EQ(synthA.received().back().bytes, (Bytes{0xBF, 120, 0}));
    ASSERT_TRUE(keys.send(0, 0, {0x90, 40, 90}));
    ASSERT_TRUE(synthA.waitForReceived(3 + 16 * 6 + 1, 10s));
    EXPECT_EQ(synthA.received().back().bytes, (Bytes{0x92, 40, 90}));
    program.signal(SIGTERM);
    EXPECT_EQ(program.waitForExit(), 0) << program.errors();
    EXPECT_EQ(program.errors(), "tarvelo: panic: every output silenced\n");
}

// A set list: SIGUSR2 and the keyboard's program change switch songs, each switch said in one
// line, and the next note is routed by the song switched to.
TEST_F(HeadlessTest, ASetListSwitchesBySigUsr2AndByProgramChangeOneLineEach) {
    save(splitArrangement(keys.outputPort(0), synthA.inputPort(0), synthB.inputPort(0)));
    StoredArrangement second =
        splitArrangement(keys.outputPort(0), synthA.inputPort(0), synthB.inputPort(0));
    second.parts[1].outputDeviceName = synthA.inputPort(0);  // every key on synthA
    second.parts[1].part.channel = 9;
    ASSERT_EQ(writeArrangementFile(dir.file("second.trv"), second), std::nullopt);
    std::ofstream(dir.file("show.txt")) << "song.trv | First\nsecond.trv | Second\n";
    Program program(dir, {"--midi-api", "jack", "--headless", dir.file("show.txt")});
    ASSERT_TRUE(synthB.waitForReceived(1, 10s)) << program.errors();
    jack_port_t* keysOut = jack_port_by_name(keys.client(), keys.outputPort(0).c_str());
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (jack_port_connected(keysOut) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);

    program.signal(SIGUSR2);
    ASSERT_TRUE(program.waitForError("tarvelo: song 2 of 2: Second (switched in "))
        << program.errors();
    ASSERT_TRUE(keys.send(0, 0, {0x90, 64, 100}));
    const auto heard = std::chrono::steady_clock::now() + 10s;
    const auto routed = [&] {
        const std::vector<Bytes> a = bytesOf(synthA.received());
        return std::find(a.begin(), a.end(), Bytes{0x99, 76, 100}) != a.end();
    };
    while (!routed() && std::chrono::steady_clock::now() < heard)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(routed());
    ASSERT_TRUE(keys.send(0, 0, {0xC0, 0}));
    ASSERT_TRUE(program.waitForError("tarvelo: song 1 of 2: First (switched in "))
        << program.errors();
    program.signal(SIGTERM);
    EXPECT_EQ(program.waitForExit(), 0) << program.errors();
}

// A keyboard whose driver packs many messages into one event: writes each event it is given in a
// cycle of its own, in consecutive cycles.
class PackedEventSender {
  public:
    explicit PackedEventSender(const std::string& name) {
        client_ = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
        if (client_ == nullptr)
            return;
        port_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &PackedEventSender::process, this);
        if (port_ == nullptr || jack_activate(client_) != 0) {
            jack_client_close(client_);
            client_ = nullptr;
        }
    }
    ~PackedEventSender() {
        if (client_ != nullptr)
            jack_client_close(client_);
    }
    bool ok() const { return client_ != nullptr; }
    std::string port() const { return jack_port_name(port_); }
    bool connected() const { return jack_port_connected(port_) > 0; }

    // Hands the events to the process thread and waits until they have been written.
    bool send(std::vector<Bytes> events) {
        events_ = std::move(events);
        next_ = 0;
        state_.store(kQueued, std::memory_order_release);
        const auto deadline = std::chrono::steady_clock::now() + 3s;
        while (state_.load(std::memory_order_acquire) == kQueued) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return state_.load(std::memory_order_acquire) == kWritten;
    }

  private:
    enum : int { kIdle, kQueued, kWritten, kRefused };
    static int process(jack_nframes_t frames, void* arg) noexcept {
        auto& self = *static_cast<PackedEventSender*>(arg);
        void* buffer = jack_port_get_buffer(self.port_, frames);
        jack_midi_clear_buffer(buffer);
        if (self.state_.load(std::memory_order_acquire) == kQueued) {
            const Bytes& event = self.events_[self.next_++];
            if (jack_midi_event_write(buffer, 0, event.data(), event.size()) != 0)
                self.state_.store(kRefused, std::memory_order_release);
            else if (self.next_ == self.events_.size())
                self.state_.store(kWritten, std::memory_order_release);
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    std::vector<Bytes> events_;
    std::size_t next_ = 0;  // process thread, while queued
    std::atomic<int> state_{kIdle};
};

// The program playing every key to synthA on channel 1, fed by a keyboard that packs messages.
struct PackedBurstTest : HeadlessTest {
    void SetUp() override {
        HeadlessTest::SetUp();
        ASSERT_TRUE(keyboard.ok());
        start();
    }
    void start() {
        StoredArrangement a = splitArrangement(keyboard.port(), synthA.inputPort(0), "");
        a.parts.resize(1);
        a.parts[0].part.highKey = 127;
        a.parts[0].part.channel = 0;
        a.parts[0].messages.clear();
        program = std::make_unique<Program>(
            dir, std::vector<std::string>{"--midi-api", "jack", "--headless", save(a)});
        ASSERT_TRUE(program->started());
        jack_port_t* synthIn = jack_port_by_name(synthA.client(), synthA.inputPort(0).c_str());
        const auto connected = [&] {
            return keyboard.connected() && jack_port_connected(synthIn) > 0;
        };
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!connected() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(connected()) << program->errors();
    }

    // Sends `pairs` note on and note off pairs of key 60 as one event, then stops the program
    // once `expected` messages arrived; returns what synthA received.
    std::vector<MidiEvent> playAndStop(int pairs, std::size_t expected) {
        Bytes burst;
        for (int i = 0; i < pairs; ++i)
            burst.insert(burst.end(), {0x90, 0x3C, 0x40, 0x80, 0x3C, 0x00});
        EXPECT_TRUE(keyboard.send({burst}));
        EXPECT_TRUE(synthA.waitForReceived(expected, 10s))
            << synthA.received().size() << " received; " << program->errors();
        program->signal(SIGTERM);
        EXPECT_EQ(program->waitForExit(), 0) << program->errors();
        return synthA.received();
    }

    static bool leftSounding(const std::vector<MidiEvent>& events) {
        bool sounding = false;
        for (const MidiEvent& e : events) {
            if (e.bytes.size() == 3 && (e.bytes[0] & 0xE0) == 0x80 && e.bytes[1] == 0x3C)
                sounding = (e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] != 0;
        }
        return sounding;
    }

    PackedEventSender keyboard{uniqueName("hl-packed")};
    std::unique_ptr<Program> program;
};

// One event of 1,400 pairs: more routed messages than one cycle's output buffer holds. They all
// go out, in order, over the following cycles, and the stop leaves no note sounding.
TEST_F(PackedBurstTest, ABurstBiggerThanABufferGoesOutWholeAndInOrder) {
    constexpr int kPairs = 1400;
    const std::vector<MidiEvent> events = playAndStop(kPairs, 2 * kPairs);
    ASSERT_GE(events.size(), static_cast<std::size_t>(2 * kPairs));
    for (int i = 0; i < 2 * kPairs; ++i) {
        EXPECT_EQ(events[static_cast<std::size_t>(i)].bytes,
                  (i % 2 == 0 ? Bytes{0x90, 0x3C, 0x40} : Bytes{0x80, 0x3C, 0x00}))
            << i;
    }
    // More than one cycle's buffer: the last ones went out in a later cycle.
    EXPECT_GT(events[2 * kPairs - 1].frame, events[0].frame);
    EXPECT_FALSE(leftSounding(events));
    EXPECT_EQ(program->errors(), "");
}

// A burst played into the program, in consecutive cycles, ended by a marker (a controller, which
// the output never drops) that leaves last.
struct Burst {
    std::vector<Bytes> cycles{1};
    std::size_t messages = 0;
    std::size_t noteOns = 0;
    Bytes lastBend, lastPressure;

    void add(const Bytes& m) {
        cycles.back().insert(cycles.back().end(), m.begin(), m.end());
        ++messages;
        noteOns += m[0] == 0x90 && m[2] != 0 ? 1 : 0;
        if (m[0] == 0xE0)
            lastBend = m;
        if (m[0] == 0xD0)
            lastPressure = m;
    }
    void bendOrPressure(int i) {
        add(i % 2 == 0 ? Bytes{0xE0, static_cast<std::uint8_t>(i & 0x7F),
                               static_cast<std::uint8_t>((i >> 7) & 0x7F)}
                       : Bytes{0xD0, static_cast<std::uint8_t>(i & 0x7F)});
    }
};
const Bytes kMarker{0xB0, 0x77, 0x7F};

// Bursts that overflow the output's buffer and the backlog behind it. Whatever gives way, every
// note on that went out is released before it is struck again and nothing is left sounding, the
// last pitch bend and pressure arrive, and the report counts every routed message that did not
// go out (the router sends no release for a note on that was lost).
TEST_F(PackedBurstTest, OverflowingBurstsReleaseEveryNoteAndReportWhatWasLost) {
    Burst pairs;  // note ons give way
    for (int i = 0; i < 3500; ++i) {
        pairs.add({0x90, 0x3C, 0x40});
        pairs.add({0x80, 0x3C, 0x40});
    }
    Burst held;  // the fault as found: the releases were lost, the notes hung
    for (std::uint8_t key = 48; key < 72; ++key)
        held.add({0x90, key, 0x40});
    for (int i = 0; i < 10000; ++i)
        held.bendOrPressure(i);
    for (std::uint8_t key = 48; key < 72; ++key)
        held.add({0x80, key, 0x40});
    Burst hostile;
    for (int i = 0; i < 10000; ++i) {
        if (i == 5000)
            hostile.cycles.emplace_back();
        const auto key = static_cast<std::uint8_t>(36 + (i / 20) % 48);
        if (i % 20 == 0 || i % 20 == 10)
            hostile.add({static_cast<std::uint8_t>(i % 20 == 0 ? 0x90 : 0x80), key, 0x40});
        hostile.bendOrPressure(i);
    }
    const struct {
        const char* name;
        Burst burst;
    } rows[] = {{"3,500 pairs of one key in one cycle", pairs},
                {"24 keys held through 10,000 pitch bends and pressures, in one cycle", held},
                {"10,000 pitch bends and pressures among 500 notes, in two cycles", hostile}};
    for (auto row : rows) {
        SCOPED_TRACE(row.name);
        if (program == nullptr)
            start();
        // On the target's channel.
        const auto isMarker = [](const MidiEvent& e) {
            return (e.bytes[0] & 0xF0) == 0xB0 && e.bytes[1] == kMarker[1];
        };
        // What synthA received from index `from` up to the first marker, or all of it when none
        // came in time.
        const auto untilMarker = [&](std::size_t from, std::chrono::milliseconds timeout) {
            const auto deadline = std::chrono::steady_clock::now() + timeout;
            for (;; std::this_thread::sleep_for(10ms)) {
                const std::vector<MidiEvent> events = synthA.received();
                const auto begin = events.begin() + static_cast<std::ptrdiff_t>(from);
                const auto marker = std::find_if(begin, events.end(), isMarker);
                if (marker != events.end() || std::chrono::steady_clock::now() > deadline)
                    return std::vector<MidiEvent>(begin, std::min(marker + 1, events.end()));
            }
        };
        // Markers alone first, until one arrives: then both connections carry data.
        for (int attempt = 0;; ++attempt) {
            ASSERT_LT(attempt, 100) << program->errors();
            const std::size_t probed = synthA.received().size();
            ASSERT_TRUE(keyboard.send({kMarker}));
            const std::vector<MidiEvent> probe = untilMarker(probed, 100ms);
            if (!probe.empty() && isMarker(probe.back()))
                break;
        }
        row.burst.add(kMarker);
        const std::size_t before = synthA.received().size();
        ASSERT_TRUE(keyboard.send(row.burst.cycles));
        const std::vector<MidiEvent> burst = untilMarker(before, 10s);
        ASSERT_FALSE(burst.empty());
        EXPECT_TRUE(isMarker(burst.back())) << "the burst's end never came";
        program->signal(SIGTERM);
        EXPECT_EQ(program->waitForExit(), 0) << program->errors();

        std::size_t ons = 0, offs = 0;
        std::array<bool, 128> sounding{};
        Bytes lastBend, lastPressure;
        for (const MidiEvent& e : burst) {
            const int kind = e.bytes[0] & 0xF0;
            if (kind == 0x90) {
                EXPECT_FALSE(sounding[e.bytes[1]]) << "struck again before its release";
                ++ons;
            }
            offs += kind == 0x80 ? 1 : 0;
            if (kind == 0x80 || kind == 0x90)
                sounding[e.bytes[1]] = kind == 0x90;
            if (kind == 0xE0)
                lastBend = e.bytes;
            if (kind == 0xD0)
                lastPressure = e.bytes;
        }
        EXPECT_EQ(offs, ons);
        EXPECT_EQ(std::count(sounding.begin(), sounding.end(), true), 0);
        // The same values, on the target's channel.
        const auto data = [](const Bytes& m) {
            return m.empty() ? m : Bytes(m.begin() + 1, m.end());
        };
        EXPECT_EQ(data(lastBend), data(row.burst.lastBend));
        EXPECT_EQ(data(lastPressure), data(row.burst.lastPressure));
        // Reported in lines like "tarvelo: 87 MIDI messages could not be sent (an output was
        // full)", at most one a second.
        std::istringstream report(program->errors());
        std::size_t lost = 0;
        for (std::string line; std::getline(report, line);) {
            std::size_t n = 0;
            if (std::sscanf(line.c_str(), "tarvelo: %zu MIDI messages could not be sent", &n) == 1)
                lost += n;
        }
        const std::size_t routed = row.burst.messages - (row.burst.noteOns - ons);
        EXPECT_GT(lost, 0u);
        EXPECT_EQ(lost, routed - burst.size());
        const auto drained = burst.back().frame - burst.front().frame;
        std::printf(
            "%s: %zu routed, %zu sent, %zu lost (%zu note ons); drained over %llu frames "
            "(%.1f ms)\n",
            row.name, routed, burst.size(), lost, row.burst.noteOns - ons,
            static_cast<unsigned long long>(drained), static_cast<double>(drained) / 48.0);
        program.reset();
    }
}

TEST_F(HeadlessTest, MissingDevicesAreReportedAndInterruptEndsTheRun) {
    StoredArrangement a = splitArrangement("nobody:keys", synthA.inputPort(0), "nobody:synth");
    for (StoredPart& p : a.parts)
        p.messages.clear();
    const std::string file = save(a);
    Program program(dir, {"--midi-api=jack", "--headless", file});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForError("nobody:synth")) << program.errors();
    program.signal(SIGINT);
    EXPECT_EQ(program.waitForExit(), 0) << program.errors();
    EXPECT_EQ(program.errors(),
              "デバイスオープンエラー: nobody:keys が見つかりませんでした。\n"
              "デバイスオープンエラー: nobody:synth が見つかりませんでした。\n");
}

// The server is killed under the running program and a new one starts under the same name, with
// the same clients: the program reconnects by itself, sets the synthesizers up again and routes.
TEST(HeadlessServerLoss, TheProgramComesBackByItselfWhenANewServerStarts) {
    testing::PrivateJackServer server(uniqueName("tarvelo-again"));
    ASSERT_TRUE(server.start()) << "could not start jackd";
    struct Rig {
        explicit Rig(const std::string& server)
            : keys(uniqueName("hl-keys"), {}, {"out"}, server),
              synthA(uniqueName("hl-synth-a"), {"in"}, {}, server),
              synthB(uniqueName("hl-synth-b"), {"in"}, {}, server) {}
        JackTestClient keys, synthA, synthB;
    };
    auto rig = std::make_unique<Rig>(server.name());
    ASSERT_TRUE(rig->keys.ok() && rig->synthA.ok() && rig->synthB.ok());
    TempDir dir;
    const std::string file = dir.file("song.trv");
    ASSERT_EQ(writeArrangementFile(
                  file, splitArrangement(rig->keys.outputPort(0), rig->synthA.inputPort(0),
                                         rig->synthB.inputPort(0))),
              std::nullopt);
    const char* shared = std::getenv("JACK_DEFAULT_SERVER");
    const std::string sharedName = shared ? shared : "";
    ::setenv("JACK_DEFAULT_SERVER", server.name().c_str(), 1);
    Program program(dir, {"--midi-api", "jack", "--headless", file});
    if (shared)
        ::setenv("JACK_DEFAULT_SERVER", sharedName.c_str(), 1);
    else
        ::unsetenv("JACK_DEFAULT_SERVER");
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(rig->synthB.waitForReceived(1, 10s)) << program.errors();

    server.kill(SIGKILL);
    ASSERT_TRUE(program.waitForError("went away")) << program.errors();
    rig.reset();
    // Started anew at another rate, which the program says as it comes back.
    server.setSampleRate(44100);
    ASSERT_TRUE(server.start()) << "could not restart jackd";
    rig = std::make_unique<Rig>(server.name());
    ASSERT_TRUE(rig->keys.ok() && rig->synthA.ok() && rig->synthB.ok());
    const auto back = std::chrono::steady_clock::now();
    ASSERT_TRUE(rig->synthA.waitForReceived(3, 10s)) << program.errors();
    ASSERT_TRUE(rig->synthB.waitForReceived(1, 10s)) << program.errors();
    std::printf(
        "[ figures  ] new server to initial messages received again: %.0f ms\n",
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - back).count());
    EXPECT_EQ(bytesOf(rig->synthB.received()), (std::vector<Bytes>{{0xB5, 10, 64}}));
    ASSERT_TRUE(rig->keys.send(0, 0, {0x90, 64, 100}));
    ASSERT_TRUE(rig->synthB.waitForReceived(2));
    EXPECT_EQ(rig->synthB.received().back().bytes, (Bytes{0x95, 76, 100}));
    program.signal(SIGTERM);
    EXPECT_EQ(program.waitForExit(), 0) << program.errors();
    // Said once each; devices that registered after the program was back say so on their own.
    const std::string errors = program.errors();
    EXPECT_EQ(errors.rfind("tarvelo: the MIDI server went away; the devices stay silent\n"
                           "tarvelo: the MIDI server is back; the devices are open again; it now "
                           "runs at 44100 Hz (was 48000 Hz)\n",
                           0),
              0u)
        << errors;
    EXPECT_EQ(errors.find("went away", errors.find('\n')), std::string::npos) << errors;
}

TEST_F(HeadlessTest, MissingOrCorruptFileEndsWithStatusTwoAndOneLine) {
    {
        Program program(dir, {"--midi-api", "jack", "--headless", dir.file("none.trv")});
        EXPECT_EQ(program.waitForExit(), 2);
        EXPECT_EQ(program.errors(),
                  "tarvelo: cannot read " + dir.file("none.trv") + ": No such file or directory\n");
    }
    std::vector<std::uint8_t> bytes = encodeArrangement(
        splitArrangement(keys.outputPort(0), synthA.inputPort(0), synthB.inputPort(0)));
    bytes.resize(bytes.size() - 3);
    testing::writeBytes(dir.file("cut.trv"), bytes);
    for (const char* command : {"--headless", "--dump"}) {
        Program program(dir, {"--midi-api", "jack", command, dir.file("cut.trv")});
        EXPECT_EQ(program.waitForExit(), 2) << command;
        const std::string errors = program.errors();
        EXPECT_EQ(errors.rfind("tarvelo: not a valid arrangement file: " + dir.file("cut.trv"), 0),
                  0u)
            << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
    EXPECT_TRUE(synthA.received().empty());
}

TEST_F(HeadlessTest, DumpPrintsTheArrangementWithoutOpeningDevices) {
    const std::string file =
        save(splitArrangement(keys.outputPort(0), synthA.inputPort(0), synthB.inputPort(0)));
    Program program(dir, {"--dump", file});
    EXPECT_EQ(program.waitForExit(), 0) << program.errors();
    const std::string json = program.output();
    EXPECT_NE(json.find("\"inputDevice\": \"" + keys.outputPort(0) + "\""), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"sysexData\": \"F0 7E 7F 09 01 F7\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"name\": \"High\""), std::string::npos) << json;
    EXPECT_EQ(program.errors(), "");
    EXPECT_TRUE(synthA.received().empty());
}

}  // namespace
}  // namespace tarvelo
