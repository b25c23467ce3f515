#include "midi/midi_device_set.h"

namespace tarvelo {

namespace {

// Completions of devices opened without an owner go nowhere.
class NullListener final : public LongMessageListener {
  public:
    void longMessageDone(LongMessageToken) noexcept override {}
};
NullListener nullListener;

int findByName(const std::vector<std::string>& names, std::string_view text) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == text)
            return static_cast<int>(i);
    }
    return -1;
}

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
    inputNames_ = backend_.inputNames();
    outputNames_ = backend_.outputNames();
    slots_ = std::make_unique<OutputSlot[]>(outputNames_.size());
    slotTable_.store(slots_.get(), std::memory_order_release);
    slotCount_.store(static_cast<int>(outputNames_.size()), std::memory_order_release);
    owner_.store(owner, std::memory_order_release);
    backend_.setServerLostListener(owner);
    inputDevice_ = NO_INPUT;
    return true;
}

void MidiDeviceSet::freeSlots() {
    // Only called with the input closed: no callback can be reading the table.
    slotCount_.store(0, std::memory_order_release);
    slotTable_.store(nullptr, std::memory_order_release);
    slots_.reset();
}

bool MidiDeviceSet::acquireOutput(int index) {
    if (index < 0 || index >= outputCount())
        return false;
    OutputSlot& slot = slots_[static_cast<std::size_t>(index)];
    if (slot.useCount == 0) {
        LongMessageListener& listener =
            owner() ? static_cast<LongMessageListener&>(*owner()) : nullListener;
        if (auto port =
                backend_.openOutput(outputNames_[static_cast<std::size_t>(index)], listener)) {
            slot.device = std::make_unique<OutputDevice>(std::move(port), nextIncarnation_++);
            slot.handle.store(slot.device.get(), std::memory_order_seq_cst);
        }
    }
    // A refused open still counts, so the matching release balances it.
    ++slot.useCount;
    return true;
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
    if (index >= 0 && index < inputCount()) {
        input_ = backend_.openInput(inputNames_[static_cast<std::size_t>(index)], gatedHandler_);
        if (input_)
            input_->start();
    }
    return true;
}

void MidiDeviceSet::closeInput() {
    if (inputDevice_ == NO_INPUT)
        return;
    // The port's destructor returns only once no callback runs any more.
    input_.reset();
    gatedHandler_.inputClosed();
    inputDevice_ = NO_INPUT;
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
    const auto& names = isOutput ? outputNames_ : inputNames_;
    if (index < 0 || index >= static_cast<int>(names.size()))
        return {};
    return names[static_cast<std::size_t>(index)];
}

int MidiDeviceSet::findOutputByName(std::string_view text) const {
    return findByName(outputNames_, text);
}
int MidiDeviceSet::findInputByName(std::string_view text) const {
    return findByName(inputNames_, text);
}

}  // namespace tarvelo
