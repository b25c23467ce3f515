// Cost of the routing callback per message, against a callback that only forwards every message
// to one output, both driven through the same virtual backend and device layer.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "midi/backends/virtual/virtual_backend.h"
#include "midi/midi_device_set.h"
#include "midi/owner_mailbox.h"
#include "session/live_session.h"

namespace tarvelo {
namespace {

constexpr std::size_t kLogCapacity = std::size_t{1} << 20;

// A mixed stream: note on/off pairs over the keyboard, controllers, clock.
std::vector<PackedMessage> stream() {
    std::vector<PackedMessage> messages;
    for (int i = 0; i < 1024; ++i) {
        const auto key = static_cast<std::uint8_t>((i * 7) % 128);
        messages.push_back(packMessage(0x90, key, 100));
        if (i % 4 == 0)
            messages.push_back(packMessage(0xB0, 1, static_cast<std::uint8_t>(i % 128)));
        if (i % 8 == 0)
            messages.push_back(packMessage(0xF8, 0, 0));
        messages.push_back(packMessage(0x80, key, 0));
    }
    return messages;
}

void drive(benchmark::State& state, VirtualBackend& backend, OwnerMailbox& mailbox) {
    const std::vector<PackedMessage> messages = stream();
    std::size_t recorded = 0;
    for (auto _ : state) {
        for (PackedMessage m : messages)
            backend.inject(0, m);
        recorded += messages.size();
        if (recorded > kLogCapacity / 2) {
            state.PauseTiming();
            backend.clearRecords();
            struct : MailboxVisitor {
                void onMidiNote(PackedMessage) override {}
                void onLongMessageDone(LongMessageToken) override {}
                void onServerLost() override {}
            } ignore;
            mailbox.drain(ignore);
            recorded = 0;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(messages.size()));
}

VirtualBackend& makeBackend(VirtualBackend& backend) {
    backend.addInput("Keys");
    for (int i = 0; i < 3; ++i)
        backend.addOutput("Out" + std::to_string(i));
    return backend;
}

// Sends every message, unchanged, to output 0.
class Forwarder final : public InputHandler {
  public:
    explicit Forwarder(const MidiDeviceSet& devices) : devices_(devices) {}
    void onShortMessage(PackedMessage message) noexcept override {
        devices_.sendToSlotFromInput(0, message);
    }

  private:
    const MidiDeviceSet& devices_;
};

void BM_ForwardOnly(benchmark::State& state) {
    VirtualBackend backend(kLogCapacity);
    makeBackend(backend);
    OwnerMailbox mailbox;
    MidiDeviceSet devices(backend);
    Forwarder forwarder(devices);
    devices.setInputHandler(&forwarder);
    devices.initialize(&mailbox);
    devices.acquireOutput(0);
    devices.openInput(0);
    drive(state, backend, mailbox);
    devices.closeAll();
}

void BM_Route(benchmark::State& state) {
    VirtualBackend backend(kLogCapacity);
    makeBackend(backend);
    struct QuietHost final : SessionHost {
        void noteReceived(PackedMessage) override {}
        void serverLost() override {}
        void serverBack() override {}
        void devicesChanged(const DeviceListChanges&) override {}
        void postInitSent(int) override {}
        MessageBoxes& messageBoxes() override { std::abort(); }
    } host;
    LiveSession session(backend, host);
    session.newArrangement();
    session.split(0, 48);
    session.split(1, 72);
    session.setOutputDevice(1, 1);  // Parts 0 and 2 stay on device 0, where system messages go
    session.setNoteShift(2, -12);
    session.setTarget(1);
    drive(state, backend, session.mailbox());
}

BENCHMARK(BM_ForwardOnly);
BENCHMARK(BM_Route);

// Prints the usual table, then the routing cost against forwarding.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto items = run.counters.find("items_per_second");
            if (items != run.counters.end() && items->second.value > 0) {
                nsPerMessage_[run.benchmark_name()] = 1e9 / items->second.value;
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double forward = nsPerMessage_["BM_ForwardOnly"];
        const double route = nsPerMessage_["BM_Route"];
        std::printf("\nper message: forward only %.1f ns, routed %.1f ns, ratio %.2f\n", forward,
                    route, forward > 0 ? route / forward : 0.0);
    }

  private:
    std::map<std::string, double> nsPerMessage_;
};

}  // namespace
}  // namespace tarvelo

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    tarvelo::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
