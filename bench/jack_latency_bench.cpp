// End-to-end latency of live routing through the JACK backend, and its CPU cost.
//
// A probe sends notes, each at a random frame of a cycle, along two paths at once:
//   probe-send:routed -> Tarvelo (PartList + LiveRouter on the JACK backend) -> probe-recv:routed
//   probe-send:direct -> probe-recv:direct
// and the receiving client notes the absolute frame at which each note arrives on each path. The
// difference is the latency routing adds. (Sender and receiver are two clients: one client
// reading back its own output through another would form a feedback loop, which JACK breaks
// with a one-cycle delay.)
//
// CPU time is read from the clock of Tarvelo's process thread, over the same number of cycles
// with and without traffic; the difference divided by the notes routed is the cost per message.
// It is measured twice: as the program runs, with every note also posted to the owner for the
// keyboard picture (which wakes the user-interface thread), and with routing alone.
//
// Uses the default JACK server when one answers, else starts a private one (dummy driver, 48 kHz,
// 256 frames). Usage: jack_latency_bench [cycles] [notes-per-cycle]
#include <fcntl.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "midi/backends/jack/jack_backend.h"
#include "midi/live_router.h"
#include "midi/midi_device_set.h"
#include "midi/owner_mailbox.h"
#include "midi/routing_table.h"

namespace {

using namespace std::chrono_literals;
using tarvelo::ChannelRouting;
using tarvelo::ChannelRoutingPublisher;
using tarvelo::JackBackend;
using tarvelo::LiveRouter;
using tarvelo::MailboxVisitor;
using tarvelo::MidiDeviceSet;
using tarvelo::OwnerMailbox;
using tarvelo::PackedMessage;
using tarvelo::RouteEntry;
using tarvelo::RoutingTable;

void quiet(const char*) {}

jack_client_t* openClient(const char* name, const std::string& server) {
    int options = JackNoStartServer;
    if (!server.empty())
        options |= JackServerName;
    jack_status_t status{};
    return jack_client_open(name, static_cast<jack_options_t>(options), &status, server.c_str());
}

bool serverAnswers(const std::string& server) {
    jack_client_t* client = openClient("probe-check", server);
    if (client == nullptr)
        return false;
    jack_client_close(client);
    return true;
}

// A jackd of our own, ended when this goes.
struct PrivateServer {
    pid_t pid = -1;
    std::string name;

    bool start(std::string serverName) {
        name = std::move(serverName);
        pid = ::fork();
        if (pid == 0) {
            const int devNull = ::open("/dev/null", O_RDWR);
            ::dup2(devNull, STDIN_FILENO);
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
            ::execlp("jackd", "jackd", "-n", name.c_str(), "--no-realtime", "-d", "dummy", "-r",
                     "48000", "-p", "256", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 300 && pid > 0; ++i) {
            if (serverAnswers(name))
                return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }
    ~PrivateServer() {
        if (pid <= 0)
            return;
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
};

constexpr int kMaxNotes = 128 * 127;  // distinct (key, velocity) pairs

int keyOf(int id) {
    return id % 128;
}
int velocityOf(int id) {
    return 1 + (id / 128) % 127;
}
int idOf(int key, int velocity) {
    return (velocity - 1) * 128 + key;
}

// Sends notes: every cycle while asked to, `perCycle` notes at random frames, on both ports.
struct Sender {
    jack_client_t* client = nullptr;
    jack_port_t* routed = nullptr;
    jack_port_t* direct = nullptr;
    int perCycle = 4;
    std::atomic<int> cyclesToSend{0};
    std::atomic<std::uint64_t> cycles{0};
    std::atomic<int> nextId{0};  // the process thread counts up; reset between runs
    std::uint32_t random = 0x9E3779B9u;

    static int process(jack_nframes_t frames, void* arg) {
        auto& self = *static_cast<Sender*>(arg);
        void* a = jack_port_get_buffer(self.routed, frames);
        void* b = jack_port_get_buffer(self.direct, frames);
        jack_midi_clear_buffer(a);
        jack_midi_clear_buffer(b);
        if (self.cyclesToSend.load(std::memory_order_acquire) > 0) {
            std::uint32_t offsets[16];
            const int n = std::min(self.perCycle, 16);
            for (int i = 0; i < n; ++i) {
                self.random ^= self.random << 13;
                self.random ^= self.random >> 17;
                self.random ^= self.random << 5;
                offsets[i] = self.random % frames;
            }
            std::sort(offsets, offsets + n);
            int id = self.nextId.load(std::memory_order_relaxed);
            for (int i = 0; i < n && id < kMaxNotes; ++i, ++id) {
                const std::uint8_t note[3] = {0x90, static_cast<std::uint8_t>(keyOf(id)),
                                              static_cast<std::uint8_t>(velocityOf(id))};
                jack_midi_event_write(a, offsets[i], note, 3);
                jack_midi_event_write(b, offsets[i], note, 3);
            }
            self.nextId.store(id, std::memory_order_relaxed);
            self.cyclesToSend.fetch_sub(1, std::memory_order_release);
        }
        self.cycles.fetch_add(1, std::memory_order_release);
        return 0;
    }
};

// Notes the absolute frame at which each note arrives on each path.
struct Receiver {
    using Arrivals = std::unique_ptr<std::atomic<std::int64_t>[]>;
    jack_client_t* client = nullptr;
    jack_port_t* routed = nullptr;
    jack_port_t* direct = nullptr;
    Arrivals routedAt = std::make_unique<std::atomic<std::int64_t>[]>(kMaxNotes);
    Arrivals directAt = std::make_unique<std::atomic<std::int64_t>[]>(kMaxNotes);

    void forget() {
        for (int i = 0; i < kMaxNotes; ++i) {
            routedAt[static_cast<std::size_t>(i)].store(-1);
            directAt[static_cast<std::size_t>(i)].store(-1);
        }
    }
    static void take(void* buffer, std::uint64_t start, Arrivals& at) {
        const std::uint32_t n = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < n; ++i) {
            jack_midi_event_t e;
            // Only the probe's notes: the silencing messages of a device closing pass here too.
            if (jack_midi_event_get(&e, buffer, i) != 0 || e.size != 3 || e.buffer[0] != 0x90 ||
                e.buffer[1] > 127 || e.buffer[2] == 0 || e.buffer[2] > 127) {
                continue;
            }
            at[static_cast<std::size_t>(idOf(e.buffer[1], e.buffer[2]))].store(
                static_cast<std::int64_t>(start + e.time), std::memory_order_relaxed);
        }
    }
    static int process(jack_nframes_t frames, void* arg) {
        auto& self = *static_cast<Receiver*>(arg);
        const std::uint64_t start = jack_last_frame_time(self.client);
        take(jack_port_get_buffer(self.routed, frames), start, self.routedAt);
        take(jack_port_get_buffer(self.direct, frames), start, self.directAt);
        return 0;
    }
};

struct DiscardingVisitor : MailboxVisitor {
    void onMidiNote(PackedMessage) override {}
    void onLongMessageDone(tarvelo::LongMessageToken) override {}
    void onServerLost() override {}
};

double threadCpuSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Waits for `cycles` sender cycles while draining the owner's mailbox (the display's share of
// the work, done here as the window would).
bool runCycles(Sender& sender, OwnerMailbox& mailbox, std::uint64_t cycles) {
    DiscardingVisitor visitor;
    const std::uint64_t target = sender.cycles.load() + cycles;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(cycles * 50 + 5000);
    while (sender.cycles.load() < target) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        mailbox.wakeSignal().wait(5);
        mailbox.drain(visitor);
    }
    return true;
}

// One run: the live side as the session assembles it (device set, routes, target, router),
// every key to the probe unchanged. Prints the figures; false when a note was lost or delayed.
bool measure(const std::string& server, Sender& sender, Receiver& receiver, int cycles,
             int perCycle, bool postNotes) {
    sender.nextId.store(0);
    receiver.forget();
    JackBackend backend(server);
    OwnerMailbox mailbox;
    RoutingTable routes;
    ChannelRoutingPublisher channels;
    MidiDeviceSet devices(backend);
    tarvelo::SongBookPublisher songs;
    LiveRouter router(songs, devices);
    devices.setInputHandler(&router);
    devices.initialize(postNotes ? &mailbox : nullptr);
    const int output = devices.findOutputByName(jack_port_name(receiver.routed));
    const int input = devices.findInputByName(jack_port_name(sender.routed));
    if (!backend.connected() || output < 0 || input < 0) {
        std::fprintf(stderr, "jack_latency_bench: the probe's ports are not listed\n");
        return false;
    }
    devices.acquireOutput(output);
    for (int key = 0; key < 128; ++key)
        routes.set(key, RouteEntry{output, 0, 0});
    ChannelRouting routing;
    routing.targetPart = 0;
    routing.target = tarvelo::Destination{output, 0};
    channels.publish(routing, [&devices] { devices.waitForInputCallback(); });
    tarvelo::SongBook book;
    book.songs[0] = tarvelo::SongRouting{&routes, &channels};
    book.count = 1;
    songs.publish(book, [&devices] { devices.waitForInputCallback(); });
    devices.openInput(input);

    clockid_t cpuClock{};
    if (pthread_getcpuclockid(backend.processThread(), &cpuClock) != 0) {
        std::fprintf(stderr, "jack_latency_bench: no CPU clock for the process thread\n");
        return false;
    }
    runCycles(sender, mailbox, 20);  // settle
    // Quiet and busy stretches alternate, so that other load on the machine weighs on both alike.
    constexpr int kRounds = 10;
    double idleCpu = 0;
    double busyCpu = 0;
    for (int round = 0; round < kRounds; ++round) {
        const int stretch = cycles / kRounds + (round < cycles % kRounds ? 1 : 0);
        double start = threadCpuSeconds(cpuClock);
        runCycles(sender, mailbox, static_cast<std::uint64_t>(stretch));
        idleCpu += threadCpuSeconds(cpuClock) - start;
        start = threadCpuSeconds(cpuClock);
        sender.cyclesToSend.store(stretch, std::memory_order_release);
        runCycles(sender, mailbox, static_cast<std::uint64_t>(stretch));
        busyCpu += threadCpuSeconds(cpuClock) - start;
    }
    runCycles(sender, mailbox, 20);  // let the last notes land
    devices.closeAll();

    const int sent = std::min(cycles * perCycle, kMaxNotes);
    std::vector<std::int64_t> added;
    int lost = 0;
    for (int id = 0; id < sent; ++id) {
        const auto r = receiver.routedAt[static_cast<std::size_t>(id)].load();
        const auto d = receiver.directAt[static_cast<std::size_t>(id)].load();
        if (r < 0 || d < 0) {
            if (lost++ < 5) {
                std::printf("  note %d (key %d, velocity %d) missing on the %s path\n", id,
                            keyOf(id), velocityOf(id), r < 0 ? "routed" : "direct");
            }
            continue;
        }
        added.push_back(r - d);
    }
    std::sort(added.begin(), added.end());
    std::printf("  notes: %d sent, %zu measured, %d lost, %llu dropped by the backend\n", sent,
                added.size(), lost, static_cast<unsigned long long>(backend.droppedMessages()));
    if (!added.empty()) {
        const auto at = [&added](double q) {
            return added[static_cast<std::size_t>(q * static_cast<double>(added.size() - 1))];
        };
        std::printf("  added latency in frames: min %lld, median %lld, p99 %lld, max %lld\n",
                    static_cast<long long>(added.front()), static_cast<long long>(at(0.5)),
                    static_cast<long long>(at(0.99)), static_cast<long long>(added.back()));
    }
    std::printf("  process thread CPU per cycle: %.2f us idle, %.2f us busy\n",
                idleCpu / cycles * 1e6, busyCpu / cycles * 1e6);
    std::printf("  CPU per routed message: %.3f us\n", (busyCpu - idleCpu) / sent * 1e6);
    return lost == 0 && !added.empty() && added.front() == 0 && added.back() == 0;
}

std::string serverLabel(const std::string& server) {
    if (!server.empty())
        return server;
    const char* fromEnvironment = std::getenv("JACK_DEFAULT_SERVER");
    return fromEnvironment != nullptr ? fromEnvironment : "default";
}

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int perCycle = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 16) : 4;
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);

    std::string server;
    PrivateServer privateServer;
    if (!serverAnswers(server)) {
        server = "tarvelo-bench-" + std::to_string(::getpid());
        if (!privateServer.start(server)) {
            std::fprintf(stderr, "jack_latency_bench: no JACK server, and jackd would not start\n");
            return 1;
        }
    }

    Sender sender;
    sender.perCycle = perCycle;
    Receiver receiver;
    sender.client = openClient("probe-send", server);
    receiver.client = openClient("probe-recv", server);
    if (sender.client == nullptr || receiver.client == nullptr) {
        std::fprintf(stderr, "jack_latency_bench: cannot open the probe clients\n");
        return 1;
    }
    sender.routed =
        jack_port_register(sender.client, "routed", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    sender.direct =
        jack_port_register(sender.client, "direct", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    receiver.routed =
        jack_port_register(receiver.client, "routed", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    receiver.direct =
        jack_port_register(receiver.client, "direct", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(sender.client, &Sender::process, &sender);
    jack_set_process_callback(receiver.client, &Receiver::process, &receiver);
    jack_activate(sender.client);
    jack_activate(receiver.client);
    jack_connect(sender.client, jack_port_name(sender.direct), jack_port_name(receiver.direct));

    std::printf("JACK server: %s, %u frames per cycle at %u Hz, %d cycles, %d notes per cycle\n",
                serverLabel(server).c_str(), jack_get_buffer_size(sender.client),
                jack_get_sample_rate(sender.client), cycles, perCycle);
    std::printf("\nRouting with the display's note posts (as the program runs):\n");
    const bool clean = measure(server, sender, receiver, cycles, perCycle, true);
    std::printf("\nRouting alone (no owner to post notes to):\n");
    const bool cleanAlone = measure(server, sender, receiver, cycles, perCycle, false);
    jack_client_close(sender.client);
    jack_client_close(receiver.client);
    return clean && cleanAlone ? 0 : 2;
}
