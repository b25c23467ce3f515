// The built-in synthesizer on a JACK server: a probe plays a key into the program's input and
// records the synthesizer's audio ports.
#include <gtest/gtest.h>
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "integration/jack_test_client.h"
#include "integration/private_jack_server.h"
#include "midi/backends/jack/jack_backend.h"
#include "midi/built_in_devices.h"
#include "midi/synth/synth_backend.h"
#include "session/live_session.h"
#include "support/recording_host.h"

namespace tarvelo {
namespace {

using namespace std::chrono_literals;
using testing::JackTestClient;
using testing::uniqueName;

// Records one audio input from its first cycle on, with the absolute frame of the first sample.
class AudioProbe {
  public:
    AudioProbe(const std::string& server, std::size_t capacity,
               const std::string& name = "probe-ears")
        : samples_(capacity) {
        jack_status_t status{};
        client_ = jack_client_open(uniqueName(name).c_str(),
                                   static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                   &status, server.c_str());
        if (client_ == nullptr)
            return;
        port_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &AudioProbe::process, this);
        jack_activate(client_);
    }
    ~AudioProbe() {
        if (client_ != nullptr)
            jack_client_close(client_);
    }

    bool ok() const { return client_ != nullptr && port_ != nullptr; }
    std::string port() const { return jack_port_name(port_); }
    jack_client_t* client() const { return client_; }

    // Upward zero crossings per second over the recording after its first `skip` samples, at
    // `rate` frames per second: the pitch of a pure enough tone. Periods across frames the probe
    // missed are left out.
    double crossingsPerSecond(std::size_t skip, std::uint32_t rate) const {
        const std::size_t recorded = count_.load(std::memory_order_acquire);
        std::size_t last = 0;  // the previous crossing; 0: none since the last gap
        std::size_t periods = 0;
        std::size_t frames = 0;
        for (std::size_t i = skip + 1; i < recorded; ++i) {
            if (std::isnan(samples_[i])) {
                last = 0;
            } else if (samples_[i - 1] < 0.0f && samples_[i] >= 0.0f) {
                if (last != 0) {
                    ++periods;
                    frames += i - last;
                }
                last = i;
            }
        }
        return periods == 0 ? 0.0 : double(periods) * double(rate) / double(frames);
    }
    std::size_t recorded() const { return count_.load(std::memory_order_acquire); }
    // The absolute frame after the last one recorded; 0 before the first cycle.
    std::uint64_t recordedUntil() const {
        const std::size_t recorded = count_.load(std::memory_order_acquire);
        return recorded == 0 ? 0 : firstFrame_.load(std::memory_order_acquire) + recorded;
    }

    // The absolute frame of the first sample above the noise floor at or after `from`; 0 if none.
    std::uint64_t onsetAfter(std::uint64_t from) const {
        const std::size_t recorded = count_.load(std::memory_order_acquire);
        const std::uint64_t first = firstFrame_.load(std::memory_order_acquire);
        for (std::size_t i = from > first ? from - first : 0; i < recorded; ++i) {
            if (std::fabs(samples_[i]) > 1e-6f)
                return first + i;
        }
        return 0;
    }

    // The RMS level in dBFS of the `frames` samples from absolute frame `from`; NaN when they
    // were not all recorded or the probe missed some.
    double levelDbfs(std::uint64_t from, std::size_t frames) const {
        const std::uint64_t first = firstFrame_.load(std::memory_order_acquire);
        if (from < first || from - first + frames > count_.load(std::memory_order_acquire))
            return std::nan("");
        double sum = 0.0;
        for (std::size_t i = 0; i < frames; ++i) {
            const double s = samples_[from - first + i];
            sum += s * s;
        }
        return 10.0 * std::log10(sum / double(frames) + 1e-30);
    }

  private:
    static int process(jack_nframes_t frames, void* arg) noexcept {
        auto& self = *static_cast<AudioProbe*>(arg);
        const auto* in = static_cast<const float*>(jack_port_get_buffer(self.port_, frames));
        const std::uint64_t now = jack_last_frame_time(self.client_);
        std::size_t at = self.count_.load(std::memory_order_relaxed);
        if (at == 0)
            self.firstFrame_.store(now, std::memory_order_release);
        // A cycle this client missed (an xrun on a busy machine) is recorded as unknown (NaN),
        // never as sound or silence, so every sample keeps its frame.
        const std::uint64_t start = now - self.firstFrame_.load(std::memory_order_relaxed);
        for (; at < start && at < self.samples_.size(); ++at)
            self.samples_[at] = std::numeric_limits<float>::quiet_NaN();
        for (jack_nframes_t i = 0; i < frames && at < self.samples_.size(); ++i)
            self.samples_[at++] = in[i];
        self.count_.store(at, std::memory_order_release);
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    std::vector<float> samples_;
    std::atomic<std::size_t> count_{0};
    std::atomic<std::uint64_t> firstFrame_{0};
};

// Plays middle C into the program at frame `offset` of a cycle and returns how many frames after
// the key its sound starts on the synthesizer's left port; fails the test unless that lies in
// the key's own cycle.
std::int64_t onsetDelay(const std::string& server, std::uint32_t framesPerPeriod,
                        std::uint32_t offset) {
    synth::SynthOptions options;
    options.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    options.connectAudio = false;
    synth::SynthBackend backend(std::make_unique<JackBackend>(server), options);
    JackTestClient keys(uniqueName("probe-keys"), {}, {"out"}, server);
    AudioProbe ears(server, 48000 * 10);
    EXPECT_TRUE(keys.ok() && ears.ok()) << "no JACK server " << server;
    EXPECT_NE(backend.engine(), nullptr);
    if (!keys.ok() || !ears.ok() || backend.engine() == nullptr)
        return -1;
    EXPECT_EQ(backend.engine()->waitUntilLoaded(), synth::SynthEngine::State::Ready);
    const auto& jack = static_cast<JackBackend&>(backend.system());
    EXPECT_TRUE(testing::connectPorts(ears.client(), jack.clientName() + ":synth L", ears.port()));

    // One part over the whole keyboard on the synthesizer, the probe's keys as the input.
    testing::RecordingHost host;
    LiveSession session(backend, host);
    session.newArrangement();
    const int synthIndex = session.devices().findOutputByName(kSynthDeviceName);
    EXPECT_GE(synthIndex, 0);
    session.setOutputDevice(0, synthIndex);
    session.setInputDevice(session.devices().findInputByName(keys.outputPort(0)));
    std::this_thread::sleep_for(100ms);

    EXPECT_TRUE(keys.send(0, offset, {0x90, 60, 127}));
    EXPECT_TRUE(keys.waitUntilSent());
    std::this_thread::sleep_for(200ms);
    const std::uint64_t key = keys.sent().at(0).frame;
    const std::uint64_t onset = ears.onsetAfter(key - offset);
    session.shutdown();
    EXPECT_GE(onset, key) << "sound before the key";
    EXPECT_LT(onset, key - offset + framesPerPeriod)
        << "the sound did not start in the key's cycle";
    return static_cast<std::int64_t>(onset) - static_cast<std::int64_t>(key);
}

TEST(SynthOnJack, SoundStartsInTheCycleOfTheKeyAt256Frames) {
    // FluidSynth starts voices on its 64-frame grid: a key at frame 0 sounds at once, one at
    // frame 100 from frame 128.
    // A synchronous server of the test's own: on an asynchronous one a client that a busy machine
    // delays past its cycle hands its output over a cycle late, by the server's design.
    testing::PrivateJackServer server(uniqueName("tarvelo-256"), 256);
    server.setSynchronous(true);
    ASSERT_TRUE(server.start()) << "could not start jackd";
    for (const std::uint32_t offset : {0u, 100u}) {
        const std::int64_t delay = onsetDelay(server.name(), 256, offset);
        std::printf("256 frames/period, key at frame %u: sound %lld frames later\n", offset,
                    static_cast<long long>(delay));
        EXPECT_LT(delay, 64);
    }
}

TEST(SynthOnJack, SoundStartsInTheCycleOfTheKeyAt64Frames) {
    testing::PrivateJackServer server(uniqueName("tarvelo-64"), 64);
    server.setSynchronous(true);
    ASSERT_TRUE(server.start()) << "could not start jackd";
    const std::int64_t delay = onsetDelay(server.name(), 64, 0);
    std::printf("64 frames/period, key at frame 0: sound %lld frames later\n",
                static_cast<long long>(delay));
}

// A chord held by the sustain pedal, then the panic: the synthesizer's output (both ports) falls
// below -80 dBFS within 20 ms of the cycle in which the call returned, and stays there. Counted
// in the server's frames, so a slow machine delays the test but does not change the figure.
TEST(SynthOnJack, APanicSilencesASustainedChordWithin20Milliseconds) {
    const char* server = std::getenv("JACK_DEFAULT_SERVER");
    synth::SynthOptions options;
    options.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    options.connectAudio = false;
    synth::SynthBackend backend(std::make_unique<JackBackend>(server ? server : ""), options);
    ASSERT_NE(backend.engine(), nullptr);
    ASSERT_EQ(backend.engine()->waitUntilLoaded(), synth::SynthEngine::State::Ready);
    JackTestClient keys(uniqueName("panic-keys"), {}, {"out"});
    AudioProbe left(server ? server : "", 48000 * 20, "panic-left");
    AudioProbe right(server ? server : "", 48000 * 20, "panic-right");
    ASSERT_TRUE(keys.ok() && left.ok() && right.ok());
    const auto& jack = static_cast<JackBackend&>(backend.system());
    ASSERT_TRUE(testing::connectPorts(left.client(), jack.clientName() + ":synth L", left.port()));
    ASSERT_TRUE(
        testing::connectPorts(right.client(), jack.clientName() + ":synth R", right.port()));
    testing::RecordingHost host;
    LiveSession session(backend, host);
    session.newArrangement();
    ASSERT_TRUE(session.setOutputDevice(0, session.devices().findOutputByName(kSynthDeviceName)));
    ASSERT_TRUE(session.setInputDevice(session.devices().findInputByName(keys.outputPort(0))));
    const std::uint32_t rate = jack_get_sample_rate(left.client());
    const std::size_t block = rate / 1000;  // levels over 1 ms
    auto level = [&](std::uint64_t from) {
        return std::max(left.levelDbfs(from, block), right.levelDbfs(from, block));
    };
    // Waits until both probes hold every frame before `frame`.
    auto recordedUpTo = [&](std::uint64_t frame) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!(left.recordedUntil() >= frame && right.recordedUntil() >= frame) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
        return left.recordedUntil() >= frame && right.recordedUntil() >= frame;
    };

    ASSERT_TRUE(keys.send(0, 0, {0xB0, 64, 127}));
    ASSERT_TRUE(keys.sendInOneCycle({{0, 0, {0x90, 48, 110}},
                                     {0, 0, {0x90, 60, 110}},
                                     {0, 0, {0x90, 64, 110}},
                                     {0, 0, {0x90, 67, 110}}}));
    ASSERT_TRUE(keys.sendInOneCycle({{0, 0, {0x80, 48, 0}},
                                     {0, 0, {0x80, 60, 0}},
                                     {0, 0, {0x80, 64, 0}},
                                     {0, 0, {0x80, 67, 0}}}));
    ASSERT_TRUE(keys.waitUntilSent());
    const std::uint64_t released = keys.sent().back().frame;
    // The pedal holds the chord 100 ms after its keys were let go.
    ASSERT_TRUE(recordedUpTo(released + 100 * block));
    const double before = level(released + 99 * block);
    ASSERT_GT(before, -40.0) << "the chord did not sound";

    session.panic();
    const std::uint64_t action = jack_last_frame_time(left.client());
    ASSERT_TRUE(recordedUpTo(action + 201 * block));
    // The first millisecond from which on every one is below -80 dBFS, up to 200 ms after.
    std::size_t silentFrom = 200;
    for (std::size_t ms = 200; ms-- > 0;) {
        if (!(level(action + ms * block) < -80.0))
            break;
        silentFrom = ms;
    }
    std::printf(
        "[ figures  ] sustained chord at %.1f dBFS; below -80 dBFS %zu ms after the "
        "panic's cycle (%.1f dBFS at 20 ms; %u frames a cycle at %u Hz)\n",
        before, silentFrom, level(action + 20 * block),
        static_cast<unsigned>(jack_get_buffer_size(left.client())), static_cast<unsigned>(rate));
    EXPECT_LE(silentFrom, 20u);
    session.shutdown();
}

// A server that comes back at another rate: the synthesizer renders at the new one, so a note
// keeps its pitch.
TEST(SynthOnJack, AServerThatComesBackAtAnotherRateIsPlayedAtItsRate) {
    testing::PrivateJackServer server(uniqueName("tarvelo-rate"));
    ASSERT_TRUE(server.start()) << "could not start jackd";
    synth::SynthOptions options;
    options.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    options.connectAudio = false;
    synth::SynthBackend backend(std::make_unique<JackBackend>(server.name()), options);
    ASSERT_NE(backend.engine(), nullptr);
    ASSERT_EQ(backend.engine()->waitUntilLoaded(), synth::SynthEngine::State::Ready);
    EXPECT_EQ(backend.engine()->sampleRate(), 48000u);
    testing::RecordingHost host;
    LiveSession session(backend, host);
    session.newArrangement();

    server.kill(SIGKILL);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (host.serverLosses == 0 && std::chrono::steady_clock::now() < deadline) {
        session.mailbox().wakeSignal().wait(10);
        session.drain();
    }
    ASSERT_EQ(host.serverLosses, 1);
    server.setSampleRate(44100);
    ASSERT_TRUE(server.start()) << "could not restart jackd";
    while (host.serverReturns == 0 && std::chrono::steady_clock::now() < deadline + 10s) {
        std::this_thread::sleep_for(20ms);
        session.followDevices();
    }
    ASSERT_EQ(host.serverReturns, 1);
    EXPECT_EQ(backend.engine()->sampleRate(), 44100u);

    // A4 through the synthesizer: 440 Hz at the new rate (at the old one it would be 403 Hz).
    JackTestClient keys(uniqueName("rate-keys"), {}, {"out"}, server.name());
    AudioProbe ears(server.name(), 44100 * 2);
    ASSERT_TRUE(keys.ok() && ears.ok());
    const auto& jack = static_cast<JackBackend&>(backend.system());
    ASSERT_TRUE(testing::connectPorts(ears.client(), jack.clientName() + ":synth L", ears.port()));
    session.followDevices();
    ASSERT_TRUE(session.setOutputDevice(0, session.devices().findOutputByName(kSynthDeviceName)));
    ASSERT_TRUE(session.setInputDevice(session.devices().findInputByName(keys.outputPort(0))));
    session.setTarget(0);
    const std::size_t before = ears.recorded();
    ASSERT_TRUE(keys.send(0, 0, {0xC0, 79}));  // an ocarina: one zero crossing a cycle
    ASSERT_TRUE(keys.send(0, 0, {0x90, 69, 100}));
    std::this_thread::sleep_for(600ms);
    const double pitch = ears.crossingsPerSecond(before + 44100 / 10, 44100);
    std::printf("[ figures  ] A4 after the server came back at 44100 Hz: %.1f Hz\n", pitch);
    EXPECT_NEAR(pitch, 440.0, 6.0);
    session.shutdown();
}

}  // namespace
}  // namespace tarvelo
