#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "integration/jack_test_client.h"
#include "integration/private_jack_server.h"
#include "midi/backends/jack/jack_backend.h"
#include "session/live_session.h"
#include "support/recording_host.h"

namespace tarvelo {
namespace {

using namespace std::chrono_literals;
using testing::JackTestClient;
using testing::PrivateJackServer;
using testing::RecordingVisitor;
using testing::uniqueName;
using Bytes = std::vector<std::uint8_t>;

RecordingVisitor drainFor(OwnerMailbox& mailbox, std::chrono::milliseconds timeout,
                          bool (*until)(const RecordingVisitor&)) {
    RecordingVisitor seen;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        mailbox.wakeSignal().wait(10);
        RecordingVisitor now;
        mailbox.drain(now);
        seen.notes.insert(seen.notes.end(), now.notes.begin(), now.notes.end());
        seen.completions.insert(seen.completions.end(), now.completions.begin(),
                                now.completions.end());
        seen.serverLost += now.serverLost;
    } while (!until(seen) && std::chrono::steady_clock::now() < deadline);
    return seen;
}

// A keyboard and a synthesizer on a private server, routed through a live session: all keys to
// the synth, unchanged.
struct Stage {
    explicit Stage(const std::string& server)
        : keys(uniqueName("keys"), {}, {"out"}, server),
          synth(uniqueName("synth"), {"in"}, {}, server) {}

    // Re-reads the devices (New) and opens the keyboard; true when routing is set up.
    bool arrange(LiveSession& session) {
        session.newArrangement();
        const int input = session.devices().findInputByName(keys.outputPort(0));
        if (input < 0 || session.devices().findOutputByName(synth.inputPort(0)) != 0)
            return false;
        session.setInputDevice(input);
        return session.devices().outputHandle(0) != nullptr;
    }
    bool routes(std::uint8_t key) {
        const std::size_t before = synth.received().size();
        return keys.send(0, 0, {0x90, key, 0x40}) && synth.waitForReceived(before + 1) &&
               synth.received().back().bytes == Bytes{0x90, key, 0x40};
    }

    JackTestClient keys;
    JackTestClient synth;
};

TEST(JackServerLoss, IsSurvivedReportedOnceAndRecoveredFromWhenTheServerComesBack) {
    PrivateJackServer server(uniqueName("tarvelo-lost"));
    ASSERT_TRUE(server.start()) << "could not start jackd";
    JackBackend backend(server.name());
    ASSERT_TRUE(backend.connected());
    testing::RecordingHost host;
    auto stage = std::make_unique<Stage>(server.name());
    ASSERT_TRUE(stage->keys.ok() && stage->synth.ok());
    LiveSession session(backend, host);
    OwnerMailbox& mailbox = session.mailbox();
    ASSERT_TRUE(stage->arrange(session));
    ASSERT_TRUE(stage->routes(60));

    // A crash, not a shutdown: nobody gets to say goodbye.
    server.kill(SIGKILL);
    auto seen = drainFor(mailbox, 5s, [](const RecordingVisitor& v) { return v.serverLost > 0; });
    EXPECT_EQ(seen.serverLost, 1);
    EXPECT_TRUE(backend.serverLost());
    EXPECT_FALSE(backend.connected());

    // Sends are no-ops, and a long message is still handed back, so no sender waits forever.
    const auto start = std::chrono::steady_clock::now();
    OutputDevice* out = session.devices().outputHandle(0);
    ASSERT_NE(out, nullptr);
    out->sendShort(packMessage(0x90, 61, 1));
    const Bytes sysex{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    out->sendLong(sysex, 5);
    seen = drainFor(mailbox, 2s, [](const RecordingVisitor& v) { return !v.completions.empty(); });
    EXPECT_EQ(seen.completions, (std::vector<LongMessageToken>{5}));
    // Nothing to reconnect to, and ports of the lost connection are still open: no devices.
    EXPECT_TRUE(backend.inputNames().empty());
    session.shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s)
        << "the lost server held the interface up";

    // The test's own clients lost their server as well.
    stage.reset();
    ASSERT_TRUE(server.start()) << "could not restart jackd";
    stage = std::make_unique<Stage>(server.name());
    ASSERT_TRUE(stage->keys.ok() && stage->synth.ok());
    // New re-reads the devices, which reconnects.
    ASSERT_TRUE(stage->arrange(session));
    EXPECT_TRUE(backend.connected());
    EXPECT_FALSE(backend.serverLost());
    EXPECT_TRUE(stage->routes(62));
    seen = drainFor(mailbox, 100ms, [](const RecordingVisitor&) { return false; });
    EXPECT_EQ(seen.serverLost, 0);

    // A polite shutdown is survived the same way.
    server.stop();
    seen = drainFor(mailbox, 5s, [](const RecordingVisitor& v) { return v.serverLost > 0; });
    EXPECT_EQ(seen.serverLost, 1);
    session.shutdown();
}

TEST(JackServerLoss, WithoutAServerNothingIsListedUntilOneStarts) {
    PrivateJackServer server(uniqueName("tarvelo-late"));
    JackBackend backend(server.name());
    EXPECT_FALSE(backend.connected());
    EXPECT_FALSE(backend.serverLost());
    EXPECT_TRUE(backend.outputNames().empty());
    // The owner is asked to list again, and so to try again, about once a second.
    EXPECT_EQ(backend.relistInterval(), std::chrono::seconds(1));
    ASSERT_TRUE(server.start()) << "could not start jackd";
    JackTestClient synth(uniqueName("synth"), {"in"}, {}, server.name());
    ASSERT_TRUE(synth.ok());
    EXPECT_EQ(backend.outputNames(), (std::vector<std::string>{synth.inputPort(0)}));
    EXPECT_TRUE(backend.connected());
    // Listing again only while the graph settles after our own arrival.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (backend.relistInterval().count() != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(backend.relistInterval(), std::chrono::milliseconds::zero());
}

}  // namespace
}  // namespace tarvelo
