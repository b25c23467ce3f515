#pragma once

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "midi/spsc_ring.h"

namespace tarvelo::testing {

// One MIDI event as a test client wrote or received it. frame is the absolute frame time
// (the cycle's first frame plus the offset), comparable between clients.
struct MidiEvent {
    int port = 0;
    std::uint64_t frame = 0;
    std::vector<std::uint8_t> bytes;
};

// An event to write: output port index, frame offset in the cycle, bytes.
struct Outgoing {
    int port = 0;
    std::uint32_t offset = 0;
    std::vector<std::uint8_t> bytes;
};

// A JACK client the tests own, standing in for a keyboard or a synthesizer: it writes the events
// it is given, several in one cycle if asked, and records everything its input ports receive,
// with frame times. Its process callback takes no lock.
class JackTestClient {
  public:
    // server: empty for the default server. ok() tells whether the client could be opened.
    JackTestClient(const std::string& name, const std::vector<std::string>& inputs,
                   const std::vector<std::string>& outputs, const std::string& server = {});
    ~JackTestClient();
    JackTestClient(const JackTestClient&) = delete;
    JackTestClient& operator=(const JackTestClient&) = delete;

    bool ok() const { return client_ != nullptr; }
    std::string inputPort(int index) const;
    std::string outputPort(int index) const;
    jack_client_t* client() const { return client_; }

    // Writes all events in the same coming cycle, at their offsets. Waits (bounded) for room in
    // the hand-off; false when there was none.
    bool sendInOneCycle(const std::vector<Outgoing>& events);
    bool send(int port, std::uint32_t offset, std::vector<std::uint8_t> bytes) {
        return sendInOneCycle({Outgoing{port, offset, std::move(bytes)}});
    }

    // What was written and received so far, in order.
    std::vector<MidiEvent> sent() const { return sent_.snapshot(); }
    std::vector<MidiEvent> received() const { return received_.snapshot(); }
    std::vector<MidiEvent> received(int port) const;

    // Waits until at least count events have been received (on any port).
    bool waitForReceived(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(3)) const;
    // Waits until every queued batch has been written.
    bool waitUntilSent(std::chrono::milliseconds timeout = std::chrono::seconds(3)) const;
    bool serverGone() const { return gone_.load(); }

  private:
    static constexpr std::size_t kBatchEvents = 16;
    static constexpr std::size_t kEventBytes = 16;
    struct Batch {
        std::size_t count = 0;
        std::array<int, kBatchEvents> port{};
        std::array<std::uint32_t, kBatchEvents> offset{};
        std::array<std::uint8_t, kBatchEvents> size{};
        std::array<std::array<std::uint8_t, kEventBytes>, kBatchEvents> bytes{};
    };

    // Append-only event log: the process thread writes, any thread reads a snapshot.
    class Log {
      public:
        Log();
        void append(int port, std::uint64_t frame, const std::uint8_t* data,
                    std::size_t size) noexcept;
        std::vector<MidiEvent> snapshot() const;
        std::size_t size() const { return count_.load(std::memory_order_acquire); }

      private:
        struct Entry {
            int port;
            std::uint64_t frame;
            std::size_t offset;
            std::size_t size;
        };
        static constexpr std::size_t kEntries = 1 << 16;
        static constexpr std::size_t kBytes = 1 << 22;
        std::unique_ptr<Entry[]> entries_;
        std::unique_ptr<std::uint8_t[]> arena_;
        std::size_t used_ = 0;
        std::atomic<std::size_t> count_{0};
    };

    static int processCallback(jack_nframes_t frames, void* self) noexcept;
    static void shutdownCallback(void* self) noexcept;
    int process(jack_nframes_t frames) noexcept;

    jack_client_t* client_ = nullptr;
    std::vector<jack_port_t*> inputs_;
    std::vector<jack_port_t*> outputs_;
    SpscRing<Batch, 64> batches_;
    std::atomic<std::uint64_t> batchesQueued_{0};
    std::atomic<std::uint64_t> batchesWritten_{0};
    Log sent_;
    Log received_;
    std::atomic<bool> gone_{false};
};

// Connects two ports through the given client; true on success.
bool connectPorts(jack_client_t* client, const std::string& from, const std::string& to);

// A name unique to this test process, so concurrent runs on one server do not collide.
std::string uniqueName(const std::string& base);

}  // namespace tarvelo::testing
