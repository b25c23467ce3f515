#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "midi/backend.h"
#include "midi/callback_gate.h"
#include "midi/output_device.h"
#include "midi/owner_mailbox.h"

namespace tarvelo {

// Input device index meaning "no input open".
inline constexpr int NO_INPUT = -10;

// One output device's place in the device set.
struct OutputSlot {
    // What the input callback sends to: the open device, or null. Written by the
    // user-interface thread (seq_cst, see CallbackGate), read by the input thread (seq_cst).
    std::atomic<OutputDevice*> handle{nullptr};
    // Uses held by Parts; the device is open exactly while this is above 0 (and the system
    // accepted the open). User-interface thread only.
    int useCount = 0;
    // Owns what handle points at. User-interface thread only.
    std::unique_ptr<OutputDevice> device;
};

// The only place where MIDI devices are opened and closed. Keeps one input device open with the
// routing callback attached, and one slot per output device with a use count: a device opens at
// its first use and is reset and closed at its last release.
//
// Devices are numbered by the backend's enumeration taken at initialize(); names and indices stay
// consistent until the next initialize(), even if the system's lists change meanwhile.
//
// Every function runs on the user-interface thread except sendToSlotFromInput, which is the
// input callback's way out.
class MidiDeviceSet {
  public:
    explicit MidiDeviceSet(MidiBackend& backend);
    virtual ~MidiDeviceSet();
    MidiDeviceSet(const MidiDeviceSet&) = delete;
    MidiDeviceSet& operator=(const MidiDeviceSet&) = delete;

    // The routing callback. Set once, while no input is open.
    void setInputHandler(InputHandler* handler) { handler_ = handler; }

    // Closes everything, lists the system's devices again, zeroes every slot and remembers the
    // owner (which receives posted notes and long-message completions; may be null).
    bool initialize(OwnerMailbox* owner);
    bool acquireOutput(int index);
    bool releaseOutput(int index);
    bool openInput(int index);
    bool closeAll();

    // The open device of slot index, or null (not open, refused, or no such slot). Sends through
    // it are harmless whatever it is; callers check for null.
    OutputDevice* outputHandle(int index) const;

    // Thread: the MIDI input thread, inside the callback. A send to a slot that is not open or
    // does not exist does nothing.
    // Returns the incarnation of the opening it sent to, 0 when nothing was sent (no device, or
    // the device lost the message).
    std::uint64_t sendToSlotFromInput(int index, PackedMessage message) const noexcept {
        OutputDevice* device = openDeviceForInput(index);
        if (device == nullptr || !device->sendFromInput(message))
            return 0;
        return device->incarnation();
    }

    // Thread: the MIDI input thread. Sends only when slot index still holds the opening that
    // incarnation names: a release must not reach a device that was closed (and so silenced)
    // and opened again since its note on.
    void sendToIncarnationFromInput(int index, std::uint64_t incarnation,
                                    PackedMessage message) const noexcept {
        OutputDevice* device = openDeviceForInput(index);
        if (device != nullptr && device->incarnation() == incarnation)
            device->sendFromInput(message);
    }

    // Product name of a device; empty for an index outside the lists.
    std::string deviceName(bool isOutput, int index) const;
    // Lowest index whose name equals text byte for byte, or -1.
    int findOutputByName(std::string_view text) const;
    int findInputByName(std::string_view text) const;

    int inputDevice() const { return inputDevice_; }
    int inputCount() const { return static_cast<int>(inputNames_.size()); }
    int outputCount() const { return static_cast<int>(outputNames_.size()); }
    // Uses held on slot index; 0 for an index outside the slots.
    int useCount(int index) const;
    const std::vector<std::string>& inputNames() const { return inputNames_; }
    const std::vector<std::string>& outputNames() const { return outputNames_; }

    // Thread: any; set by initialize() while no input is open.
    OwnerMailbox* owner() const noexcept { return owner_.load(std::memory_order_acquire); }
    MidiBackend& backend() const { return backend_; }

  private:
    // Wraps the routing callback so that closing an output can wait for a running callback.
    class GatedHandler final : public InputHandler {
      public:
        explicit GatedHandler(MidiDeviceSet& set) : set_(set) {}
        void onShortMessage(PackedMessage message) noexcept override;
        void inputClosed() override;

      private:
        MidiDeviceSet& set_;
    };

    OutputDevice* openDeviceForInput(int index) const noexcept {
        if (index < 0 || index >= slotCount_.load(std::memory_order_acquire))
            return nullptr;
        OutputSlot* table = slotTable_.load(std::memory_order_acquire);
        return table[index].handle.load(std::memory_order_seq_cst);
    }

    void closeInput();
    void closeSlot(OutputSlot& slot);
    void freeSlots();

    MidiBackend& backend_;
    InputHandler* handler_ = nullptr;
    GatedHandler gatedHandler_{*this};
    CallbackGate gate_;
    std::unique_ptr<MidiInputPort> input_;
    int inputDevice_ = NO_INPUT;
    std::vector<std::string> inputNames_;
    std::vector<std::string> outputNames_;
    std::atomic<OwnerMailbox*> owner_{nullptr};
    std::unique_ptr<OutputSlot[]> slots_;
    // Published copies of slots_ and its size for the input thread; replaced only while the
    // input is closed.
    std::atomic<OutputSlot*> slotTable_{nullptr};
    std::atomic<int> slotCount_{0};
    std::uint64_t nextIncarnation_ = 1;  // user-interface thread only
};

}  // namespace tarvelo
