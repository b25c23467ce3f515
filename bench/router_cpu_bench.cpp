// CPU cost of routing one MIDI message through the real program, next to a bare pass-through.
//
// For each period size it starts a private JACK server (dummy driver, 48 kHz, synchronous mode)
// and, on it, one after another, three routers as separate processes:
//   - `tarvelo --headless` playing a one-part arrangement,
//   - the `tarvelo` window (QT_QPA_PLATFORM=offscreen) on its first devices, so the keyboard
//     picture lights the keys that are played,
//   - a pass-through client of this benchmark's own that copies its input to its output,
//   - the same pass-through in a Qt program that lights the keys played in a window at the
//     display's pace (bench/ui/lit_pass_through.cpp): the least a window showing the notes costs,
//     the reference for the window's figure.
// A probe in this process (a feeding client and a listening one) sends the same stream of note
// ons and note offs into each router and counts what comes back. Each router's process CPU time
// (user + system) is read over idle stretches and equally long dense ones, taking turns in a few
// rounds; the difference divided by the messages that came back is the net cost per routed
// message (the rounds' own figures show its scatter). The idle cost is reported as CPU time per
// second.
//
// Each router is measured alone on the server, so that every one of them has the same place in
// the graph (woken by the feeder, waking the listener): with several clients side by side JACK
// runs them one after another, and the last in that chain pays for waking the server every cycle,
// which is idle cost of its position rather than of its own.
//
// CPU time is read with the process CPU clock (nanoseconds; what /proc/<pid>/stat reports as
// utime + stime in clock ticks); the user/system split from /proc/<pid>/stat is printed beside it.
//
// The program's built-in synthesizer is left out (its SoundFont is set to a file that does not
// exist), so that the figures are those of routing; --synth keeps it, rendering in every cycle.
//
// Usage: router_cpu_bench [--program PATH] [--data DIR] [--seconds S] [--rounds R]
//                         [--rate MSGS_PER_S] [--periods 256,64] [--synth]
//                         [--routers window,headless,pass,litpass]
#include <fcntl.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "model/arrangement_file.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kSampleRate = 48000;

void quiet(const char*) {}

jack_client_t* openClient(const std::string& name, const std::string& server) {
    jack_status_t status{};
    return jack_client_open(name.c_str(),
                            static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                            &status, server.c_str());
}

// A child process with its output in a log file; killed (TERM, then KILL) when this goes.
class Child {
  public:
    Child(std::vector<std::string> args, const std::vector<std::string>& extraEnvironment,
          const std::string& log, const std::string& directory = {})
        : log_(log) {
        std::vector<std::string> env(extraEnvironment);
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            const std::string key = entry.substr(0, entry.find('='));
            bool overridden = false;
            for (const std::string& extra : extraEnvironment)
                overridden |= extra.substr(0, extra.find('=')) == key;
            if (!overridden && key != "TARVELO_MIDI_API")
                env.push_back(entry);
        }
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (!directory.empty())
            posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() { stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    bool alive() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

    void stop() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(50ms);
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    std::string log() const {
        std::ifstream in(log_);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

  private:
    std::string log_;
    pid_t pid_ = -1;
};

// CPU time a process has used so far.
struct CpuSample {
    std::chrono::nanoseconds total{0};  // process CPU clock: user + system
    long userTicks = 0;                 // /proc/<pid>/stat utime
    long systemTicks = 0;               // /proc/<pid>/stat stime
};

CpuSample sampleCpu(pid_t pid) {
    CpuSample s;
    clockid_t clock{};
    timespec ts{};
    if (clock_getcpuclockid(pid, &clock) == 0 && clock_gettime(clock, &ts) == 0)
        s.total = std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name (which may hold spaces): state is field 3, utime 14, stime 15.
    const auto close = text.rfind(')');
    if (close != std::string::npos) {
        std::istringstream fields(text.substr(close + 2));
        std::string skip;
        for (int field = 3; field < 14; ++field)
            fields >> skip;
        fields >> s.userTicks >> s.systemTicks;
    }
    return s;
}

// The probe: for each router one output port feeding it and one input port hearing it. Sends
// note ons and note offs at a steady rate while asked to, spread over each cycle, the same stream
// to every router, and counts the note messages that come back on each input.
//
// Feeding and hearing are two clients, so that the graph runs feeder -> routers -> listener with
// every router in the same place in it. One client doing both would close a loop, and JACK would
// then order the routers one after another by when they started; the last in such a chain pays
// for waking the server each cycle, which would show as idle cost of whichever router came last.
class Probe {
  public:
    static constexpr int kRouters = 4;

    Probe(const std::string& server, const char* const (&names)[kRouters]) {
        feeder_ = openClient("probe", server);
        listener_ = openClient("probe-ear", server);
        if (feeder_ == nullptr || listener_ == nullptr)
            return;
        // Registered first, the window's pair are the first MIDI devices the server lists.
        for (int i = 0; i < kRouters; ++i) {
            const std::string name = names[i];
            feeds_[i] = jack_port_register(feeder_, ("to-" + name).c_str(), JACK_DEFAULT_MIDI_TYPE,
                                           JackPortIsOutput, 0);
            hears_[i] = jack_port_register(listener_, ("from-" + name).c_str(),
                                           JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        }
        jack_set_process_callback(feeder_, &Probe::feed, this);
        jack_set_process_callback(listener_, &Probe::hear, this);
        if (jack_activate(feeder_) != 0 || jack_activate(listener_) != 0)
            close();
    }
    ~Probe() { close(); }

    bool ok() const { return feeder_ != nullptr && listener_ != nullptr; }
    jack_client_t* client() const { return feeder_; }
    std::string feedPort(int router) const { return jack_port_name(feeds_[router]); }
    std::string hearPort(int router) const { return jack_port_name(hears_[router]); }
    bool connected(int router) const {
        return jack_port_connected(feeds_[router]) > 0 && jack_port_connected(hears_[router]) > 0;
    }

    void startSending(double messagesPerSecond) {
        rate_.store(messagesPerSecond, std::memory_order_relaxed);
        sending_.store(true, std::memory_order_release);
    }
    void stopSending() { sending_.store(false, std::memory_order_release); }
    std::uint64_t sent() const { return sent_.load(std::memory_order_acquire); }
    std::uint64_t heard(int router) const { return heard_[router].load(std::memory_order_acquire); }

  private:
    void close() {
        for (jack_client_t** client : {&feeder_, &listener_}) {
            if (*client != nullptr)
                jack_client_close(*client);
            *client = nullptr;
        }
    }

    static int feed(jack_nframes_t frames, void* arg) noexcept {
        static_cast<Probe*>(arg)->send(frames);
        return 0;
    }
    static int hear(jack_nframes_t frames, void* arg) noexcept {
        static_cast<Probe*>(arg)->count(frames);
        return 0;
    }

    // The listener's process thread.
    void count(jack_nframes_t frames) noexcept {
        for (int i = 0; i < kRouters; ++i) {
            void* in = jack_port_get_buffer(hears_[i], frames);
            const std::uint32_t events = jack_midi_get_event_count(in);
            std::uint64_t notes = 0;
            for (std::uint32_t e = 0; e < events; ++e) {
                jack_midi_event_t event;
                if (jack_midi_event_get(&event, in, e) == 0 && event.size == 3 &&
                    (event.buffer[0] & 0xE0) == 0x80)
                    ++notes;
            }
            heard_[i].fetch_add(notes, std::memory_order_release);
        }
    }

    // The feeder's process thread.
    void send(jack_nframes_t frames) noexcept {
        void* out[kRouters];
        for (int i = 0; i < kRouters; ++i) {
            out[i] = jack_port_get_buffer(feeds_[i], frames);
            jack_midi_clear_buffer(out[i]);
        }
        if (!sending_.load(std::memory_order_acquire)) {
            owed_ = 0;
            return;
        }
        owed_ += rate_.load(std::memory_order_relaxed) * frames / kSampleRate;
        const auto n = static_cast<std::uint32_t>(owed_);
        owed_ -= n;
        std::uint64_t next = sent_.load(std::memory_order_relaxed);
        for (std::uint32_t j = 0; j < n; ++j, ++next) {
            // Pairs of note on and note off, walking over four octaves.
            const auto key = static_cast<std::uint8_t>(36 + (next / 2 * 7) % 48);
            const bool on = next % 2 == 0;
            const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(on ? 0x90 : 0x80), key,
                                           static_cast<std::uint8_t>(on ? 100 : 0)};
            const jack_nframes_t frame = j * frames / n;
            for (void* buffer : out)
                jack_midi_event_write(buffer, frame, bytes, 3);
        }
        sent_.store(next, std::memory_order_release);
    }

    jack_client_t* feeder_ = nullptr;
    jack_client_t* listener_ = nullptr;
    jack_port_t* feeds_[kRouters] = {};
    jack_port_t* hears_[kRouters] = {};
    std::atomic<bool> sending_{false};
    std::atomic<double> rate_{0};
    double owed_ = 0;  // feeder's process thread: messages due but not yet sent
    std::atomic<std::uint64_t> sent_{0};
    std::atomic<std::uint64_t> heard_[kRouters] = {};
};

// The pass-through router, run as a child process of this benchmark: copies every event of its
// input to its output in the same cycle, at the same frame.
struct PassThrough {
    jack_port_t* in = nullptr;
    jack_port_t* out = nullptr;

    static int process(jack_nframes_t frames, void* arg) noexcept {
        auto* self = static_cast<PassThrough*>(arg);
        void* in = jack_port_get_buffer(self->in, frames);
        void* out = jack_port_get_buffer(self->out, frames);
        jack_midi_clear_buffer(out);
        const std::uint32_t count = jack_midi_get_event_count(in);
        for (std::uint32_t e = 0; e < count; ++e) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, in, e) == 0)
                jack_midi_event_write(out, event.time, event.buffer, event.size);
        }
        return 0;
    }
};

int runPassThrough(const std::string& server) {
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    jack_client_t* client = openClient("passthrough", server);
    if (client == nullptr)
        return 1;
    PassThrough pass;
    pass.in = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    pass.out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, &PassThrough::process, &pass);
    if (pass.in == nullptr || pass.out == nullptr || jack_activate(client) != 0)
        return 1;
    int signal = 0;
    sigwait(&stop, &signal);
    jack_client_close(client);
    return 0;
}

struct Options {
    std::string program = TARVELO_PROGRAM;
    std::string dataDir = TARVELO_DATA_SOURCE_DIR;
    double seconds = 10;
    double rate = 2800;
    int rounds = 5;
    std::vector<int> periods{256, 64};
    // Which routers to measure, by the names of their probe ports; all four unless narrowed.
    std::vector<std::string> routers{"window", "headless", "pass", "litpass"};
    bool synth = false;
};

template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::string selfPath() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string("router_cpu_bench");
}

std::string scratchDirectory() {
    char pattern[] = "/tmp/router-cpu-bench-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    return made != nullptr ? made : "/tmp";
}

// What one router cost over idle and dense stretches, summed over rounds.
struct Totals {
    double idleCpu = 0;  // seconds of CPU time
    double idleSeconds = 0;
    double denseCpu = 0;
    double denseSeconds = 0;
    std::uint64_t sent = 0;
    std::uint64_t routed = 0;
    long denseUserTicks = 0;
    long denseSystemTicks = 0;

    // The dense stretches minus the same process idle for as long, per message routed.
    double netPerMessage() const {
        if (routed == 0 || idleSeconds <= 0)
            return 0.0;
        const double net = denseCpu - idleCpu * denseSeconds / idleSeconds;
        return net / static_cast<double>(routed) * 1e6;
    }
    Totals& operator+=(const Totals& other) {
        idleCpu += other.idleCpu;
        idleSeconds += other.idleSeconds;
        denseCpu += other.denseCpu;
        denseSeconds += other.denseSeconds;
        sent += other.sent;
        routed += other.routed;
        denseUserTicks += other.denseUserTicks;
        denseSystemTicks += other.denseSystemTicks;
        return *this;
    }
};

double secondsOf(std::chrono::nanoseconds cpu) {
    return std::chrono::duration<double>(cpu).count();
}

// One idle stretch, then one dense stretch at `rate`, of one router's process.
Totals measureRound(Probe& probe, int router, pid_t pid, std::chrono::duration<double> stretch,
                    double rate) {
    Totals t;
    const CpuSample idleStart = sampleCpu(pid);
    auto begun = Clock::now();
    std::this_thread::sleep_for(stretch);
    t.idleSeconds = std::chrono::duration<double>(Clock::now() - begun).count();
    const CpuSample idleEnd = sampleCpu(pid);
    t.idleCpu = secondsOf(idleEnd.total - idleStart.total);

    const std::uint64_t heardBefore = probe.heard(router);
    const std::uint64_t sentBefore = probe.sent();
    const CpuSample denseStart = sampleCpu(pid);
    begun = Clock::now();
    probe.startSending(rate);
    std::this_thread::sleep_for(stretch);
    probe.stopSending();
    // A few cycles for the last messages to come back; the router's work on them counts.
    std::this_thread::sleep_for(100ms);
    t.denseSeconds = std::chrono::duration<double>(Clock::now() - begun).count();
    const CpuSample denseEnd = sampleCpu(pid);
    t.denseCpu = secondsOf(denseEnd.total - denseStart.total);
    t.sent = probe.sent() - sentBefore;
    t.routed = probe.heard(router) - heardBefore;
    t.denseUserTicks = denseEnd.userTicks - denseStart.userTicks;
    t.denseSystemTicks = denseEnd.systemTicks - denseStart.systemTicks;
    return t;
}

// One period setting: server, routers, idle and dense stretches, one table. False on a failure
// to set up, with the reason on stderr.
bool measurePeriod(const Options& options, int period, const std::string& scratch) {
    const std::string server =
        "router-cpu-bench-" + std::to_string(::getpid()) + "-" + std::to_string(period);
    Child jackd({"jackd", "-n", server, "--no-realtime", "-S", "-d", "dummy", "-r",
                 std::to_string(kSampleRate), "-p", std::to_string(period)},
                {}, scratch + "/jackd-" + std::to_string(period) + ".log");
    if (!waitFor(
            [&] {
                jack_client_t* c = openClient("bench-check", server);
                if (c != nullptr)
                    jack_client_close(c);
                return c != nullptr;
            },
            15s)) {
        std::fprintf(stderr, "jackd did not come up:\n%s\n", jackd.log().c_str());
        return false;
    }

    enum Router { Window, Headless, Pass, LitPass };
    const char* const names[Probe::kRouters] = {"window", "headless", "pass", "litpass"};
    const char* const labels[Probe::kRouters] = {"tarvelo (window, keys lit)", "tarvelo --headless",
                                                 "pass-through client",
                                                 "Qt pass-through, keys lit"};
    Probe probe(server, names);
    if (!probe.ok()) {
        std::fprintf(stderr, "the probe could not connect to %s\n", server.c_str());
        return false;
    }

    // One part over every key, on the probe's port, channel-message target included.
    tarvelo::StoredArrangement arrangement;
    arrangement.inputDeviceName = probe.feedPort(Headless);
    tarvelo::StoredPart part;
    part.part.name = "Part1";
    part.part.lowKey = 0;
    part.part.highKey = 127;
    part.outputDeviceName = probe.hearPort(Headless);
    arrangement.parts.push_back(part);
    arrangement.nextPartNumber = 2;
    arrangement.targetPart = 0;
    arrangement.targetDeviceName = part.outputDeviceName;
    arrangement.targetChannel = 0;
    const std::string file = scratch + "/one-part-" + std::to_string(period) + ".trv";
    if (tarvelo::writeArrangementFile(file, arrangement)) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return false;
    }

    const std::string serverVariable = "JACK_DEFAULT_SERVER=" + server;
    const std::string soundFont =
        options.synth ? std::string("BENCH_UNUSED=") : "TARVELO_SOUNDFONT=/nonexistent/none.sf2";
    const std::string suffix = "-" + std::to_string(period) + ".log";

    // Connects a reference client's ports, trying until they are connected: the ports may exist
    // before their client is active, and JACK refuses to connect them until it is.
    auto wire = [&](const std::string& client) {
        const Router router = client == "passthrough" ? Pass : LitPass;
        waitFor(
            [&] {
                jack_connect(probe.client(), probe.feedPort(router).c_str(),
                             (client + ":in").c_str());
                jack_connect(probe.client(), (client + ":out").c_str(),
                             probe.hearPort(router).c_str());
                return probe.connected(router);
            },
            20s);
    };
    // Starts one router and waits until it is wired between the probe's ports for it.
    auto start = [&](Router router) -> std::unique_ptr<Child> {
        std::unique_ptr<Child> child;
        switch (router) {
            case Window:
                // Alone with the probe, the window's first devices are the probe's window pair.
                child = std::make_unique<Child>(
                    std::vector<std::string>{options.program, "--midi-api", "jack"},
                    std::vector<std::string>{serverVariable, soundFont,
                                             "QT_QPA_PLATFORM=offscreen"},
                    scratch + "/window" + suffix, options.dataDir);
                break;
            case Headless:
                child =
                    std::make_unique<Child>(std::vector<std::string>{options.program, "--midi-api",
                                                                     "jack", "--headless", file},
                                            std::vector<std::string>{serverVariable, soundFont},
                                            scratch + "/headless" + suffix);
                break;
            case Pass:
                child = std::make_unique<Child>(
                    std::vector<std::string>{selfPath(), "--pass-through", server},
                    std::vector<std::string>{}, scratch + "/pass" + suffix);
                wire("passthrough");
                break;
            case LitPass:
                child =
                    std::make_unique<Child>(std::vector<std::string>{LIT_PASS_THROUGH, server},
                                            std::vector<std::string>{"QT_QPA_PLATFORM=offscreen"},
                                            scratch + "/litpass" + suffix);
                wire("litpass");
                break;
        }
        if (!waitFor([&] { return probe.connected(router); }, 20s)) {
            std::fprintf(stderr, "%s did not connect:\n%s\n", labels[router], child->log().c_str());
            return nullptr;
        }
        return child;
    };

    const auto stretch = std::chrono::duration<double>(options.seconds / options.rounds);
    std::printf(
        "\n%d frames at %d Hz, synchronous: each router alone between the probe's clients, %.0f s "
        "idle and %.0f s at %.0f messages/s, in %d rounds\n",
        period, kSampleRate, options.seconds, options.seconds, options.rate, options.rounds);
    std::printf("  %-28s %8s %6s %14s %15s %14s %15s %13s\n", "router", "routed", "lost",
                "idle ms CPU/s", "dense ms CPU/s", "net us/message", "rounds' range",
                "dense usr/sys");
    for (const Router router : {Window, Headless, Pass, LitPass}) {
        if (std::find(options.routers.begin(), options.routers.end(), names[router]) ==
            options.routers.end())
            continue;
        const std::unique_ptr<Child> child = start(router);
        if (child == nullptr)
            return false;
        const pid_t pid = child->pid();
        // Let start-up work (initial messages, first paint) settle first.
        std::this_thread::sleep_for(2s);
        // Idle and dense stretches take turns, so that a slow drift of the machine falls on both
        // alike; each round's own figure shows how much they scatter.
        Totals totals;
        double lowest = 1e300;
        double highest = -1e300;
        for (int round = 0; round < options.rounds; ++round) {
            const Totals one = measureRound(probe, router, pid, stretch, options.rate);
            totals += one;
            lowest = std::min(lowest, one.netPerMessage());
            highest = std::max(highest, one.netPerMessage());
        }
        std::printf("  %-28s %8llu %6lld %14.3f %15.3f %14.3f %7.2f..%-6.2f %6ld/%ld\n",
                    labels[router], static_cast<unsigned long long>(totals.routed),
                    static_cast<long long>(totals.sent) - static_cast<long long>(totals.routed),
                    totals.idleCpu / totals.idleSeconds * 1e3,
                    totals.denseCpu / totals.denseSeconds * 1e3, totals.netPerMessage(), lowest,
                    highest, totals.denseUserTicks, totals.denseSystemTicks);
        std::fflush(stdout);
        if (!child->alive()) {
            std::fprintf(stderr, "%s died:\n%s\n", labels[router], child->log().c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--pass-through")
        return runPassThrough(argv[2]);

    Options options;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (const auto synth = std::find(args.begin(), args.end(), "--synth"); synth != args.end()) {
        options.synth = true;
        args.erase(synth);
    }
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        const std::string& option = args[i];
        const std::string& value = args[i + 1];
        if (option == "--program") {
            // The window runs in the data directory: a relative path would not reach it there.
            options.program = std::filesystem::absolute(value).string();
        } else if (option == "--data") {
            options.dataDir = value;
        } else if (option == "--seconds") {
            options.seconds = std::max(1.0, std::atof(value.c_str()));
        } else if (option == "--rounds") {
            options.rounds = std::max(1, std::atoi(value.c_str()));
        } else if (option == "--rate") {
            options.rate = std::max(1.0, std::atof(value.c_str()));
        } else if (option == "--periods") {
            options.periods.clear();
            std::istringstream list(value);
            std::string item;
            while (std::getline(list, item, ','))
                options.periods.push_back(std::atoi(item.c_str()));
        } else if (option == "--routers") {
            options.routers.clear();
            std::istringstream list(value);
            std::string item;
            while (std::getline(list, item, ','))
                options.routers.push_back(item);
        } else {
            std::fprintf(stderr, "unknown option %s\n", option.c_str());
            return 2;
        }
    }
    if (args.size() % 2 == 1) {
        std::fprintf(
            stderr,
            "usage: %s [--program PATH] [--data DIR] [--seconds S] [--rounds R] [--rate N] "
            "[--periods 256,64] [--routers window,headless,pass,litpass] [--synth]\n",
            argv[0]);
        return 2;
    }
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    std::printf("program: %s\n", options.program.c_str());
    const std::string scratch = scratchDirectory();
    bool ok = true;
    for (int period : options.periods)
        ok &= measurePeriod(options, period, scratch);
    if (!ok)
        std::fprintf(stderr, "logs in %s\n", scratch.c_str());
    return ok ? 0 : 1;
}
