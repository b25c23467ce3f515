#include "midi/backends/virtual/virtual_backend.h"

#include <algorithm>

namespace tarvelo {

struct VirtualBackend::LogEntry {
    std::atomic<bool> ready{false};  // release-stored once the event is written
    RecordedEvent event;
};

struct VirtualBackend::InputDevice {
    std::string name;
    bool refuseOpen = false;
    bool connectionPending = false;
    bool present = true;
    // Counts the device's arrivals; a port belongs to the one it was opened in. Test thread only.
    std::uint64_t generation = 0;
    // The open port's handler, or null. Written by the test thread (seq_cst), read by inject().
    std::atomic<InputHandler*> handler{nullptr};
    std::atomic<bool> started{false};
    QuiescenceGate gate;

    // Test thread: no callback runs into the current handler once this returns.
    void detach() {
        started.store(false, std::memory_order_seq_cst);
        handler.store(nullptr, std::memory_order_seq_cst);
        gate.waitForQuiescence();
    }
};

struct VirtualBackend::OutputDevice {
    std::string name;
    bool refuseOpen = false;
    bool connectionPending = false;
    bool present = true;
    // Counts the device's departures; a port sends only while it still matches the value it was
    // opened with. Written by the test thread (release), read by the sending threads (acquire).
    std::atomic<std::uint64_t> generation{0};
    std::atomic<bool> open{false};
};

class VirtualBackend::InputPort final : public MidiInputPort {
  public:
    InputPort(InputDevice& device, InputHandler& handler)
        : device_(device), generation_(device.generation) {
        device_.handler.store(&handler, std::memory_order_seq_cst);
    }
    ~InputPort() override {
        // A device that left has already let go of this port's handler.
        if (device_.generation == generation_)
            device_.detach();
    }
    void start() override {
        if (device_.generation == generation_)
            device_.started.store(true, std::memory_order_seq_cst);
    }
    bool connected() override { return !device_.connectionPending; }

  private:
    InputDevice& device_;
    const std::uint64_t generation_;
};

class VirtualBackend::OutputPort final : public MidiOutputPort {
  public:
    OutputPort(VirtualBackend& backend, int index, LongMessageListener& listener)
        : backend_(backend),
          device_(*backend.outputs_[static_cast<std::size_t>(index)]),
          index_(index),
          listener_(listener),
          generation_(device_.generation.load(std::memory_order_acquire)) {
        device_.open.store(true, std::memory_order_release);
        backend_.record(RecordedEvent{RecordedEvent::Kind::Open, index_, 0, -1, false});
    }
    ~OutputPort() override {
        backend_.completeHeldOf(this);
        if (live()) {
            backend_.record(RecordedEvent{RecordedEvent::Kind::Close, index_, 0, -1, false});
            device_.open.store(false, std::memory_order_release);
        }
    }
    SendResult sendFromInput(PackedMessage message) noexcept override {
        // A device that has gone takes nothing.
        if (!live())
            return SendResult::Dropped;
        return backend_.record(RecordedEvent{RecordedEvent::Kind::Short, index_, message, -1, true})
                   ? SendResult::Written
                   : SendResult::Dropped;
    }
    void sendShort(PackedMessage message) override {
        if (live())
            backend_.record(RecordedEvent{RecordedEvent::Kind::Short, index_, message, -1, false});
    }
    void sendLong(std::span<const std::uint8_t> bytes, LongMessageToken token) override {
        if (live()) {
            const int longIndex = backend_.storeLong({bytes.begin(), bytes.end()});
            backend_.record(RecordedEvent{RecordedEvent::Kind::Long, index_, 0, longIndex, false});
        }
        backend_.completeLong(listener_, token, this);
    }
    bool connected() override { return !device_.connectionPending; }

  private:
    // Any thread: the device has not left since this port was opened.
    bool live() const noexcept {
        return device_.generation.load(std::memory_order_acquire) == generation_;
    }

    VirtualBackend& backend_;
    OutputDevice& device_;
    int index_;
    LongMessageListener& listener_;
    const std::uint64_t generation_;
};

VirtualBackend::VirtualBackend(std::size_t logCapacity)
    : log_(std::make_unique<LogEntry[]>(logCapacity)), logCapacity_(logCapacity) {}

VirtualBackend::~VirtualBackend() = default;

namespace {

// The first device of that name that is present (or, with present false, that has left); -1.
template <typename Devices>
int findDevice(const Devices& devices, const std::string& name, bool present) {
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (devices[i]->name == name && devices[i]->present == present)
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

int VirtualBackend::addInput(std::string name) {
    int index = findDevice(inputs_, name, false);
    if (index >= 0) {
        InputDevice& device = *inputs_[static_cast<std::size_t>(index)];
        device.present = true;
        ++device.generation;
    } else {
        auto device = std::make_unique<InputDevice>();
        device->name = std::move(name);
        inputs_.push_back(std::move(device));
        index = static_cast<int>(inputs_.size()) - 1;
    }
    announce();
    return index;
}

int VirtualBackend::addOutput(std::string name) {
    int index = findDevice(outputs_, name, false);
    if (index >= 0) {
        outputs_[static_cast<std::size_t>(index)]->present = true;
    } else {
        auto device = std::make_unique<OutputDevice>();
        device->name = std::move(name);
        outputs_.push_back(std::move(device));
        index = static_cast<int>(outputs_.size()) - 1;
    }
    announce();
    return index;
}

bool VirtualBackend::removeInput(const std::string& name) {
    const int index = findDevice(inputs_, name, true);
    if (index < 0)
        return false;
    InputDevice& device = *inputs_[static_cast<std::size_t>(index)];
    device.present = false;
    device.detach();
    announce();
    return true;
}

bool VirtualBackend::removeOutput(const std::string& name) {
    const int index = findDevice(outputs_, name, true);
    if (index < 0)
        return false;
    OutputDevice& device = *outputs_[static_cast<std::size_t>(index)];
    device.present = false;
    device.generation.fetch_add(1, std::memory_order_release);
    device.open.store(false, std::memory_order_release);
    announce();
    return true;
}

bool VirtualBackend::renameInput(const std::string& oldName, std::string newName) {
    const int index = findDevice(inputs_, oldName, true);
    if (index < 0)
        return false;
    inputs_[static_cast<std::size_t>(index)]->name = std::move(newName);
    announce();
    return true;
}

bool VirtualBackend::renameOutput(const std::string& oldName, std::string newName) {
    const int index = findDevice(outputs_, oldName, true);
    if (index < 0)
        return false;
    outputs_[static_cast<std::size_t>(index)]->name = std::move(newName);
    announce();
    return true;
}

void VirtualBackend::announce() noexcept {
    if (changeListener_ != nullptr)
        changeListener_->devicesChanged();
}

void VirtualBackend::setRefuseOpen(const std::string& name, bool refuse) {
    for (auto& d : inputs_) {
        if (d->name == name)
            d->refuseOpen = refuse;
    }
    for (auto& d : outputs_) {
        if (d->name == name)
            d->refuseOpen = refuse;
    }
}

void VirtualBackend::setConnectionPending(const std::string& name, bool pending) {
    for (auto& d : inputs_) {
        if (d->name == name)
            d->connectionPending = pending;
    }
    for (auto& d : outputs_) {
        if (d->name == name)
            d->connectionPending = pending;
    }
}

std::vector<std::string> VirtualBackend::inputNames() {
    std::vector<std::string> names;
    for (const auto& d : inputs_) {
        if (d->present)
            names.push_back(d->name);
    }
    return names;
}

std::vector<std::string> VirtualBackend::outputNames() {
    std::vector<std::string> names;
    for (const auto& d : outputs_) {
        if (d->present)
            names.push_back(d->name);
    }
    return names;
}

std::unique_ptr<MidiInputPort> VirtualBackend::openInput(const std::string& name,
                                                         InputHandler& handler) {
    const int index = findDevice(inputs_, name, true);
    if (index < 0)
        return nullptr;
    InputDevice& device = *inputs_[static_cast<std::size_t>(index)];
    if (device.refuseOpen || device.handler.load(std::memory_order_seq_cst) != nullptr)
        return nullptr;
    return std::make_unique<InputPort>(device, handler);
}

std::unique_ptr<MidiOutputPort> VirtualBackend::openOutput(const std::string& name,
                                                           LongMessageListener& listener) {
    const int index = findDevice(outputs_, name, true);
    if (index < 0)
        return nullptr;
    if (outputs_[static_cast<std::size_t>(index)]->refuseOpen)
        return nullptr;
    return std::make_unique<OutputPort>(*this, index, listener);
}

bool VirtualBackend::inject(int inputIndex, PackedMessage message) {
    if (inputIndex < 0 || inputIndex >= static_cast<int>(inputs_.size()))
        return false;
    InputDevice& device = *inputs_[static_cast<std::size_t>(inputIndex)];
    device.gate.enter();
    bool delivered = false;
    InputHandler* handler = device.handler.load(std::memory_order_seq_cst);
    if (handler != nullptr && device.started.load(std::memory_order_seq_cst)) {
        handler->onShortMessage(message);
        delivered = true;
    }
    device.gate.leave();
    return delivered;
}

bool VirtualBackend::inject(const std::string& inputName, PackedMessage message) {
    return inject(inputIndex(inputName), message);
}

bool VirtualBackend::record(const RecordedEvent& event) noexcept {
    const std::size_t slot = logNext_.fetch_add(1, std::memory_order_relaxed);
    if (slot >= logCapacity_) {
        overflow_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    log_[slot].event = event;
    log_[slot].ready.store(true, std::memory_order_release);
    return true;
}

std::vector<RecordedEvent> VirtualBackend::events() const {
    std::vector<RecordedEvent> out;
    const std::size_t end = std::min(logNext_.load(std::memory_order_acquire), logCapacity_);
    for (std::size_t i = 0; i < end; ++i) {
        if (log_[i].ready.load(std::memory_order_acquire))
            out.push_back(log_[i].event);
    }
    return out;
}

std::vector<RecordedEvent> VirtualBackend::events(const std::string& outputName) const {
    const int index = outputIndex(outputName);
    std::vector<RecordedEvent> out;
    for (const RecordedEvent& e : events()) {
        if (e.device == index)
            out.push_back(e);
    }
    return out;
}

std::vector<PackedMessage> VirtualBackend::shortMessages(const std::string& outputName) const {
    std::vector<PackedMessage> out;
    for (const RecordedEvent& e : events(outputName)) {
        if (e.kind == RecordedEvent::Kind::Short)
            out.push_back(e.message);
    }
    return out;
}

std::vector<std::uint8_t> VirtualBackend::longMessage(int longIndex) const {
    std::lock_guard lock(longMutex_);
    if (longIndex < 0 || longIndex >= static_cast<int>(longData_.size()))
        return {};
    return longData_[static_cast<std::size_t>(longIndex)];
}

std::vector<std::vector<std::uint8_t>> VirtualBackend::longMessages(
    const std::string& outputName) const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const RecordedEvent& e : events(outputName)) {
        if (e.kind == RecordedEvent::Kind::Long)
            out.push_back(longMessage(e.longIndex));
    }
    return out;
}

void VirtualBackend::clearRecords() {
    const std::size_t end = std::min(logNext_.load(std::memory_order_acquire), logCapacity_);
    for (std::size_t i = 0; i < end; ++i)
        log_[i].ready.store(false, std::memory_order_relaxed);
    logNext_.store(0, std::memory_order_release);
    overflow_.store(0, std::memory_order_relaxed);
    std::lock_guard lock(longMutex_);
    longData_.clear();
}

int VirtualBackend::storeLong(std::vector<std::uint8_t> bytes) {
    std::lock_guard lock(longMutex_);
    longData_.push_back(std::move(bytes));
    return static_cast<int>(longData_.size()) - 1;
}

bool VirtualBackend::isOutputOpen(const std::string& name) const {
    const int index = outputIndex(name);
    return index >= 0 &&
           outputs_[static_cast<std::size_t>(index)]->open.load(std::memory_order_acquire);
}

bool VirtualBackend::isInputOpen(const std::string& name) const {
    const int index = inputIndex(name);
    return index >= 0 && inputs_[static_cast<std::size_t>(index)]->handler.load(
                             std::memory_order_acquire) != nullptr;
}

int VirtualBackend::outputIndex(const std::string& name) const {
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        if (outputs_[i]->name == name)
            return static_cast<int>(i);
    }
    return -1;
}

int VirtualBackend::inputIndex(const std::string& name) const {
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
        if (inputs_[i]->name == name)
            return static_cast<int>(i);
    }
    return -1;
}

void VirtualBackend::holdCompletions(bool hold) {
    std::lock_guard lock(longMutex_);
    holding_ = hold;
}

std::size_t VirtualBackend::heldCompletionCount() const {
    std::lock_guard lock(longMutex_);
    return held_.size();
}

void VirtualBackend::completeLong(LongMessageListener& listener, LongMessageToken token,
                                  const OutputPort* port) {
    {
        std::lock_guard lock(longMutex_);
        if (holding_) {
            held_.push_back(HeldCompletion{&listener, token, port});
            return;
        }
    }
    listener.longMessageDone(token);
}

void VirtualBackend::releaseCompletions(std::size_t n) {
    std::vector<HeldCompletion> due;
    {
        std::lock_guard lock(longMutex_);
        const std::size_t count = n == 0 ? held_.size() : std::min(n, held_.size());
        due.assign(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(count));
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(count));
    }
    for (const HeldCompletion& c : due)
        c.listener->longMessageDone(c.token);
}

void VirtualBackend::completeHeldOf(const OutputPort* port) {
    // A closing device hands back every buffer it still holds.
    std::vector<HeldCompletion> due;
    {
        std::lock_guard lock(longMutex_);
        auto it = std::stable_partition(held_.begin(), held_.end(),
                                        [port](const HeldCompletion& c) { return c.port != port; });
        due.assign(it, held_.end());
        held_.erase(it, held_.end());
    }
    for (const HeldCompletion& c : due)
        c.listener->longMessageDone(c.token);
}

}  // namespace tarvelo
