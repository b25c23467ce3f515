#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "midi/backend.h"
#include "midi/device_roster.h"
#include "midi/output_device.h"
#include "midi/owner_mailbox.h"
#include "midi/quiescence_gate.h"

namespace tarvelo {

// Input device index meaning "no input open".
inline constexpr int NO_INPUT = -10;

// How far a device is on its way to being played through.
enum class LinkState : std::uint8_t {
    Closed,      // not open: unused, absent, or the system refused the open (tried again)
    Connecting,  // open, but the system has not yet confirmed its connection: nothing is sent
    Connected,   // open and connected
};

// One output device's place in the device set.
struct OutputSlot {
    // What the input callback sends to: the connected device once it may be routed to, or null.
    // Written by the user-interface thread (seq_cst, see QuiescenceGate), read by the input thread
    // (seq_cst).
    std::atomic<OutputDevice*> handle{nullptr};
    // Uses held by Parts; the device is open exactly while this is above 0 (and the system
    // accepted the open). User-interface thread only.
    int useCount = 0;
    // Owns what handle points at. User-interface thread only.
    std::unique_ptr<OutputDevice> device;
    // The device is not listed by the system now. Written by the user-interface thread, read by
    // the input thread when a send found no open device (relaxed: it only decides a count).
    std::atomic<bool> absent{false};
    // User-interface thread only: how far the device is, the change to report once it is
    // connected (it came back or appeared while in use), and when it was last opened or tried.
    LinkState link = LinkState::Closed;
    std::optional<DeviceChangeKind> reportWhenConnected;
    std::chrono::steady_clock::time_point lastAttempt{};
    // Connected and waiting for the owner's set-up before it is routed to; reported as ready by
    // the next refresh.
    bool readyForSetUp = false;
    // Routed to as soon as its connection is confirmed by the operation that opened it (an
    // arrangement opened, a Part moved to it); otherwise only after the owner's set-up.
    bool routeWhenConnected = false;
};

// What refresh() found changed in the system's device lists, by device index.
//
// A device in use is reported as back (Returned or Appeared) only once its connection exists,
// which may be a later refresh than the one that first listed it again.
struct DeviceListChanges {
    std::vector<DeviceChange> inputs;
    std::vector<DeviceChange> outputs;
    // Outputs in use whose connection exists now (opened again, or confirmed late): their Parts'
    // set-up goes out, and only then does the input callback route to them (admitRouting).
    std::vector<int> readyOutputs;
    // Whether anything is to be told to the user; a ready output is not news by itself.
    bool empty() const { return inputs.empty() && outputs.empty(); }
};

// The only place where MIDI devices are opened and closed. Keeps one input device open with the
// routing callback attached, and one slot per output device with a use count: a device opens at
// its first use and is reset and closed at its last release.
//
// Devices are numbered by the backend's enumeration taken at initialize(). Until the next
// initialize() the lists only grow (see DeviceRoster): refresh() follows devices that leave, come
// back or appear, and a device that is absent keeps its index and name, holds its uses and stays
// silent until it comes back. A file may name devices that are absent from the start
// (addAbsentOutput, addAbsentInput).
//
// A connection counts once it exists. An open device whose connection the system has not yet
// confirmed (LinkState::Connecting) gets nothing from this thread and nothing routed; one the
// system refused to open is opened again by later refreshes. followUpInterval() tells the owner
// how soon to refresh for that.
//
// Every function runs on the user-interface thread except sendToSlotFromInput and
// sendToIncarnationFromInput, which are the input callback's way out.
class MidiDeviceSet {
  public:
    explicit MidiDeviceSet(MidiBackend& backend);
    virtual ~MidiDeviceSet();
    MidiDeviceSet(const MidiDeviceSet&) = delete;
    MidiDeviceSet& operator=(const MidiDeviceSet&) = delete;

    // The routing callback. Set once, while no input is open.
    void setInputHandler(InputHandler* handler) { handler_ = handler; }

    // Closes everything, lists the system's devices again from scratch, zeroes every slot and
    // remembers the owner (which receives posted notes, long-message completions and the
    // backend's notices; may be null).
    bool initialize(OwnerMailbox* owner);
    // An absent device's uses are counted; it opens when it comes back. A device opened and
    // connected here is routed to at once; one whose connection comes later is reported ready
    // by the refresh that sees it (DeviceListChanges::readyOutputs).
    bool acquireOutput(int index);
    bool releaseOutput(int index);
    // As acquireOutput, but a device this opens is routed to only once the owner admits it
    // (admitRouting), after its set-up: a song switched to opens its devices so. One connected
    // within the call to awaitConnections that follows is taken with takeReadyForSetUp; later
    // ones are reported by refresh (DeviceListChanges::readyOutputs).
    bool acquireOutputAfterSetUp(int index);
    // True, once, for an output connected and waiting for its set-up before it is routed to.
    bool takeReadyForSetUp(int index);
    // An absent input is remembered and opens when it comes back. The input that closes (also
    // when the same index is opened again) tells the routing callback first, which releases what
    // it left sounding; only then is the new one opened.
    bool openInput(int index);
    bool closeAll();

    // Lists the system's devices again and follows them: an output in use that left is closed
    // (its uses stay), one in use that came back is opened again, as a new opening, so a release
    // whose note on went to the old opening is not sent to it; the input likewise. Devices in use
    // that are present but not connected are tried again. Returns what changed. A device that
    // came back or appeared while in use is reported once its connection exists, and is routed
    // to only once the owner admits it (admitRouting), after its set-up has gone out.
    DeviceListChanges refresh();

    // Lets the input callback route to output index, which refresh() reported ready. Does
    // nothing unless it is connected.
    void admitRouting(int index);

    // Blocks, briefly (a few of the system's cycles at most), until the connections the opens
    // since the last call asked for exist and carry data: an arrangement's devices are then
    // routed to from its first note. A connection that takes longer is followed by refresh().
    void awaitConnections();

    // User-interface thread; may block (bounded) until the routing callback running now, if any,
    // has returned: what it read before may then be reused.
    void waitForInputCallback() const { gate_.waitForQuiescence(); }

    // How soon the owner should refresh although no change was announced: soon while a device
    // in use waits for its connection to be confirmed, about every 250 ms while one that is
    // present could not be opened or connected; zero when nothing waits.
    std::chrono::milliseconds followUpInterval() const;

    // A device a file names that the system does not list: kept by name, absent. Returns its
    // index (an existing one when the name is known).
    int addAbsentOutput(std::string_view name);
    int addAbsentInput(std::string_view name);
    // False for an absent device or an index outside the lists.
    bool isPresent(bool isOutput, int index) const;
    // The input device is open and connected.
    bool inputConnected() const { return inputLink_ == LinkState::Connected; }
    // Output index is in use and listed, but its connection does not exist yet (the open was
    // refused, or is not yet confirmed): what is meant for it now would be lost.
    bool waitingForConnection(int index) const;

    // Any thread: live messages dropped because their device was absent.
    std::uint64_t droppedForAbsentDevices() const noexcept {
        return droppedForAbsent_.load(std::memory_order_relaxed);
    }

    // The connected device of slot index, or null (not open, not yet connected, refused, or no
    // such slot). Sends through it are harmless whatever it is; callers check for null.
    OutputDevice* outputHandle(int index) const;

    // Thread: the MIDI input thread, inside the callback. A send to a slot that is not routed to
    // or does not exist does nothing.
    // Returns the incarnation of the opening it sent to, 0 when nothing was sent (no device, or
    // the device lost the message).
    std::uint64_t sendToSlotFromInput(int index, PackedMessage message) const noexcept {
        OutputDevice* device = openDeviceForInput(index);
        if (device == nullptr) {
            countDropIfAbsent(index);
            return 0;
        }
        if (!device->sendFromInput(message))
            return 0;
        return device->incarnation();
    }

    // Thread: the MIDI input thread, inside the callback. A song's set-up message as the song is
    // switched to (see OutputDevice::sendSetUpFromInput); nothing when the slot is not routed to.
    void sendSetUpToSlotFromInput(int index, PackedMessage message) const noexcept {
        if (OutputDevice* device = openDeviceForInput(index))
            device->sendSetUpFromInput(message);
    }

    // Thread: the MIDI input thread, inside the callback. The opening slot index routes to now;
    // 0 when none.
    std::uint64_t incarnationForInput(int index) const noexcept {
        const OutputDevice* device = openDeviceForInput(index);
        return device != nullptr ? device->incarnation() : 0;
    }

    // Thread: any. Counts the outputs the input callback has been given to route to; a change
    // tells the callback that a device it could not reach before may now be reached (the pedals
    // held are carried there). Acquire: the device given is seen with it.
    std::uint32_t admissions() const noexcept {
        return admissions_.load(std::memory_order_acquire);
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

    // User-interface thread, with no input callback running (from InputHandler::inputClosed):
    // sends message to slot index if it still holds the opening incarnation names.
    void sendToIncarnation(int index, std::uint64_t incarnation, PackedMessage message) const;

    // Product name of a device; empty for an index outside the lists.
    std::string deviceName(bool isOutput, int index) const;
    // Lowest index whose name equals text byte for byte, or -1.
    int findOutputByName(std::string_view text) const;
    int findInputByName(std::string_view text) const;

    int inputDevice() const { return inputDevice_; }
    // Devices known, present or absent.
    int inputCount() const { return inputs_.size(); }
    int outputCount() const { return outputs_.size(); }
    // Uses held on slot index; 0 for an index outside the slots.
    int useCount(int index) const;
    const std::vector<std::string>& inputNames() const { return inputs_.names(); }
    const std::vector<std::string>& outputNames() const { return outputs_.names(); }

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
        OutputSlot* table = slotTable_.load(std::memory_order_seq_cst);
        return table[index].handle.load(std::memory_order_seq_cst);
    }

    // Thread: the MIDI input thread, only when a send found no open device (off the usual path).
    void countDropIfAbsent(int index) const noexcept {
        if (index < 0 || index >= slotCount_.load(std::memory_order_acquire))
            return;
        const OutputSlot* table = slotTable_.load(std::memory_order_acquire);
        if (table[index].absent.load(std::memory_order_relaxed))
            droppedForAbsent_.fetch_add(1, std::memory_order_relaxed);
    }

    // Whether a device that gets connected goes to the input callback at once, or waits for the
    // owner's admitRouting (after its set-up).
    enum class Routing : std::uint8_t { AtOnce, AfterSetUp };

    // Opens slot index's device if it is present; a connected one is routed to as routing says.
    void openSlot(int index, Routing routing);
    // The slot's connection exists: routed to now, or reported ready for its set-up.
    void confirmSlot(OutputSlot& slot);
    // Follows a slot in use that is present but not connected: opens it again when the system
    // refused it the last time and the retry is due, confirms a pending connection. Returns
    // true when it became connected now.
    bool followSlot(int index);
    void openInputPort();
    // Confirms a pending input connection or retries a refused open; true when it became
    // connected now.
    bool followInput();
    void closeInput();
    void closeInputPort();
    void closeSlot(OutputSlot& slot);
    // Makes room for every known output device, moving the slots to a bigger table if needed.
    void growSlots();
    void freeSlots();

    MidiBackend& backend_;
    InputHandler* handler_ = nullptr;
    GatedHandler gatedHandler_{*this};
    QuiescenceGate gate_;
    std::unique_ptr<MidiInputPort> input_;
    int inputDevice_ = NO_INPUT;
    // User-interface thread only: the input's connection, the change to report once it exists,
    // and when it was last tried.
    LinkState inputLink_ = LinkState::Closed;
    std::optional<DeviceChangeKind> inputReportWhenConnected_;
    std::chrono::steady_clock::time_point inputLastAttempt_{};
    DeviceRoster inputs_;
    DeviceRoster outputs_;
    std::atomic<OwnerMailbox*> owner_{nullptr};
    std::unique_ptr<OutputSlot[]> slots_;
    int slotCapacity_ = 0;
    // Published copies of slots_ and the number of slots in use, for the input thread. The table
    // is stored before the count, and read after it. A table replaced while the input runs is
    // freed only once no callback can still be reading it.
    std::atomic<OutputSlot*> slotTable_{nullptr};
    std::atomic<int> slotCount_{0};
    mutable std::atomic<std::uint64_t> droppedForAbsent_{0};
    std::atomic<std::uint32_t> admissions_{0};
    std::uint64_t nextIncarnation_ = 1;  // user-interface thread only
    // What a callback that never left (its thread hangs) may still be using: kept, not freed.
    std::vector<std::unique_ptr<OutputDevice>> stuckDevices_;
    std::vector<std::unique_ptr<OutputSlot[]>> stuckTables_;
};

}  // namespace tarvelo
