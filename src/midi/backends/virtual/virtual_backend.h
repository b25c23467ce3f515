#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/backend.h"
#include "midi/quiescence_gate.h"

namespace tarvelo {

// What a virtual output device received, in the order the sends happened.
struct RecordedEvent {
    enum class Kind : std::uint8_t { Short, Long, Open, Close };
    Kind kind = Kind::Short;
    int device = 0;             // output device index
    PackedMessage message = 0;  // Short
    int longIndex = -1;         // Long: index for longMessage()
    bool fromInput = false;     // Short: sent by the input callback rather than the UI thread
};

// An in-process MIDI system for tests and benchmarks: named inputs and outputs, input injected
// from any one thread at a time (as the system's MIDI thread would), and every output's traffic
// recorded in order. Long-message completions can be held back and released later.
//
// Devices come and go as on a real system: one that leaves is no longer listed and its open ports
// go dead (their sends are lost, an input delivers nothing) until they are closed; one that comes
// back under its old name takes its old index again, and must be opened anew. Each change is
// announced to the device change listener, as JACK does.
//
// Recording is lock-free and allocation-free (a fixed log claimed with one atomic increment), so
// the routing path stays real-time safe under test. Devices are added, removed and renamed on the
// test thread, which is also the thread that opens and closes them.
class VirtualBackend final : public MidiBackend {
  public:
    explicit VirtualBackend(std::size_t logCapacity = std::size_t{1} << 18);
    ~VirtualBackend() override;

    // Test thread. A device arrives (or comes back, when one of that name left before: it keeps
    // its index). Returns the device's index.
    int addInput(std::string name);
    int addOutput(std::string name);
    // Test thread. The device leaves; false when no present device has that name.
    bool removeInput(const std::string& name);
    bool removeOutput(const std::string& name);
    // Test thread. The device is listed under a new name from now on; its open ports go on
    // working (as a renamed JACK port stays connected). False when no present device has oldName.
    bool renameInput(const std::string& oldName, std::string newName);
    bool renameOutput(const std::string& oldName, std::string newName);
    // Later opens of this device are refused (null), as a system may refuse them.
    void setRefuseOpen(const std::string& name, bool refuse);
    // Test thread. While pending, ports open on this device say their connection does not exist
    // yet (as a JACK client that is not active yet), whatever they send still being recorded.
    void setConnectionPending(const std::string& name, bool pending);

    // MidiBackend
    std::string_view apiName() const override { return "virtual"; }
    std::vector<std::string> inputNames() override;
    std::vector<std::string> outputNames() override;
    std::unique_ptr<MidiInputPort> openInput(const std::string& name,
                                             InputHandler& handler) override;
    std::unique_ptr<MidiOutputPort> openOutput(const std::string& name,
                                               LongMessageListener& listener) override;
    void setDeviceChangeListener(DeviceChangeListener* listener) override {
        changeListener_ = listener;
    }

    // Any one thread at a time: delivers a message to the input device's callback, as the MIDI
    // thread would. False when the device is not open and started.
    bool inject(int inputIndex, PackedMessage message);
    bool inject(const std::string& inputName, PackedMessage message);

    // Inspection. Complete for every send that has returned.
    std::vector<RecordedEvent> events() const;
    std::vector<RecordedEvent> events(const std::string& outputName) const;
    // Only the short messages one output received, in order.
    std::vector<PackedMessage> shortMessages(const std::string& outputName) const;
    std::vector<std::uint8_t> longMessage(int longIndex) const;
    // The long messages one output received, in order.
    std::vector<std::vector<std::uint8_t>> longMessages(const std::string& outputName) const;
    // Test thread, while nothing sends: forgets what was recorded.
    void clearRecords();
    // Sends lost because the log was full (a test should see 0).
    std::uint64_t overflowCount() const { return overflow_.load(std::memory_order_relaxed); }

    // A port opened since the device last arrived is open on it.
    bool isOutputOpen(const std::string& name) const;
    bool isInputOpen(const std::string& name) const;
    // The index a device has or had (also after it left); -1 for a name never seen.
    int outputIndex(const std::string& name) const;
    int inputIndex(const std::string& name) const;

    // Long-message completions: while held they wait for releaseCompletions() (UI thread).
    void holdCompletions(bool hold);
    std::size_t heldCompletionCount() const;
    // Reports the oldest n held completions (all when n is 0).
    void releaseCompletions(std::size_t n = 0);

  private:
    class InputPort;
    class OutputPort;
    struct InputDevice;
    struct OutputDevice;
    struct LogEntry;
    struct HeldCompletion {
        LongMessageListener* listener;
        LongMessageToken token;
        const OutputPort* port;
    };

    // False when the log is full (the event is counted as an overflow instead).
    bool record(const RecordedEvent& event) noexcept;
    void announce() noexcept;
    void completeLong(LongMessageListener& listener, LongMessageToken token,
                      const OutputPort* port);
    void completeHeldOf(const OutputPort* port);
    int storeLong(std::vector<std::uint8_t> bytes);

    // Only grow, so indices stay; a device that left stays in place, marked absent.
    std::vector<std::unique_ptr<InputDevice>> inputs_;
    std::vector<std::unique_ptr<OutputDevice>> outputs_;
    DeviceChangeListener* changeListener_ = nullptr;

    std::unique_ptr<LogEntry[]> log_;
    std::size_t logCapacity_;
    std::atomic<std::size_t> logNext_{0};
    std::atomic<std::uint64_t> overflow_{0};

    mutable std::mutex longMutex_;  // UI and test threads only
    std::vector<std::vector<std::uint8_t>> longData_;
    bool holding_ = false;
    std::vector<HeldCompletion> held_;
};

}  // namespace tarvelo
