#include "midi/midi_device_set.h"

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

}  // namespace

MidiDeviceSet::MidiDeviceSet(MidiBackend& backend) : backend_(backend) {}

MidiDeviceSet::~MidiDeviceSet() {
    closeAll();
    freeSlots();
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
            to.handle.store(to.device.get(), std::memory_order_seq_cst);
            to.absent.store(from.absent.load(std::memory_order_relaxed), std::memory_order_relaxed);
        }
        // A callback that took the old table still finds the same open devices in it; the old
        // table goes once no callback can be reading it.
        slotTable_.store(table.get(), std::memory_order_seq_cst);
        gate_.waitForQuiescence();
        std::swap(slots_, table);
        slotCapacity_ = capacity;
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
        openSlot(index);
    // A refused open, or an absent device, still counts, so the matching release balances it.
    ++slot.useCount;
    return true;
}

void MidiDeviceSet::openSlot(int index) {
    if (!outputs_.present(index))
        return;
    OutputSlot& slot = slots_[static_cast<std::size_t>(index)];
    LongMessageListener& listener =
        owner() ? static_cast<LongMessageListener&>(*owner()) : nullListener;
    if (auto port = backend_.openOutput(outputs_.name(index), listener)) {
        slot.device = std::make_unique<OutputDevice>(std::move(port), nextIncarnation_++);
        slot.handle.store(slot.device.get(), std::memory_order_seq_cst);
    }
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
    gate_.waitForQuiescence();
    if (slot.device) {
        slot.device->reset();
        slot.device.reset();
    }
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
    input_ = backend_.openInput(inputs_.name(inputDevice_), gatedHandler_);
    if (input_)
        input_->start();
}

void MidiDeviceSet::closeInput() {
    if (inputDevice_ == NO_INPUT)
        return;
    closeInputPort();
    inputDevice_ = NO_INPUT;
}

void MidiDeviceSet::closeInputPort() {
    // The port's destructor returns only once no callback runs any more.
    input_.reset();
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
    changes.inputs = inputs_.update(backend_.inputNames());
    changes.outputs = outputs_.update(backend_.outputNames());
    growSlots();
    for (const DeviceChange& change : changes.inputs) {
        if (change.index != inputDevice_)
            continue;
        if (change.kind == DeviceChangeKind::Left)
            closeInputPort();
        else if (change.kind == DeviceChangeKind::Returned && !input_)
            openInputPort();
    }
    for (const DeviceChange& change : changes.outputs) {
        OutputSlot& slot = slots_[static_cast<std::size_t>(change.index)];
        if (slot.useCount == 0)
            continue;
        if (change.kind == DeviceChangeKind::Left)
            closeSlot(slot);
        else if (change.kind == DeviceChangeKind::Returned && !slot.device)
            openSlot(change.index);
    }
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
