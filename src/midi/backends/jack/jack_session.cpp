#include "midi/backends/jack/jack_session.h"

#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <span>
#include <thread>

#include "midi/backends/incoming_messages.h"
#include "midi/backends/jack/frame_merge.h"

namespace tarvelo::jack {

namespace {

using namespace std::chrono_literals;

// A callback that is still inside after this long is stuck, not busy; its port is then kept
// alive until the client closes rather than freed under it.
constexpr auto kQuiescenceTimeout = 2000ms;
// How long the user-interface thread waits for room in a full hand-off ring.
constexpr auto kHandOverTimeout = 1000ms;

// The program keeps no log; JACK's complaints (about a server that is not running, mostly)
// would only clutter the command line.
void quiet(const char*) {}

void silenceJackMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(quiet);
        jack_set_info_function(quiet);
    });
}

// One output port's buffer for the current cycle, as OutgoingQueue writes to it.
struct CycleBuffer {
    void* buffer;
    std::size_t room() const noexcept { return jack_midi_max_event_size(buffer); }
    bool write(std::uint32_t frame, const std::uint8_t* data, std::size_t size) noexcept {
        return jack_midi_event_write(buffer, frame, data, size) == 0;
    }
};

// The events of one input port in this cycle, walked by visitInFrameOrder.
struct InputCursor {
    InputState* input = nullptr;
    void* buffer = nullptr;
    std::uint32_t count = 0;
    std::uint32_t index = 0;
    jack_midi_event_t event{};

    bool hasEvent() const noexcept { return index < count; }
    jack_nframes_t frame() const noexcept { return event.time; }
    void advance() noexcept {
        ++index;
        settle();
    }
    // Moves onto the next event JACK hands out (skipping any it refuses).
    void settle() noexcept {
        while (index < count && jack_midi_event_get(&event, buffer, index) != 0)
            ++index;
    }
};

}  // namespace

// ---- OutputState (process thread) ----

void OutputState::beginCycle() noexcept {
    if (preparedCycle_ == session_.cycle())
        return;
    finishCycle();  // nothing left over normally; never let a token slip
    preparedCycle_ = session_.cycle();
    lastFrame_ = 0;
    buffer_ = jack_port_get_buffer(port_, session_.frames());
    jack_midi_clear_buffer(buffer_);
    CycleBuffer sink{buffer_};
    const std::size_t capacity = sink.room();
    // What the input routed here in earlier cycles and did not fit goes first, at frame 0; the
    // user-interface thread's messages wait until it is all out, so that order holds.
    while (!backlog_.empty()) {
        if (!writeShort(0, backlog_.front()))
            return;
        backlog_.popFront();
    }
    // Half of the buffer stays free for what the input routes here later in the cycle.
    const QueueWriteResult result =
        queue_.writeInto(sink, capacity, capacity / 2, [this](LongMessageToken token) noexcept {
            finished_[finishedCount_++] = token;
            return finishedCount_ < finished_.size();
        });
    if (result.dropped > 0)
        session_.countDropped(static_cast<std::uint64_t>(result.dropped));
}

bool OutputState::writeShort(jack_nframes_t frame, PackedMessage message) noexcept {
    const std::uint8_t bytes[3] = {statusOf(message), data1Of(message), data2Of(message)};
    const auto size = static_cast<std::size_t>(shortMessageLength(bytes[0]));
    return size != 0 && jack_midi_max_event_size(buffer_) >= size &&
           jack_midi_event_write(buffer_, frame, bytes, size) == 0;
}

SendResult OutputState::sendFromInput(PackedMessage message) noexcept {
    beginCycle();
    if (shortMessageLength(statusOf(message)) == 0) {
        session_.countDropped(1);
        return SendResult::Dropped;
    }
    const jack_nframes_t frame = std::max(session_.frame(), lastFrame_);
    if (backlog_.empty() && writeShort(frame, message)) {
        lastFrame_ = frame;
        return SendResult::Written;
    }
    const OutputBacklog::Pushed pushed = backlog_.push(message);
    if (pushed.lost > 0)
        session_.countDropped(pushed.lost);
    return pushed.queued ? SendResult::Deferred : SendResult::Dropped;
}

void OutputState::finishCycle() noexcept {
    for (std::size_t i = 0; i < finishedCount_; ++i)
        listener_.longMessageDone(finished_[i]);
    finishedCount_ = 0;
}

// ---- Session ----

std::shared_ptr<Session> Session::open(const std::string& serverName, const std::string& clientName,
                                       ServerLostListener* lostListener,
                                       DeviceChangeListener* changeListener) {
    silenceJackMessages();
    int options = JackNoStartServer;
    if (!serverName.empty())
        options |= JackServerName;
    jack_status_t status{};
    jack_client_t* client = jack_client_open(
        clientName.c_str(), static_cast<jack_options_t>(options), &status, serverName.c_str());
    if (client == nullptr)
        return nullptr;

    std::shared_ptr<Session> session(new Session());
    session->client_ = client;
    session->lostListener_.store(lostListener, std::memory_order_release);
    session->changeListener_.store(changeListener, std::memory_order_release);
    jack_set_process_callback(client, &Session::processCallback, session.get());
    jack_on_shutdown(client, &Session::shutdownCallback, session.get());
    jack_set_client_registration_callback(client, &Session::clientRegistrationCallback,
                                          session.get());
    jack_set_port_registration_callback(client, &Session::portRegistrationCallback, session.get());
    jack_set_port_rename_callback(client, &Session::portRenameCallback, session.get());
    jack_set_port_connect_callback(client, &Session::portConnectCallback, session.get());
    jack_set_graph_order_callback(client, &Session::graphOrderCallback, session.get());
    jack_set_sample_rate_callback(client, &Session::sampleRateCallback, session.get());
    session->sampleRate_.store(jack_get_sample_rate(client), std::memory_order_relaxed);
    if (jack_activate(client) != 0) {
        session->closeClient();
        return nullptr;
    }
    return session;
}

Session::~Session() {
    closeClient();
}

bool Session::usable() {
    if (client_ != nullptr && lost())
        closeClient();
    return client_ != nullptr;
}

void Session::closeClient() {
    if (client_ == nullptr)
        return;
    if (lost()) {
        // Closing stops the thread the shutdown callback runs on; let it finish telling the
        // listener first.
        const auto deadline = std::chrono::steady_clock::now() + kQuiescenceTimeout;
        while (!lossHandled_.load(std::memory_order_acquire) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
    }
    // Once this returns no thread of the client runs any more, so this thread becomes the only
    // one to touch the queues and report completions.
    jack_client_close(client_);
    client_ = nullptr;

    Completion c{};
    while (handedOver_.pop(c))
        c.listener->longMessageDone(c.token);
    for (auto& slot : outputs_) {
        if (OutputState* output = slot.load(std::memory_order_seq_cst)) {
            output->queue().discard(
                [output](LongMessageToken token) { output->listener().longMessageDone(token); });
        }
    }
    for (auto& output : retiredOutputs_) {
        output->queue().discard(
            [&output](LongMessageToken token) { output->listener().longMessageDone(token); });
    }
    retiredOutputs_.clear();
    retiredInputs_.clear();
}

std::string Session::clientName() const {
    if (client_ == nullptr)
        return {};
    return jack_get_client_name(client_);
}

namespace {

// User-interface thread: puts item into the first free slot and widens the walked range to cover
// it. False when every slot is taken.
template <typename T, std::size_t N>
bool publishInto(std::array<std::atomic<T*>, N>& slots, std::atomic<std::size_t>& used, T& item) {
    for (std::size_t i = 0; i < N; ++i) {
        if (slots[i].load(std::memory_order_seq_cst) != nullptr)
            continue;
        slots[i].store(&item, std::memory_order_seq_cst);
        if (used.load(std::memory_order_relaxed) <= i)
            used.store(i + 1, std::memory_order_release);
        return true;
    }
    return false;
}

}  // namespace

bool Session::publish(InputState& input) {
    return publishInto(inputs_, inputSlotsUsed_, input);
}

bool Session::publish(OutputState& output) {
    return publishInto(outputs_, outputSlotsUsed_, output);
}

bool Session::retire(InputState& input) {
    for (auto& slot : inputs_) {
        if (slot.load(std::memory_order_seq_cst) == &input)
            slot.store(nullptr, std::memory_order_seq_cst);
    }
    return gate_.waitForQuiescence(kQuiescenceTimeout);
}

bool Session::retire(OutputState& output) {
    for (auto& slot : outputs_) {
        if (slot.load(std::memory_order_seq_cst) == &output)
            slot.store(nullptr, std::memory_order_seq_cst);
    }
    return gate_.waitForQuiescence(kQuiescenceTimeout);
}

void Session::keepUntilClosed(std::unique_ptr<InputState> input) {
    if (client_ != nullptr)
        retiredInputs_.push_back(std::move(input));
}

void Session::keepUntilClosed(std::unique_ptr<OutputState> output) {
    if (client_ == nullptr) {
        output->queue().discard(
            [&output](LongMessageToken token) { output->listener().longMessageDone(token); });
        return;
    }
    retiredOutputs_.push_back(std::move(output));
}

std::string Session::reservePortName(bool input) {
    for (int n = 1;; ++n) {
        std::string name =
            input ? (n == 1 ? "in" : "in " + std::to_string(n)) : "out " + std::to_string(n);
        if (portNames_.insert(name).second)
            return name;
    }
}

void Session::releasePortName(const std::string& name) {
    portNames_.erase(name);
}

void Session::handOver(LongMessageListener& listener, LongMessageToken token) {
    const auto deadline = std::chrono::steady_clock::now() + kHandOverTimeout;
    while (usable()) {
        if (handedOver_.push(Completion{&listener, token}))
            return;
        if (std::chrono::steady_clock::now() >= deadline) {
            // The process thread has stopped taking them without the server being lost; there is
            // no thread left that may report this one.
            countDropped(1);
            return;
        }
        std::this_thread::sleep_for(1ms);
    }
    listener.longMessageDone(token);
}

int Session::processCallback(jack_nframes_t frames, void* arg) noexcept {
    return static_cast<Session*>(arg)->process(frames);
}

void Session::shutdownCallback(void* arg) noexcept {
    auto* session = static_cast<Session*>(arg);
    session->lost_.store(true, std::memory_order_release);
    // JACK may call this from more than one of its threads; the first reports.
    if (session->lostReported_.exchange(true, std::memory_order_acq_rel))
        return;
    session->lossGate_.enter();
    if (ServerLostListener* listener = session->lostListener_.load(std::memory_order_seq_cst))
        listener->serverLost();
    session->lossGate_.leave();
    session->lossHandled_.store(true, std::memory_order_release);
}

void Session::clientRegistrationCallback(const char*, int, void* arg) noexcept {
    static_cast<Session*>(arg)->announceDeviceChange();
}

void Session::portRegistrationCallback(jack_port_id_t, int, void* arg) noexcept {
    static_cast<Session*>(arg)->announceDeviceChange();
}

void Session::portRenameCallback(jack_port_id_t, const char*, const char*, void* arg) noexcept {
    static_cast<Session*>(arg)->announceDeviceChange();
}

void Session::portConnectCallback(jack_port_id_t, jack_port_id_t, int, void* arg) noexcept {
    static_cast<Session*>(arg)->announceDeviceChange();
}

int Session::graphOrderCallback(void* arg) noexcept {
    static_cast<Session*>(arg)->announceDeviceChange();
    return 0;
}

int Session::sampleRateCallback(jack_nframes_t rate, void* arg) noexcept {
    auto* session = static_cast<Session*>(arg);
    session->sampleRate_.store(rate, std::memory_order_relaxed);
    // The owner's next listing hands the rate on to the built-in synthesizer.
    session->announceDeviceChange();
    return 0;
}

void Session::announceDeviceChange() noexcept {
    // Stamped before the post, so the listing the post causes already counts the graph as
    // unsettled and is followed by more.
    lastGraphNotice_.store(std::chrono::steady_clock::now().time_since_epoch().count(),
                           std::memory_order_relaxed);
    noticeGate_.enter();
    if (DeviceChangeListener* listener = changeListener_.load(std::memory_order_seq_cst))
        listener->devicesChanged();
    noticeGate_.leave();
}

bool Session::graphChangedWithin(std::chrono::milliseconds window) const noexcept {
    const std::int64_t last = lastGraphNotice_.load(std::memory_order_relaxed);
    if (last == 0)
        return false;
    const auto since = std::chrono::steady_clock::now().time_since_epoch() -
                       std::chrono::steady_clock::duration(last);
    return since < window;
}

int Session::process(jack_nframes_t frames) noexcept {
    gate_.enter();
    ++cycle_;
    frames_ = frames;
    frame_ = 0;

    Completion c{};
    while (handedOver_.pop(c))
        c.listener->longMessageDone(c.token);

    // Only the slots that have held a port; see outputSlotsUsed_.
    const std::span<std::atomic<OutputState*>> outputs(
        outputs_.data(), outputSlotsUsed_.load(std::memory_order_acquire));
    const std::span<std::atomic<InputState*>> inputs(
        inputs_.data(), inputSlotsUsed_.load(std::memory_order_acquire));

    // Every output buffer is cleared before any input is routed into it.
    for (auto& slot : outputs) {
        if (OutputState* output = slot.load(std::memory_order_seq_cst))
            output->beginCycle();
    }

    std::array<InputCursor, kMaxInputs> cursors;
    std::size_t open = 0;
    for (auto& slot : inputs) {
        InputState* input = slot.load(std::memory_order_seq_cst);
        if (input == nullptr || !input->started.load(std::memory_order_acquire))
            continue;
        InputCursor& cursor = cursors[open++];
        cursor.input = input;
        cursor.buffer = jack_port_get_buffer(input->port, frames);
        cursor.count = jack_midi_get_event_count(cursor.buffer);
        cursor.index = 0;
        cursor.settle();
    }
    visitInFrameOrder(std::span<InputCursor>(cursors.data(), open), [this](InputCursor& cursor) {
        frame_ = cursor.event.time;
        InputHandler& handler = *cursor.input->handler;
        forEachShortMessage(std::span<const std::uint8_t>(cursor.event.buffer, cursor.event.size),
                            [&handler](PackedMessage m) { handler.onShortMessage(m); });
    });

    renderAudio(frames);

    // Read again: a port published during the cycle may have written in it.
    for (auto& slot :
         std::span(outputs_.data(), outputSlotsUsed_.load(std::memory_order_acquire))) {
        if (OutputState* output = slot.load(std::memory_order_seq_cst))
            output->finishCycle();
    }
    gate_.leave();
    return 0;
}

void Session::renderAudio(jack_nframes_t frames) noexcept {
    jack_port_t* leftPort = audioPorts_[0].load(std::memory_order_acquire);
    if (leftPort == nullptr)
        return;
    jack_port_t* rightPort = audioPorts_[1].load(std::memory_order_relaxed);
    auto* left = static_cast<float*>(jack_port_get_buffer(leftPort, frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(rightPort, frames));
    if (AudioSource* source = audio_.load(std::memory_order_seq_cst)) {
        source->renderAudio(left, right, frames);
    } else {
        std::fill(left, left + frames, 0.0f);
        std::fill(right, right + frames, 0.0f);
    }
}

bool Session::attachAudio(AudioSource& source, bool connectToPlayback) {
    if (!usable())
        return false;
    if (audioPorts_[0].load(std::memory_order_relaxed) == nullptr) {
        jack_port_t* left = jack_port_register(client_, "synth L", JACK_DEFAULT_AUDIO_TYPE,
                                               JackPortIsOutput | JackPortIsTerminal, 0);
        jack_port_t* right = jack_port_register(client_, "synth R", JACK_DEFAULT_AUDIO_TYPE,
                                                JackPortIsOutput | JackPortIsTerminal, 0);
        if (left == nullptr || right == nullptr) {
            if (left != nullptr)
                jack_port_unregister(client_, left);
            if (right != nullptr)
                jack_port_unregister(client_, right);
            return false;
        }
        // The process callback looks at the right port only after it has seen the left one
        // (acquire), so it always finds both.
        audioPorts_[1].store(right, std::memory_order_relaxed);
        audioPorts_[0].store(left, std::memory_order_release);
    }
    audio_.store(&source, std::memory_order_seq_cst);
    if (connectToPlayback) {
        const char** playback = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                               JackPortIsPhysical | JackPortIsInput);
        if (playback != nullptr) {
            for (std::size_t i = 0; i < 2 && playback[i] != nullptr; ++i)
                jack_connect(client_, jack_port_name(audioPorts_[i].load()), playback[i]);
            jack_free(static_cast<void*>(playback));
        }
    }
    return true;
}

void Session::detachAudio() {
    audio_.store(nullptr, std::memory_order_seq_cst);
    gate_.waitForQuiescence(kQuiescenceTimeout);
}

}  // namespace tarvelo::jack
