#include "midi/backends/alsa/rtmidi_backend.h"

#include <algorithm>
#include <atomic>

#include "midi/backends/alsa/alsa_sequencer.h"
#include "midi/backends/incoming_messages.h"
#include "midi/built_in_devices.h"

namespace tarvelo {

namespace {

using rtmidi::PortEntry;
using namespace std::chrono_literals;

// Often enough that a device plugged back in is open again well within a second.
constexpr auto kRelistInterval = 500ms;

// RtMidi reports problems through this instead of printing them or throwing; userData, when
// given, is a flag raised by real errors (warnings are only noise here).
void recordError(RtMidiError::Type type, const std::string&, void* userData) {
    if (userData == nullptr)
        return;
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING)
        return;
    static_cast<std::atomic<bool>*>(userData)->store(true, std::memory_order_relaxed);
}

const PortEntry* findDevice(const std::vector<PortEntry>& devices, const std::string& name) {
    const auto it = std::find_if(devices.begin(), devices.end(),
                                 [&name](const PortEntry& e) { return e.name == name; });
    return it == devices.end() ? nullptr : &*it;
}

template <typename Lister>
std::vector<std::string> reportedPorts(Lister& lister) {
    std::vector<std::string> names;
    const unsigned int count = lister.getPortCount();
    for (unsigned int i = 0; i < count; ++i)
        names.push_back(lister.getPortName(i));
    return names;
}

class RtMidiInputPort final : public MidiInputPort {
  public:
    explicit RtMidiInputPort(InputHandler& handler) : handler_(handler) {}

    ~RtMidiInputPort() override {
        started_.store(false, std::memory_order_release);
        // Closing stops RtMidi's input thread (or its JACK client) before it returns, so the
        // handler is not called afterwards.
        input_.reset();
    }

    bool open(RtMidi::Api api, const std::string& clientName, unsigned int portNumber) {
        try {
            input_ = std::make_unique<RtMidiIn>(api, clientName);
            input_->setErrorCallback(&recordError, &failed_);
            // Timing clock and active sensing are routed like any system message; exclusive
            // input is never taken.
            input_->ignoreTypes(true, false, false);
            input_->setCallback(&RtMidiInputPort::onMessage, this);
            if (portNumber == kVirtualPort) {
                input_->openVirtualPort(kVirtualPortName);
            } else {
                input_->openPort(portNumber, "in");
            }
        } catch (const std::exception&) {
            return false;
        }
        // RtMidi does not count a virtual port as open.
        return !failed_.load(std::memory_order_relaxed) &&
               (portNumber == kVirtualPort || input_->isPortOpen());
    }

    void start() override { started_.store(true, std::memory_order_release); }

    // Passed as the port number to open our own port instead of another program's.
    static constexpr unsigned int kVirtualPort = ~0U;
    static constexpr const char* kVirtualPortName = "Virtual In";

  private:
    // RtMidi's input thread.
    static void onMessage(double, std::vector<unsigned char>* message, void* self) {
        auto& port = *static_cast<RtMidiInputPort*>(self);
        if (message == nullptr || !port.started_.load(std::memory_order_acquire))
            return;
        forEachShortMessage(std::span<const std::uint8_t>(message->data(), message->size()),
                            [&port](PackedMessage m) { port.handler_.onShortMessage(m); });
    }

    InputHandler& handler_;
    std::unique_ptr<RtMidiIn> input_;
    std::atomic<bool> started_{false};  // user-interface thread writes, input thread reads
    std::atomic<bool> failed_{false};
};

class RtMidiOutputPort final : public MidiOutputPort {
  public:
    explicit RtMidiOutputPort(LongMessageListener& listener) : listener_(listener) {}

    bool open(RtMidi::Api api, const std::string& clientName, unsigned int portNumber) {
        try {
            for (auto* connection : {&fromInterface_, &fromInput_}) {
                *connection = std::make_unique<RtMidiOut>(api, clientName);
                (*connection)->setErrorCallback(&recordError, &failed_);
                (*connection)->openPort(portNumber, "out");
                if (!(*connection)->isPortOpen())
                    return false;
            }
        } catch (const std::exception&) {
            return false;
        }
        return !failed_.load(std::memory_order_relaxed);
    }

    // The input thread, through its own connection.
    SendResult sendFromInput(PackedMessage message) noexcept override {
        return send(*fromInput_, message) ? SendResult::Written : SendResult::Dropped;
    }

    void sendShort(PackedMessage message) override { send(*fromInterface_, message); }

    void sendLong(std::span<const std::uint8_t> bytes, LongMessageToken token) override {
        try {
            fromInterface_->sendMessage(bytes.data(), bytes.size());
        } catch (const std::exception&) {
            // A refused send is silent; the bytes are no longer needed either way.
        }
        listener_.longMessageDone(token);
    }

  private:
    // False when the message was refused (it is then lost).
    static bool send(RtMidiOut& out, PackedMessage message) noexcept {
        const std::uint8_t bytes[3] = {statusOf(message), data1Of(message), data2Of(message)};
        const auto size = static_cast<std::size_t>(shortMessageLength(bytes[0]));
        if (size == 0)
            return false;
        try {
            out.sendMessage(bytes, size);
        } catch (const std::exception&) {
            return false;
        }
        return true;
    }

    LongMessageListener& listener_;
    std::unique_ptr<RtMidiOut> fromInterface_;
    std::unique_ptr<RtMidiOut> fromInput_;
    std::atomic<bool> failed_{false};
};

}  // namespace

RtMidiBackend::RtMidiBackend(RtMidi::Api api, std::string clientName)
    : api_(api),
      clientName_(std::move(clientName)),
      apiName_(RtMidi::getApiName(api)),
      naming_(api == RtMidi::LINUX_ALSA ? rtmidi::PortNaming::AlsaSequencer
                                        : rtmidi::PortNaming::Plain) {}

RtMidiBackend::~RtMidiBackend() = default;

std::chrono::milliseconds RtMidiBackend::relistInterval() const {
    return kRelistInterval;
}

bool RtMidiBackend::serviceReachable() const {
    // Asked first so that RtMidi does not get to print its complaint about a missing sequencer.
    return api_ != RtMidi::LINUX_ALSA || rtmidi::alsaSequencerAvailable();
}

bool RtMidiBackend::available() {
    return inputLister() != nullptr && outputLister() != nullptr;
}

RtMidiIn* RtMidiBackend::inputLister() {
    if (!inputLister_ && serviceReachable()) {
        try {
            inputLister_ = std::make_unique<RtMidiIn>(api_, clientName_);
            inputLister_->setErrorCallback(&recordError, nullptr);
        } catch (const std::exception&) {
            inputLister_.reset();
        }
    }
    return inputLister_.get();
}

RtMidiOut* RtMidiBackend::outputLister() {
    if (!outputLister_ && serviceReachable()) {
        try {
            outputLister_ = std::make_unique<RtMidiOut>(api_, clientName_);
            outputLister_->setErrorCallback(&recordError, nullptr);
        } catch (const std::exception&) {
            outputLister_.reset();
        }
    }
    return outputLister_.get();
}

std::vector<PortEntry> RtMidiBackend::inputDevices() {
    RtMidiIn* lister = inputLister();
    if (lister == nullptr)
        return {};
    return rtmidi::devicesFromPorts(reportedPorts(*lister), naming_, clientName_);
}

std::vector<PortEntry> RtMidiBackend::outputDevices() {
    RtMidiOut* lister = outputLister();
    if (lister == nullptr)
        return {};
    return rtmidi::devicesFromPorts(reportedPorts(*lister), naming_, clientName_);
}

std::vector<std::string> RtMidiBackend::inputNames() {
    std::vector<std::string> names;
    for (PortEntry& e : inputDevices())
        names.push_back(std::move(e.name));
    if (serviceReachable())
        names.emplace_back(kVirtualInputName);
    return names;
}

std::vector<std::string> RtMidiBackend::outputNames() {
    std::vector<std::string> names;
    for (PortEntry& e : outputDevices())
        names.push_back(std::move(e.name));
    return names;
}

std::unique_ptr<MidiInputPort> RtMidiBackend::openInput(const std::string& name,
                                                        InputHandler& handler) {
    if (name == kVirtualInputName) {
        // A port of our own that other programs connect to.
        auto port = std::make_unique<RtMidiInputPort>(handler);
        if (!port->open(api_, clientName_, RtMidiInputPort::kVirtualPort))
            return nullptr;
        return port;
    }
    const std::vector<PortEntry> devices = inputDevices();
    const PortEntry* device = findDevice(devices, name);
    if (device == nullptr)
        return nullptr;
    auto port = std::make_unique<RtMidiInputPort>(handler);
    if (!port->open(api_, clientName_, device->portNumber))
        return nullptr;
    return port;
}

std::unique_ptr<MidiOutputPort> RtMidiBackend::openOutput(const std::string& name,
                                                          LongMessageListener& listener) {
    const std::vector<PortEntry> devices = outputDevices();
    const PortEntry* device = findDevice(devices, name);
    if (device == nullptr)
        return nullptr;
    auto port = std::make_unique<RtMidiOutputPort>(listener);
    if (!port->open(api_, clientName_, device->portNumber))
        return nullptr;
    return port;
}

}  // namespace tarvelo
