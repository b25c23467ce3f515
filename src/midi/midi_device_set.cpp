#include "midi/midi_device_set.h"

#include <algorithm>
#include <utility>

namespace tarvelo {

namespace {

// Completions of devices opened without an owner go nowhere.
class NullListener final : public LongMessageListener {
  public:
    void longMessageDone(LongMessageToken) noexcept override {}
};
NullListener nullListener;

// Slots are allocated in steps so that a device that arrives rarely needs a bigger table.
constexpr int kSlotStep = 16;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How often a device in use that is present is opened or connected again after the system
// refused it: often enough that it plays within a moment of being able to, rare enough to cost
// nothing while it cannot.
constexpr auto kRetryInterval = 250ms;
// How soon a connection the system accepted is looked at again: it usually shows within a
// cycle or two.
constexpr auto kConfirmInterval = 10ms;
// The longest an operation that opened devices waits for their connections.
constexpr auto kConnectWait = 200ms;

}  // namespace

MidiDeviceSet::MidiDeviceSet(MidiBackend& backend) : backend_(backend) {}

MidiDeviceSet::~MidiDeviceSet() {
    closeAll();
    freeSlots();
    // The backend outlives the owner, which goes with this set: no notice may reach it later.
    if (owner() != nullptr) {
        backend_.setServerLostListener(nullptr);
        backend_.setDeviceChangeListener(nullptr);
    }
}

void MidiDeviceSet::GatedHandler::onShortMessage(PackedMessage message) noexcept {
    set_.gate_.enter();
    if (set_.handler_)
        set_.handler_->onShortMessage(message);
    set_.gate_.leave();
}

void MidiDeviceSet::GatedHandler::inputClosed() {
    if (set_.handler_)
        set_.handler_->inputClosed();
}

bool MidiDeviceSet::initialize(OwnerMailbox* owner) {
    closeAll();
    freeSlots();
    inputs_.reset(backend_.inputNames());
    outputs_.reset(backend_.outputNames());
    growSlots();
    owner_.store(owner, std::memory_order_release);
    backend_.setServerLostListener(owner);
    backend_.setDeviceChangeListener(owner);
    inputDevice_ = NO_INPUT;
    return true;
}

void MidiDeviceSet::growSlots() {
    const int needed = outputCount();
    if (needed > slotCapacity_) {
        const int capacity = (needed + kSlotStep - 1) / kSlotStep * kSlotStep;
        auto table = std::make_unique<OutputSlot[]>(static_cast<std::size_t>(capacity));
        for (int i = 0; i < slotCount_.load(std::memory_order_relaxed); ++i) {
            OutputSlot& from = slots_[static_cast<std::size_t>(i)];
            OutputSlot& to = table[static_cast<std::size_t>(i)];
            to.useCount = from.useCount;
            to.device = std::move(from.device);
            to.link = from.link;
            to.reportWhenConnected = from.reportWhenConnected;
            to.lastAttempt = from.lastAttempt;
            to.readyForSetUp = from.readyForSetUp;
            to.routeWhenConnected = from.routeWhenConnected;
            to.handle.store(from.handle.load(std::memory_order_relaxed), std::memory_order_seq_cst);
            to.absent.store(from.absent.load(std::memory_order_relaxed), std::memory_order_relaxed);
        }
        // A callback that took the old table still finds the same open devices in it; the old
        // table goes once no callback can be reading it.
        slotTable_.store(table.get(), std::memory_order_seq_cst);
        const bool quiet = gate_.waitForQuiescence();
        std::swap(slots_, table);
        slotCapacity_ = capacity;
        // A callback stuck in the old table keeps it: it holds no device any more.
        if (!quiet)
            stuckTables_.push_back(std::move(table));
    }
    for (int i = 0; i < needed; ++i) {
        slots_[static_cast<std::size_t>(i)].absent.store(!outputs_.present(i),
                                                         std::memory_order_relaxed);
    }
    slotCount_.store(needed, std::memory_order_release);
}

void MidiDeviceSet::freeSlots() {
    // Only called with the input closed: no callback can be reading the table.
    slotCount_.store(0, std::memory_order_release);
    slotTable_.store(nullptr, std::memory_order_release);
    slots_.reset();
    slotCapacity_ = 0;
}

bool MidiDeviceSet::acquireOutput(int index) {
    if (index < 0 || index >= outputCount())
        return false;
    OutputSlot& slot = slots_[static_cast<std::size_t>(index)];
    if (slot.useCount == 0)
        openSlot(index, Routing::AtOnce);
    // A refused open, or an absent device, still counts, so the matching release balances it.
    ++slot.useCount;
    return true;
}

bool MidiDeviceSet::acquireOutputAfterSetUp(int index) {
    if (index < 0 || index >= outputCount())
        return false;
    OutputSlot& slot = slots_[static_cast<std::size_t>(index)];
    if (slot.useCount == 0)
        openSlot(index, Routing::AfterSetUp);
    ++slot.useCount;
    return true;
}

bool MidiDeviceSet::takeReadyForSetUp(int index) {
    if (index < 0 || index >= outputCount())
        return false;
    OutputSlot& slot = slots_[static_cast<std::size_t>(index)];
    return std::exchange(slot.readyForSetUp, false);
}

void MidiDeviceSet::openSlot(int index, Routing routing) {
    OutputSlot& slot = slots_[static_cast<std::size_t>(index)];
    if (!outputs_.present(index))
        return;
    slot.lastAttempt = Clock::now();
    LongMessageListener& listener =
        owner() ? static_cast<LongMessageListener&>(*owner()) : nullListener;
    auto port = backend_.openOutput(outputs_.name(index), listener);
    if (!port)
        return;
    slot.device = std::make_unique<OutputDevice>(std::move(port), nextIncarnation_++);
    slot.link = LinkState::Connecting;
    slot.routeWhenConnected = routing == Routing::AtOnce;
    if (slot.device->port().connected())
        confirmSlot(slot);
}

void MidiDeviceSet::confirmSlot(OutputSlot& slot) {
    slot.link = LinkState::Connected;
    if (slot.routeWhenConnected) {
        slot.handle.store(slot.device.get(), std::memory_order_seq_cst);
        admissions_.fetch_add(1, std::memory_order_release);
    } else {
        slot.readyForSetUp = true;
    }
}

void MidiDeviceSet::awaitConnections() {
    bool waiting = inputLink_ == LinkState::Connecting;
    for (int i = 0; i < outputCount(); ++i)
        waiting |= slots_[static_cast<std::size_t>(i)].link == LinkState::Connecting;
    if (!waiting)
        return;
    backend_.awaitConnections(kConnectWait);
    for (int i = 0; i < outputCount(); ++i) {
        OutputSlot& slot = slots_[static_cast<std::size_t>(i)];
        if (slot.link == LinkState::Connecting && slot.device->port().connected())
            confirmSlot(slot);
        // Whatever is confirmed later has missed the operation's set-up.
        slot.routeWhenConnected = false;
    }
    if (inputLink_ == LinkState::Connecting && input_->connected())
        inputLink_ = LinkState::Connected;
}

bool MidiDeviceSet::followSlot(int index) {
    OutputSlot& slot = slots_[static_cast<std::size_t>(index)];
    if (slot.useCount == 0 || !outputs_.present(index))
        return false;
    switch (slot.link) {
        case LinkState::Closed:
            if (Clock::now() - slot.lastAttempt >= kRetryInterval)
                openSlot(index, Routing::AfterSetUp);
            break;
        case LinkState::Connecting:
            if (slot.device->port().connected()) {
                // Too late to be routed with the operation that opened it: its set-up may have
                // been skipped meanwhile.
                slot.routeWhenConnected = false;
                confirmSlot(slot);
            }
            break;
        case LinkState::Connected:
            break;
    }
    return slot.readyForSetUp;
}

bool MidiDeviceSet::waitingForConnection(int index) const {
    if (index < 0 || index >= outputCount())
        return false;
    const OutputSlot& slot = slots_[static_cast<std::size_t>(index)];
    return slot.useCount > 0 && outputs_.present(index) && slot.link != LinkState::Connected;
}

void MidiDeviceSet::admitRouting(int index) {
    if (index < 0 || index >= outputCount())
        return;
    OutputSlot& slot = slots_[static_cast<std::size_t>(index)];
    if (slot.link == LinkState::Connected && slot.device)
        slot.handle.store(slot.device.get(), std::memory_order_seq_cst);
    admissions_.fetch_add(1, std::memory_order_release);
}

std::chrono::milliseconds MidiDeviceSet::followUpInterval() const {
    std::chrono::milliseconds interval{0};
    const auto want = [&interval](LinkState link) {
        const std::chrono::milliseconds wanted =
            link == LinkState::Connecting ? kConfirmInterval : kRetryInterval;
        if (interval == interval.zero() || wanted < interval)
            interval = wanted;
    };
    if (inputDevice_ != NO_INPUT && inputs_.present(inputDevice_) &&
        inputLink_ != LinkState::Connected) {
        want(inputLink_);
    }
    for (int i = 0; i < outputCount(); ++i) {
        const OutputSlot& slot = slots_[static_cast<std::size_t>(i)];
        if (slot.useCount > 0 && outputs_.present(i) && slot.link != LinkState::Connected)
            want(slot.link);
    }
    return interval;
}

bool MidiDeviceSet::releaseOutput(int index) {
    if (index < 0 || index >= outputCount())
        return false;
    OutputSlot& slot = slots_[static_cast<std::size_t>(index)];
    if (slot.useCount == 1)
        closeSlot(slot);
    if (slot.useCount > 0)
        --slot.useCount;
    return true;
}

void MidiDeviceSet::closeSlot(OutputSlot& slot) {
    slot.handle.store(nullptr, std::memory_order_seq_cst);
    const bool quiet = gate_.waitForQuiescence();
    if (slot.device) {
        // The port is safe to send to from both threads, so silencing it is harmless even if a
        // callback is stuck inside; freeing it is not.
        slot.device->reset();
        if (quiet) {
            slot.device.reset();
        } else {
            stuckDevices_.push_back(std::move(slot.device));
        }
    }
    slot.link = LinkState::Closed;
    slot.readyForSetUp = false;
    slot.routeWhenConnected = false;
    slot.reportWhenConnected.reset();
}

void MidiDeviceSet::sendToIncarnation(int index, std::uint64_t incarnation,
                                      PackedMessage message) const {
    if (index < 0 || index >= outputCount())
        return;
    const OutputSlot& slot = slots_[static_cast<std::size_t>(index)];
    if (slot.device && slot.device->incarnation() == incarnation)
        slot.device->sendShort(message);
}

bool MidiDeviceSet::openInput(int index) {
    closeInput();
    // Named before the open, so it is saved even when the system refuses the device.
    inputDevice_ = index;
    openInputPort();
    return true;
}

void MidiDeviceSet::openInputPort() {
    if (!inputs_.present(inputDevice_))
        return;
    inputLastAttempt_ = Clock::now();
    input_ = backend_.openInput(inputs_.name(inputDevice_), gatedHandler_);
    if (!input_)
        return;
    input_->start();
    inputLink_ = input_->connected() ? LinkState::Connected : LinkState::Connecting;
}

bool MidiDeviceSet::followInput() {
    if (inputDevice_ == NO_INPUT || !inputs_.present(inputDevice_))
        return false;
    switch (inputLink_) {
        case LinkState::Closed:
            if (Clock::now() - inputLastAttempt_ >= kRetryInterval)
                openInputPort();
            return inputLink_ == LinkState::Connected;
        case LinkState::Connecting:
            if (!input_->connected())
                return false;
            inputLink_ = LinkState::Connected;
            return true;
        case LinkState::Connected:
            return false;
    }
    return false;
}

void MidiDeviceSet::closeInput() {
    if (inputDevice_ == NO_INPUT)
        return;
    closeInputPort();
    inputDevice_ = NO_INPUT;
}

void MidiDeviceSet::closeInputPort() {
    // The port's destructor returns only once no callback runs any more; then the router ends
    // what the input left sounding, while the outputs are still open.
    input_.reset();
    inputLink_ = LinkState::Closed;
    inputReportWhenConnected_.reset();
    gatedHandler_.inputClosed();
}

bool MidiDeviceSet::closeAll() {
    // The input first, so no callback runs while the outputs close.
    closeInput();
    for (int i = 0; i < outputCount(); ++i) {
        OutputSlot& slot = slots_[static_cast<std::size_t>(i)];
        if (slot.useCount > 0) {
            closeSlot(slot);
            slot.useCount = 0;
        }
    }
    return true;
}

DeviceListChanges MidiDeviceSet::refresh() {
    DeviceListChanges changes;
    const std::vector<DeviceChange> inputChanges = inputs_.update(backend_.inputNames());
    const std::vector<DeviceChange> outputChanges = outputs_.update(backend_.outputNames());
    growSlots();

    for (const DeviceChange& change : inputChanges) {
        if (change.index != inputDevice_) {
            changes.inputs.push_back(change);
            continue;
        }
        if (change.kind == DeviceChangeKind::Left) {
            // A departure of a device never reported back is no news either.
            if (!inputReportWhenConnected_)
                changes.inputs.push_back(change);
            closeInputPort();
        } else if (!input_) {
            openInputPort();
            inputReportWhenConnected_ = change.kind;
        }
    }
    for (const DeviceChange& change : outputChanges) {
        OutputSlot& slot = slots_[static_cast<std::size_t>(change.index)];
        if (slot.useCount == 0) {
            changes.outputs.push_back(change);
            continue;
        }
        if (change.kind == DeviceChangeKind::Left) {
            if (!slot.reportWhenConnected)
                changes.outputs.push_back(change);
            closeSlot(slot);
        } else if (!slot.device) {
            slot.reportWhenConnected = change.kind;
            openSlot(change.index, Routing::AfterSetUp);
        }
    }

    // What came back is usually connected within a few cycles: wait for that rather than for the
    // next refresh.
    awaitConnections();
    if (followInput() || (inputLink_ == LinkState::Connected && inputReportWhenConnected_)) {
        if (inputReportWhenConnected_)
            changes.inputs.push_back({*inputReportWhenConnected_, inputDevice_});
        inputReportWhenConnected_.reset();
    }
    for (int i = 0; i < outputCount(); ++i) {
        OutputSlot& slot = slots_[static_cast<std::size_t>(i)];
        if (!followSlot(i))
            continue;
        slot.readyForSetUp = false;
        changes.readyOutputs.push_back(i);
        if (slot.reportWhenConnected)
            changes.outputs.push_back({*slot.reportWhenConnected, i});
        slot.reportWhenConnected.reset();
    }
    const auto byIndex = [](const DeviceChange& a, const DeviceChange& b) {
        return a.index < b.index;
    };
    std::sort(changes.inputs.begin(), changes.inputs.end(), byIndex);
    std::sort(changes.outputs.begin(), changes.outputs.end(), byIndex);
    return changes;
}

int MidiDeviceSet::addAbsentOutput(std::string_view name) {
    const int index = outputs_.addAbsent(name);
    growSlots();
    return index;
}

int MidiDeviceSet::addAbsentInput(std::string_view name) {
    return inputs_.addAbsent(name);
}

bool MidiDeviceSet::isPresent(bool isOutput, int index) const {
    return isOutput ? outputs_.present(index) : inputs_.present(index);
}

OutputDevice* MidiDeviceSet::outputHandle(int index) const {
    if (index < 0 || index >= outputCount())
        return nullptr;
    return slots_[static_cast<std::size_t>(index)].device.get();
}

int MidiDeviceSet::useCount(int index) const {
    if (index < 0 || index >= outputCount())
        return 0;
    return slots_[static_cast<std::size_t>(index)].useCount;
}

std::string MidiDeviceSet::deviceName(bool isOutput, int index) const {
    return isOutput ? outputs_.name(index) : inputs_.name(index);
}

int MidiDeviceSet::findOutputByName(std::string_view text) const {
    return outputs_.find(text);
}
int MidiDeviceSet::findInputByName(std::string_view text) const {
    return inputs_.find(text);
}

}  // namespace tarvelo
