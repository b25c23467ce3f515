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

// Ctrl-C, kill and a closed terminal end the window as its close box does, without the prompt:
// the note held on the keyboard gets its note off before the program goes.
TEST(WindowStopSignal, AHeldNoteIsReleasedWhenTheWindowIsStopped) {
    if (!TARVELO_PROGRAM_HAS_WINDOW)
        GTEST_SKIP() << "built without the window";
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        // The window opens the first input and output devices: these, the only ones on the server.
        JackTestClient keys{uniqueName("win-keys"), {}, {"out"}};
        JackTestClient synth{uniqueName("win-synth"), {"in"}, {}};
        ASSERT_TRUE(keys.ok() && synth.ok());
        Program window(dir, {"--midi-api", "jack"},
                       {"QT_QPA_PLATFORM=offscreen", "XDG_STATE_HOME=" + dir.file("state")},
                       TARVELO_SOURCE_DIR "/data");
        ASSERT_TRUE(window.started());
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!(connected(keys, keys.outputPort(0)) && connected(synth, synth.inputPort(0))) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        ASSERT_TRUE(connected(keys, keys.outputPort(0)) && connected(synth, synth.inputPort(0)))
            << window.errors();

        ASSERT_TRUE(keys.send(0, 0, {0x90, 60, 100}));
        ASSERT_TRUE(synth.waitForReceived(1, 5s));
        window.signal(signal);
        EXPECT_EQ(window.waitForExit(), 0) << window.errors();

        std::vector<Bytes> received;
        for (const auto& e : synth.received())
            received.push_back(e.bytes);
        ASSERT_FALSE(received.empty());
        EXPECT_EQ(received.front(), (Bytes{0x90, 60, 100}));
        EXPECT_NE(std::find(received.begin(), received.end(), Bytes{0x80, 60, 0}), received.end());
        // Nothing was changed, so nothing is kept for the next start.
        EXPECT_EQ(window.errors().find("tarvelo:"), std::string::npos) << window.errors();
    }
}

}  // namespace
}  // namespace tarvelo
