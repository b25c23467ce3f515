#include "midi/backends/jack/jack_backend.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <string_view>
#include <thread>

#include "midi/backends/jack/jack_session.h"
#include "midi/built_in_devices.h"

namespace tarvelo {

namespace {

using namespace std::chrono_literals;
using jack::InputState;
using jack::OutputState;
using jack::Session;

// The short name of the port behind "Tarvelo Virtual In".
constexpr const char* kVirtualInputPort = "virtual in";
// How long closing an output waits for its queued messages (the silencing note offs) to go out.
constexpr auto kDrainTimeout = 1000ms;
// How long a send waits for room when the queue is full.
constexpr auto kQueueFullTimeout = 2000ms;
// How often the owner lists devices, and so tries to reach a server, while there is none.
constexpr auto kReconnectInterval = 1000ms;
// After a graph notice the owner lists again this often until the graph has been quiet for the
// settling window: a listing made right after a notice may still see ports that are leaving
// (jackd2 switches the clients' view of the graph only at a later cycle), and a change that
// happens while a listing runs is seen by the next one.
constexpr auto kSettleInterval = 100ms;
constexpr auto kSettleWindow = 600ms;
// How often a connection the server refused (the other client is not active yet) is tried again.
constexpr auto kConnectRetryInterval = 250ms;
// Whole cycles of ours, counted from an accepted connection request, after which a connection the
// graph shows is trusted with data. jackd2 shows a connection from the cycle after the request;
// PipeWire's JACK shows its link at once but may drop what the first cycle carries while the link
// starts (seen with one cycle, never with two).
constexpr std::uint64_t kCarryingCycles = 3;

// The connection between one of our ports and another client's port, made at the open and
// confirmed before the device layer uses it. User-interface thread only.
class PortLink {
  public:
    // other: the other client's port; empty for a port of ours left for the patchbay, which
    // counts as connected.
    PortLink(jack_port_t* ours, std::string other, bool oursIsInput)
        : ours_(ours), other_(std::move(other)), oursIsInput_(oursIsInput),
          confirmed_(other_.empty()) {}

    // Asks the server for the connection now; a refusal is tried again by connected().
    void connect(Session& session) {
        lastAttempt_ = std::chrono::steady_clock::now();
        const char* ours = jack_port_name(ours_);
        const int refused = oursIsInput_ ? jack_connect(session.client(), other_.c_str(), ours)
                                         : jack_connect(session.client(), ours, other_.c_str());
        if (refused == 0 || refused == EEXIST) {
            acceptedAt_ = session.gate().completedPasses();
            session.noteConnectionRequested(*acceptedAt_ + kCarryingCycles);
        }
    }

    // True once the server's graph, as this client reads it, holds the connection and
    // kCarryingCycles of our cycles have passed since the server accepted it: from then on every
    // cycle carries what passes between the ports. A connection the server refused (the other
    // client is not active yet) is asked for again, at most every kConnectRetryInterval.
    bool connected(Session& session) {
        if (confirmed_)
            return true;
        if (!session.usable())
            return false;
        if (jack_port_connected_to(ours_, other_.c_str()) == 0) {
            if (std::chrono::steady_clock::now() - lastAttempt_ >= kConnectRetryInterval)
                connect(session);
            return false;
        }
        confirmed_ = acceptedAt_ && session.gate().completedPasses() >= *acceptedAt_ + kCarryingCycles;
        return confirmed_;
    }

  private:
    jack_port_t* ours_;
    std::string other_;
    bool oursIsInput_;
    bool confirmed_;
    // Our completed cycles when the server last accepted the connection request.
    std::optional<std::uint64_t> acceptedAt_;
    std::chrono::steady_clock::time_point lastAttempt_{};
};

class JackInputPort final : public MidiInputPort {
  public:
    JackInputPort(std::shared_ptr<Session> session, std::unique_ptr<InputState> state,
                  std::string portName, PortLink link)
        : session_(std::move(session)), state_(std::move(state)), portName_(std::move(portName)),
          link_(std::move(link)) {}

    ~JackInputPort() override {
        if (session_->usable()) {
            const bool quiet = session_->retire(*state_);
            jack_port_unregister(session_->client(), state_->port);
            if (!quiet)
                session_->keepUntilClosed(std::move(state_));
        }
        session_->releasePortName(portName_);
    }

    void start() override { state_->started.store(true, std::memory_order_release); }
    bool connected() override { return link_.connected(*session_); }

  private:
    std::shared_ptr<Session> session_;
    std::unique_ptr<InputState> state_;
    std::string portName_;
    PortLink link_;
};

class JackOutputPort final : public MidiOutputPort {
  public:
    JackOutputPort(std::shared_ptr<Session> session, std::unique_ptr<OutputState> state,
                   std::string portName, PortLink link)
        : session_(std::move(session)), state_(std::move(state)), portName_(std::move(portName)),
          link_(std::move(link)) {}

    ~JackOutputPort() override {
        if (session_->usable()) {
            drain();
            const bool quiet = session_->retire(*state_);
            jack_port_unregister(session_->client(), state_->port());
            if (!quiet) {
                session_->keepUntilClosed(std::move(state_));
            } else {
                discardQueued();
            }
        } else {
            discardQueued();
        }
        session_->releasePortName(portName_);
    }

    SendResult sendFromInput(PackedMessage message) noexcept override {
        return state_->sendFromInput(message);
    }

    // A send refused because the server has gone is no loss to report: the owner has heard
    // that every device is silent.
    void sendShort(PackedMessage message) override {
        if (!push(jack::QueuedMessage::shortMessage(message)) && !session_->lost())
            session_->countDropped(1);
    }

    void sendLong(std::span<const std::uint8_t> bytes, LongMessageToken token) override {
        if (push(jack::QueuedMessage::longMessage(bytes, token)))
            return;
        if (!session_->lost())
            session_->countDropped(1);
        session_->handOver(state_->listener(), token);
    }

    bool connected() override { return link_.connected(*session_); }

  private:
    bool push(const jack::QueuedMessage& message) {
        const auto deadline = std::chrono::steady_clock::now() + kQueueFullTimeout;
        while (session_->usable()) {
            if (state_->queue().push(message))
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

    // Lets what is queued go out, then one more cycle so the port's buffer is left empty and its
    // readers have taken the last of it before the port goes.
    void drain() {
        const auto giveUp = [this] { return session_->lost(); };
        const auto deadline = std::chrono::steady_clock::now() + kDrainTimeout;
        while (!state_->idle()) {
            if (giveUp() || std::chrono::steady_clock::now() >= deadline)
                return;
            std::this_thread::sleep_for(1ms);
        }
        session_->gate().waitForPasses(2, kDrainTimeout, giveUp);
    }

    // Only with the process thread no longer looking at the port.
    void discardQueued() {
        state_->queue().discard(
            [this](LongMessageToken token) { session_->handOver(state_->listener(), token); });
    }

    std::shared_ptr<Session> session_;
    std::unique_ptr<OutputState> state_;
    std::string portName_;
    PortLink link_;
};

}  // namespace

JackBackend::JackBackend(std::string serverName, std::string clientName)
    : serverName_(std::move(serverName)), clientName_(std::move(clientName)) {
    session_ = Session::open(serverName_, clientName_, lostListener_, changeListener_);
    frameClock_.session.store(session_.get(), std::memory_order_release);
}

JackBackend::~JackBackend() {
    // Ports still open (they should not be) fall silent rather than touch a closed client.
    if (session_)
        session_->closeClient();
}

std::uint32_t JackBackend::FrameClock::eventFrame() const noexcept {
    const jack::Session* live = session.load(std::memory_order_acquire);
    return live != nullptr ? live->frame() : 0;
}

std::uint32_t JackBackend::sampleRate() {
    const std::shared_ptr<Session> session = liveSession();
    return session ? jack_get_sample_rate(session->client()) : 0;
}

bool JackBackend::attachAudioSource(AudioSource& source, bool connectToPlayback) {
    audioSource_ = &source;
    connectAudio_ = connectToPlayback;
    sourceRate_ = sampleRate();
    const std::shared_ptr<Session> session = liveSession();
    return session && session->attachAudio(source, connectToPlayback);
}

void JackBackend::detachAudioSource() {
    audioSource_ = nullptr;
    if (session_ && !session_->closed())
        session_->detachAudio();
}

void JackBackend::reportLongMessageDone(LongMessageListener& listener, LongMessageToken token) {
    if (session_) {
        session_->handOver(listener, token);
    } else {
        listener.longMessageDone(token);
    }
}

std::shared_ptr<Session> JackBackend::liveSession() {
    if (session_ && !session_->usable()) {
        // Reconnect only once nothing of the lost connection is in use, so that completions
        // are never reported from two threads at once.
        if (session_.use_count() > 1)
            return nullptr;
        droppedBefore_ += session_->dropped();
        // Its client is closed: no process callback of it runs any more.
        frameClock_.session.store(nullptr, std::memory_order_release);
        session_.reset();
        lostWithoutReconnect_ = true;
    }
    if (!session_) {
        session_ = Session::open(serverName_, clientName_, lostListener_, changeListener_);
        if (session_) {
            lostWithoutReconnect_ = false;
            frameClock_.session.store(session_.get(), std::memory_order_release);
            if (audioSource_ != nullptr) {
                followSampleRate();
                session_->attachAudio(*audioSource_, connectAudio_);
            }
        }
    }
    return session_;
}

void JackBackend::followSampleRate() {
    if (audioSource_ == nullptr || !session_ || session_->sampleRate() == 0 ||
        session_->sampleRate() == sourceRate_) {
        return;
    }
    sourceRate_ = session_->sampleRate();
    audioSource_->changeSampleRate(sourceRate_);
}

bool JackBackend::serverLost() const {
    return session_ ? session_->lost() : lostWithoutReconnect_;
}

void JackBackend::setServerLostListener(ServerLostListener* listener) {
    lostListener_ = listener;
    if (session_)
        session_->setServerLostListener(listener);
}

void JackBackend::setDeviceChangeListener(DeviceChangeListener* listener) {
    changeListener_ = listener;
    if (session_)
        session_->setDeviceChangeListener(listener);
}

void JackBackend::awaitConnections(std::chrono::milliseconds limit) {
    if (!connected())
        return;
    session_->awaitRequestedConnections(limit);
}

std::chrono::milliseconds JackBackend::relistInterval() const {
    if (!connected())
        return kReconnectInterval;
    return session_->graphChangedWithin(kSettleWindow) ? kSettleInterval
                                                       : std::chrono::milliseconds::zero();
}

bool JackBackend::connected() const {
    return session_ && !session_->closed() && !session_->lost();
}

std::string JackBackend::clientName() const {
    return connected() ? session_->clientName() : std::string();
}

std::vector<std::string> JackBackend::ownInputPorts() const {
    std::vector<std::string> names;
    if (!connected())
        return names;
    jack_client_t* client = session_->client();
    const std::string pattern = "^" + session_->clientName() + ":";
    const char** ports =
        jack_get_ports(client, pattern.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
    if (ports == nullptr)
        return names;
    for (const char** p = ports; *p != nullptr; ++p) {
        jack_port_t* port = jack_port_by_name(client, *p);
        if (port != nullptr && jack_port_is_mine(client, port))
            names.emplace_back(*p);
    }
    jack_free(static_cast<void*>(ports));
    return names;
}

std::uint64_t JackBackend::droppedMessages() const {
    return droppedBefore_ + (session_ ? session_->dropped() : 0);
}

jack_native_thread_t JackBackend::processThread() const {
    if (!connected())
        return {};
    return jack_client_thread_id(session_->client());
}

std::vector<std::string> JackBackend::listPorts(unsigned long flags) {
    std::vector<std::string> names;
    const std::shared_ptr<Session> session = liveSession();
    if (!session)
        return names;
    followSampleRate();
    jack_client_t* client = session->client();
    const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    if (ports == nullptr)
        return names;
    for (const char** p = ports; *p != nullptr; ++p) {
        jack_port_t* port = jack_port_by_name(client, *p);
        if (port != nullptr && jack_port_is_mine(client, port))
            continue;
        // Nor are the ports of this program's helper clients ("Tarvelo player").
        if (std::string_view(*p).rfind(clientName_ + " ", 0) == 0)
            continue;
        names.emplace_back(*p);
    }
    jack_free(static_cast<void*>(ports));
    return names;
}

std::vector<std::string> JackBackend::inputNames() {
    std::vector<std::string> names = listPorts(JackPortIsOutput);
    // Ours is there whenever a server is.
    if (connected())
        names.emplace_back(kVirtualInputName);
    return names;
}

std::vector<std::string> JackBackend::outputNames() {
    return listPorts(JackPortIsInput);
}

namespace {

// Registers one of our ports under a reserved name, shows it to the process thread and asks the
// server to connect it with the other client's port (an empty name: our own port, left for the
// patchbay). A refused connection is no failure: the link tries again until the other client can
// take it (its ports may exist before it is active). Null when the port cannot be registered or
// shown; makeState builds the process thread's view of the registered port.
template <typename State, typename MakeState>
std::unique_ptr<State> attachPort(Session& session, bool input, const std::string& portName,
                                  const std::string& otherPort, MakeState makeState,
                                  std::optional<PortLink>& link) {
    jack_client_t* client = session.client();
    // A device that is not there (it left after the listing) is refused, not waited for.
    if (!otherPort.empty() && jack_port_by_name(client, otherPort.c_str()) == nullptr)
        return nullptr;
    jack_port_t* port = jack_port_register(client, portName.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                           input ? JackPortIsInput : JackPortIsOutput, 0);
    if (port == nullptr)
        return nullptr;
    std::unique_ptr<State> state = makeState(port);
    // An output is published before it is connected: from then on every cycle clears its buffer.
    // An input is never started here, so its handler has not been called.
    if (session.publish(*state)) {
        link.emplace(port, otherPort, input);
        if (!otherPort.empty())
            link->connect(session);
        return state;
    }
    const bool quiet = session.retire(*state);
    jack_port_unregister(client, port);
    if (!quiet)
        session.keepUntilClosed(std::move(state));
    return nullptr;
}

}  // namespace

std::unique_ptr<MidiInputPort> JackBackend::openInput(const std::string& name,
                                                      InputHandler& handler) {
    const std::shared_ptr<Session> session = liveSession();
    if (!session)
        return nullptr;
    const bool virtualInput = name == kVirtualInputName;
    const std::string portName =
        virtualInput ? std::string(kVirtualInputPort) : session->reservePortName(true);
    if (virtualInput && !session->reserveOwnPortName(portName))
        return nullptr;
    const std::string otherPort = virtualInput ? std::string() : name;
    std::optional<PortLink> link;
    auto state = attachPort<InputState>(
        *session, true, portName, otherPort,
        [&](jack_port_t* port) {
            auto input = std::make_unique<InputState>();
            input->port = port;
            input->handler = &handler;
            return input;
        },
        link);
    if (!state) {
        session->releasePortName(portName);
        return nullptr;
    }
    return std::make_unique<JackInputPort>(session, std::move(state), portName, std::move(*link));
}

std::unique_ptr<MidiOutputPort> JackBackend::openOutput(const std::string& name,
                                                        LongMessageListener& listener) {
    const std::shared_ptr<Session> session = liveSession();
    if (!session)
        return nullptr;
    const std::string portName = session->reservePortName(false);
    std::optional<PortLink> link;
    auto state = attachPort<OutputState>(
        *session, false, portName, name,
        [&](jack_port_t* port) { return std::make_unique<OutputState>(*session, port, listener); },
        link);
    if (!state) {
        session->releasePortName(portName);
        return nullptr;
    }
    return std::make_unique<JackOutputPort>(session, std::move(state), portName, std::move(*link));
}

}  // namespace tarvelo
