#pragma once

#include <jack/jack.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "midi/audio_host.h"
#include "midi/backend.h"
#include "midi/backends/jack/outgoing_queue.h"
#include "midi/backends/jack/output_backlog.h"
#include "midi/quiescence_gate.h"
#include "midi/spsc_ring.h"

namespace tarvelo::jack {

class Session;

// One registered MIDI input port as the process callback sees it.
struct InputState {
    jack_port_t* port = nullptr;
    InputHandler* handler = nullptr;
    // Written by the user-interface thread (release), read by the process thread (acquire).
    std::atomic<bool> started{false};
};

// One registered MIDI output port: the messages queued by the user-interface thread and the
// port's buffer for the current cycle.
class OutputState {
  public:
    OutputState(Session& session, jack_port_t* port, LongMessageListener& listener)
        : session_(session), port_(port), listener_(listener) {}

    // Process thread: clears the port's buffer for this cycle and writes what the user-interface
    // thread queued. Runs once per cycle, at the start of the cycle or, for a port published
    // while the cycle was under way, at its first routed message.
    void beginCycle() noexcept;
    // Process thread, inside the input walk: writes the message at the current input event's
    // frame. When the buffer is full, or routed messages still wait, it joins the backlog and
    // goes out in order at the start of the following cycles.
    SendResult sendFromInput(PackedMessage message) noexcept;
    // Process thread, at the end of the cycle: reports the long messages written in it.
    void finishCycle() noexcept;

    OutgoingQueue& queue() noexcept { return queue_; }
    // Any thread: nothing the user-interface thread queued or the input routed waits any more.
    bool idle() const noexcept { return queue_.idle() && backlog_.pending() == 0; }
    jack_port_t* port() const noexcept { return port_; }
    LongMessageListener& listener() const noexcept { return listener_; }

  private:
    // Process thread: writes one short message into this cycle's buffer; false when it does not
    // fit.
    bool writeShort(jack_nframes_t frame, PackedMessage message) noexcept;

    Session& session_;
    jack_port_t* const port_;
    LongMessageListener& listener_;
    OutgoingQueue queue_;
    OutputBacklog backlog_;  // process thread (pending() read by any)

    // Process thread only.
    void* buffer_ = nullptr;
    std::uint64_t preparedCycle_ = 0;  // the cycle buffer_ belongs to; cycles count from 1
    jack_nframes_t lastFrame_ = 0;     // frame of the last event written, to keep frames ordered
    std::array<LongMessageToken, 32> finished_{};
    std::size_t finishedCount_ = 0;
};

// One connection to a JACK server: the client, its ports as the process callback sees them, and
// the hand-offs between the user-interface thread and the process thread. When the server goes
// away the session is marked lost and stays so; the backend then opens a new one.
//
// Threads: the process callback runs on JACK's process thread; the shutdown callback and the port
// notifications on JACK threads of their own; everything else on the user-interface thread.
class Session {
  public:
    static constexpr std::size_t kMaxInputs = 8;
    static constexpr std::size_t kMaxOutputs = 64;

    // User-interface thread. Null when no server answers (none is ever started).
    static std::shared_ptr<Session> open(const std::string& serverName,
                                         const std::string& clientName,
                                         ServerLostListener* lostListener,
                                         DeviceChangeListener* changeListener);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Any thread: the server has gone (shut down, crashed, or threw this client out).
    bool lost() const noexcept { return lost_.load(std::memory_order_acquire); }
    // User-interface thread: the client can still be used. After a loss the first call closes
    // the client, so that no thread of it runs any more.
    bool usable();
    // User-interface thread: closes the client (if not yet) and reports, from this thread,
    // every long message still waiting; later sends are no-ops.
    void closeClient();
    bool closed() const { return client_ == nullptr; }

    jack_client_t* client() const { return client_; }
    std::string clientName() const;
    // User-interface thread. Once these return, the listener they replace is not called any
    // more (they wait, bounded, for a notice being delivered to it).
    void setServerLostListener(ServerLostListener* listener) noexcept {
        lostListener_.store(listener, std::memory_order_seq_cst);
        lossGate_.waitForQuiescence();
    }
    void setDeviceChangeListener(DeviceChangeListener* listener) noexcept {
        changeListener_.store(listener, std::memory_order_seq_cst);
        noticeGate_.waitForQuiescence();
    }

    // Any thread: the server announced a change of its graph (a client or port came, went or was
    // renamed, a connection was made or broken, the graph was reordered) less than `window` ago.
    // jackd2 announces a departure before the clients' view of the graph has dropped the leaving
    // ports, so one listing right after the notice may still show them: the owner lists again
    // until the graph has been quiet for a while.
    bool graphChangedWithin(std::chrono::milliseconds window) const noexcept;

    // Any thread: the server's sample rate as last announced (0 before the first notice).
    std::uint32_t sampleRate() const noexcept {
        return sampleRate_.load(std::memory_order_relaxed);
    }

    // User-interface thread: makes a port visible to the process callback; false when every
    // slot is taken.
    bool publish(InputState& input);
    bool publish(OutputState& output);
    // User-interface thread: hides a port from the process callback and waits until no callback
    // can still be using it. False when that wait timed out: the state must then stay alive until
    // the client is closed (see keepUntilClosed).
    bool retire(InputState& input);
    bool retire(OutputState& output);
    void keepUntilClosed(std::unique_ptr<InputState> input);
    void keepUntilClosed(std::unique_ptr<OutputState> output);

    // User-interface thread: a port name of ours not in use, "in", "in 2", ... or "out 1", ...
    std::string reservePortName(bool input);
    void releasePortName(const std::string& name);
    // User-interface thread: reserves a port name chosen by the caller; false when in use.
    bool reserveOwnPortName(const std::string& name) { return portNames_.insert(name).second; }

    // User-interface thread: reports a long message done on the thread that reports them (the
    // process thread while the client runs, this one once it is closed).
    void handOver(LongMessageListener& listener, LongMessageToken token);

    const QuiescenceGate& gate() const noexcept { return gate_; }

    // User-interface thread: a connection request was accepted; it can be trusted once the
    // process callback has completed `trustedAtPass` passes.
    void noteConnectionRequested(std::uint64_t trustedAtPass) {
        trustedAtPass_ = std::max(trustedAtPass_, trustedAtPass);
    }
    // User-interface thread; blocks up to limit: returns once every connection request accepted
    // so far can be trusted (or the server went away). Returns at once when none waits.
    void awaitRequestedConnections(std::chrono::milliseconds limit) const {
        if (gate_.completedPasses() >= trustedAtPass_)
            return;
        const std::uint64_t missing = trustedAtPass_ - gate_.completedPasses();
        gate_.waitForPasses(missing, limit, [this] { return lost(); });
    }

    // User-interface thread: plays source through two audio output ports of ours ("synth L",
    // "synth R"), rendered in the process callback after the input has been routed, so that it
    // hears this cycle's notes; with connectToPlayback they are connected to the first two
    // physical playback ports. False when the ports cannot be registered.
    bool attachAudio(AudioSource& source, bool connectToPlayback);
    // User-interface thread: once this returns the source is not called any more.
    void detachAudio();

    // Process thread: where the callback stands.
    std::uint64_t cycle() const noexcept { return cycle_; }
    jack_nframes_t frames() const noexcept { return frames_; }
    jack_nframes_t frame() const noexcept { return frame_; }

    // Any thread: messages lost (buffers full, sysex bigger than a buffer, queue full), and those
    // a full output backlog let give way to later ones.
    void countDropped(std::uint64_t n) noexcept {
        dropped_.fetch_add(n, std::memory_order_relaxed);
    }
    std::uint64_t dropped() const noexcept { return dropped_.load(std::memory_order_relaxed); }

  private:
    struct Completion {
        LongMessageListener* listener;
        LongMessageToken token;
    };
    static_assert(std::is_trivially_copyable_v<Completion>);

    Session() = default;
    static int processCallback(jack_nframes_t frames, void* arg) noexcept;
    static void shutdownCallback(void* arg) noexcept;
    // JACK's notification thread, one notifier per kind of graph change anywhere on the server
    // (ours included; the owner's listing sorts that out). Each only records the time and posts.
    static void clientRegistrationCallback(const char* name, int registered, void* arg) noexcept;
    static void portRegistrationCallback(jack_port_id_t port, int registered, void* arg) noexcept;
    static void portRenameCallback(jack_port_id_t port, const char* oldName, const char* newName,
                                   void* arg) noexcept;
    static void portConnectCallback(jack_port_id_t a, jack_port_id_t b, int connected,
                                    void* arg) noexcept;
    static int graphOrderCallback(void* arg) noexcept;
    static int sampleRateCallback(jack_nframes_t rate, void* arg) noexcept;
    void announceDeviceChange() noexcept;
    void renderAudio(jack_nframes_t frames) noexcept;
    int process(jack_nframes_t frames) noexcept;

    jack_client_t* client_ = nullptr;        // user-interface thread; null once closed
    std::atomic<bool> lost_{false};          // set by the shutdown callback (release)
    std::atomic<bool> lostReported_{false};  // the listener hears of a loss once
    std::atomic<bool> lossHandled_{false};   // the shutdown callback has finished (release)
    std::atomic<ServerLostListener*> lostListener_{nullptr};
    std::atomic<DeviceChangeListener*> changeListener_{nullptr};
    // Steady-clock time of the last graph notice, in nanoseconds since the clock's epoch; written
    // by the notification thread, read by any (relaxed: a time stamp publishes nothing).
    std::atomic<std::int64_t> lastGraphNotice_{0};
    // Written by the notification thread (and at the open), read by any (relaxed: a value).
    std::atomic<std::uint32_t> sampleRate_{0};
    // The process callback's passes; the notification thread's deliveries of a graph notice;
    // the one shutdown report.
    QuiescenceGate gate_;
    QuiescenceGate noticeGate_;
    QuiescenceGate lossGate_;

    // Published ports. Written by the user-interface thread, read by the process thread; both
    // seq_cst (see QuiescenceGate).
    std::array<std::atomic<InputState*>, kMaxInputs> inputs_{};
    std::array<std::atomic<OutputState*>, kMaxOutputs> outputs_{};
    // How many slots from the start have ever held a port: the process callback walks only
    // those, so a session with a few ports does not read all 72 slots every cycle. Only grows.
    // Stored (release) after the slot it covers; a callback that still reads the old bound
    // only meets the new port one cycle later.
    std::atomic<std::size_t> inputSlotsUsed_{0};
    std::atomic<std::size_t> outputSlotsUsed_{0};

    // Completions the user-interface thread passes to the process thread to report. When full
    // the user-interface thread waits (bounded).
    SpscRing<Completion, 1024> handedOver_;

    // Process thread only.
    std::uint64_t cycle_ = 0;
    jack_nframes_t frames_ = 0;
    jack_nframes_t frame_ = 0;

    std::atomic<std::uint64_t> dropped_{0};

    // The built-in synthesizer's sound: published by the user-interface thread (seq_cst, as
    // the ports above); its ports are registered once and kept until the client closes.
    std::atomic<AudioSource*> audio_{nullptr};
    std::array<std::atomic<jack_port_t*>, 2> audioPorts_{};

    // User-interface thread only.
    std::set<std::string> portNames_;
    std::uint64_t trustedAtPass_ = 0;
    std::vector<std::unique_ptr<InputState>> retiredInputs_;
    std::vector<std::unique_ptr<OutputState>> retiredOutputs_;
};

}  // namespace tarvelo::jack
