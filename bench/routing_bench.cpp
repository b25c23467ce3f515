// Cost of the routing callback per message, against a callback that only forwards every message
// to one output, both driven through the same virtual backend and device layer.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "midi/backends/virtual/virtual_backend.h"
#include "midi/midi_device_set.h"
#include "midi/owner_mailbox.h"
#include "model/arrangement_file.h"
#include "model/message_boxes.h"
#include "session/live_session.h"

namespace tarvelo {
namespace {

constexpr std::size_t kLogCapacity = std::size_t{1} << 20;

// A mixed stream: note on/off pairs over the keyboard, controllers (the modulation wheel and the
// sustain pedal, which Parts may follow), clock.
std::vector<PackedMessage> stream() {
    std::vector<PackedMessage> messages;
    for (int i = 0; i < 1024; ++i) {
        const auto key = static_cast<std::uint8_t>((i * 7) % 128);
        messages.push_back(packMessage(0x90, key, 100));
        if (i % 4 == 0)
            messages.push_back(packMessage(0xB0, 1, static_cast<std::uint8_t>(i % 128)));
        if (i % 16 == 0)
            messages.push_back(packMessage(0xB0, 64, i % 32 == 0 ? 127 : 0));
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

struct QuietHost final : SessionHost {
    void noteReceived(PackedMessage) override {}
    void serverLost() override {}
    void serverBack() override {}
    void devicesChanged(const DeviceListChanges&) override {}
    void postInitSent(int) override {}
    // A box in a benchmark is a fault in its set-up.
    struct Boxes final : MessageBoxes {
        MessageAnswer show(std::string_view text, std::string_view, MessageButtons,
                           MessageIcon) override {
            std::fprintf(stderr, "unexpected box: %.*s\n", static_cast<int>(text.size()),
                         text.data());
            std::abort();
        }
    } boxes;
    MessageBoxes& messageBoxes() override { return boxes; }
};

// Three Parts over two devices; with `follow`, every Part also follows the pedals and wheels.
void routeSplit(benchmark::State& state, bool follow) {
    VirtualBackend backend(kLogCapacity);
    makeBackend(backend);
    QuietHost host;
    LiveSession session(backend, host);
    session.newArrangement();
    session.split(0, 48);
    session.split(1, 72);
    session.setOutputDevice(1, 1);  // Parts 0 and 2 stay on device 0, where system messages go
    session.setChannel(2, 2);
    session.setNoteShift(2, -12);
    session.setTarget(1);
    for (int part = 0; part < 3; ++part) {
        session.setFollowsPedals(part, follow);
        session.setFollowsWheels(part, follow);
    }
    drive(state, backend, session.mailbox());
}

void BM_Route(benchmark::State& state) {
    routeSplit(state, false);
}
void BM_RouteFollowing(benchmark::State& state) {
    routeSplit(state, true);
}

// A set list of two songs of three Parts each, written to a scratch folder.
struct TwoSongShow {
    TwoSongShow() {
        char pattern[] = "/tmp/tarvelo-bench-XXXXXX";
        folder = mkdtemp(pattern);
        for (const char* name : {"a", "b"}) {
            StoredArrangement a;
            a.inputDeviceName = "Keys";
            for (int i = 0; i < 3; ++i) {
                StoredPart p;
                p.part.lowKey = static_cast<std::uint8_t>(i * 43);
                p.part.highKey = static_cast<std::uint8_t>(i == 2 ? 127 : i * 43 + 42);
                p.part.channel = static_cast<std::uint8_t>(i);
                p.outputDeviceName = "Out" + std::to_string(i);
                p.messages.append(InitialMessage{0, 0xC0, name[0] == 'a' ? i : 10 + i, 0, {}, 0});
                p.messages.append(InitialMessage{0, 0xB0, 7, 100, {}, 0});
                a.parts.push_back(p);
            }
            a.nextPartNumber = 4;
            a.targetPart = 0;
            a.targetDeviceName = "Out0";
            a.targetChannel = 0;
            writeArrangementFile(folder + "/" + name + ".trv", a);
        }
        std::ofstream(folder + "/show.txt") << "a.trv\nb.trv\n";
    }
    ~TwoSongShow() { std::filesystem::remove_all(folder); }
    std::string folder;
};

// The two-song show loaded into a session on the virtual backend.
struct ShowRig {
    ShowRig() {
        makeBackend(backend);
        if (!session.loadSetList(show.folder + "/show.txt").empty())
            std::abort();
    }
    TwoSongShow show;
    VirtualBackend backend{kLogCapacity};
    QuietHost host;
    LiveSession session{backend, host};
};

// The input callback's cost of a switching program change: the new song's set-up sent in it.
void BM_SwitchInTheCallback(benchmark::State& state) {
    ShowRig rig;
    VirtualBackend& backend = rig.backend;
    LiveSession& session = rig.session;
    std::uint8_t song = 0;
    std::size_t switches = 0;
    for (auto _ : state) {
        song ^= 1;
        backend.inject(0, packMessage(0xC0, song, 0));
        if (++switches % 4096 == 0) {
            state.PauseTiming();
            backend.clearRecords();
            session.drain();
            state.ResumeTiming();
        }
    }
}

// The owner's share: from the switch noticed until the new song's devices are held and its
// initial messages on their way (the old song's released).
void BM_FollowTheSwitch(benchmark::State& state) {
    ShowRig rig;
    VirtualBackend& backend = rig.backend;
    LiveSession& session = rig.session;
    std::uint8_t song = 0;
    std::size_t switches = 0;
    for (auto _ : state) {
        state.PauseTiming();
        song ^= 1;
        backend.inject(0, packMessage(0xC0, song, 0));
        if (++switches % 4096 == 0)
            backend.clearRecords();
        state.ResumeTiming();
        session.drain();
    }
}

// Resident memory of a loaded set list of 50 songs of 8 Parts, each with a four-message list.
void reportSetListMemory() {
    const auto residentKiB = [] {
        std::ifstream statm("/proc/self/statm");
        long size = 0, resident = 0;
        statm >> size >> resident;
        return resident * (sysconf(_SC_PAGESIZE) / 1024);
    };
    char pattern[] = "/tmp/tarvelo-bench-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    std::ofstream list(folder + "/show.txt");
    for (int song = 0; song < 50; ++song) {
        StoredArrangement a;
        a.inputDeviceName = "Keys";
        for (int i = 0; i < 8; ++i) {
            StoredPart p;
            p.part.lowKey = static_cast<std::uint8_t>(i * 16);
            p.part.highKey = static_cast<std::uint8_t>(i * 16 + 15);
            p.part.channel = static_cast<std::uint8_t>(i);
            p.outputDeviceName = "Out" + std::to_string(i % 3);
            for (int m = 0; m < 4; ++m)
                p.messages.append(InitialMessage{0, 0xB0, 70 + m, 64, {}, 0});
            a.parts.push_back(p);
        }
        a.nextPartNumber = 9;
        a.targetPart = 0;
        a.targetDeviceName = "Out0";
        a.targetChannel = 0;
        const std::string name = "song" + std::to_string(song) + ".trv";
        writeArrangementFile(folder + "/" + name, a);
        list << name << "\n";
    }
    list.close();
    VirtualBackend backend(1024);
    makeBackend(backend);
    QuietHost host;
    LiveSession session(backend, host);
    session.newArrangement();
    const long before = residentKiB();
    const bool loaded = session.loadSetList(folder + "/show.txt").empty();
    const long after = residentKiB();
    std::printf(
        "50-song set list (8 Parts each): %s, resident memory +%ld KiB (%.1f KiB a song)\n\n",
        loaded ? "loaded" : "NOT LOADED", after - before, (after - before) / 50.0);
    std::filesystem::remove_all(folder);
}

BENCHMARK(BM_ForwardOnly);
BENCHMARK(BM_Route);
BENCHMARK(BM_RouteFollowing);
BENCHMARK(BM_SwitchInTheCallback);
BENCHMARK(BM_FollowTheSwitch);

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
        const double following = nsPerMessage_["BM_RouteFollowing"];
        std::printf(
            "\nper message: forward only %.1f ns, routed %.1f ns (ratio %.2f), routed with "
            "every Part following the pedals and wheels %.1f ns (ratio %.2f)\n",
            forward, route, forward > 0 ? route / forward : 0.0, following,
            forward > 0 ? following / forward : 0.0);
    }

  private:
    std::map<std::string, double> nsPerMessage_;
};

}  // namespace
}  // namespace tarvelo

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    tarvelo::reportSetListMemory();
    tarvelo::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
