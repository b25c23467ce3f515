// The window, run as a process offscreen, stopped by a signal while a note is held.
#include <gtest/gtest.h>
#include <jack/jack.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "integration/jack_test_client.h"
#include "integration/program_process.h"

namespace tarvelo {
namespace {

using namespace std::chrono_literals;
using testing::JackTestClient;
using testing::Program;
using testing::TempDir;
using testing::uniqueName;
using Bytes = std::vector<std::uint8_t>;

bool connected(const JackTestClient& client, const std::string& port) {
    jack_port_t* p = jack_port_by_name(client.client(), port.c_str());
    return p != nullptr && jack_port_connected(p) > 0;
}

std::vector<Bytes> bytesOf(const JackTestClient& client) {
    std::vector<Bytes> received;
    for (const auto& e : client.received())
        received.push_back(e.bytes);
    return received;
}

// The window on a keyboard and a synthesizer, the only devices on the server, which it opens.
struct WindowOnJack {
    // True once the window's input and output are connected.
    bool ready() {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!(connected(keys, keys.outputPort(0)) && connected(synth, synth.inputPort(0))) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        return connected(keys, keys.outputPort(0)) && connected(synth, synth.inputPort(0));
    }

    TempDir dir;
    JackTestClient keys{uniqueName("win-keys"), {}, {"out"}};
    JackTestClient synth{uniqueName("win-synth"), {"in"}, {}};
    Program window{dir,
                   {"--midi-api", "jack"},
                   {"QT_QPA_PLATFORM=offscreen", "XDG_STATE_HOME=" + dir.file("state")},
                   TARVELO_SOURCE_DIR "/data"};
};

// Ctrl-C, kill and a closed terminal end the window as its close box does, without the prompt:
// the note held on the keyboard gets its note off before the program goes.
TEST(WindowStopSignal, AHeldNoteIsReleasedWhenTheWindowIsStopped) {
    if (!TARVELO_PROGRAM_HAS_WINDOW)
        GTEST_SKIP() << "built without the window";
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        WindowOnJack rig;
        ASSERT_TRUE(rig.keys.ok() && rig.synth.ok() && rig.window.started());
        ASSERT_TRUE(rig.ready()) << rig.window.errors();

        ASSERT_TRUE(rig.keys.send(0, 0, {0x90, 60, 100}));
        ASSERT_TRUE(rig.synth.waitForReceived(1, 5s));
        rig.window.signal(signal);
        EXPECT_EQ(rig.window.waitForExit(), 0) << rig.window.errors();

        const std::vector<Bytes> received = bytesOf(rig.synth);
        ASSERT_FALSE(received.empty());
        EXPECT_EQ(received.front(), (Bytes{0x90, 60, 100}));
        EXPECT_NE(std::find(received.begin(), received.end(), Bytes{0x80, 60, 0}), received.end());
        // Nothing was changed, so nothing is kept for the next start.
        EXPECT_EQ(rig.window.errors().find("tarvelo:"), std::string::npos) << rig.window.errors();
    }
}

// SIGUSR1 runs the window's panic: the held note ends, every channel is silenced, and the
// window plays on.
TEST(WindowPanicSignal, SigUsr1SilencesTheHeldNoteAndTheWindowPlaysOn) {
    if (!TARVELO_PROGRAM_HAS_WINDOW)
        GTEST_SKIP() << "built without the window";
    WindowOnJack rig;
    ASSERT_TRUE(rig.keys.ok() && rig.synth.ok() && rig.window.started());
    ASSERT_TRUE(rig.ready()) << rig.window.errors();
    ASSERT_TRUE(rig.keys.send(0, 0, {0x90, 60, 100}));
    ASSERT_TRUE(rig.synth.waitForReceived(1, 5s));
    rig.window.signal(SIGUSR1);
    ASSERT_TRUE(rig.synth.waitForReceived(1 + 1 + 16 * 6, 5s)) << rig.window.errors();
    EXPECT_EQ(bytesOf(rig.synth)[1], (Bytes{0x80, 60, 0}));
    EXPECT_EQ(bytesOf(rig.synth).back(), (Bytes{0xBF, 120, 0}));
    ASSERT_TRUE(rig.keys.send(0, 0, {0x90, 62, 100}));
    ASSERT_TRUE(rig.synth.waitForReceived(1 + 1 + 16 * 6 + 1, 5s));
    EXPECT_EQ(bytesOf(rig.synth).back(), (Bytes{0x90, 62, 100}));
    rig.window.signal(SIGTERM);
    EXPECT_EQ(rig.window.waitForExit(), 0) << rig.window.errors();
}

}  // namespace
}  // namespace tarvelo
