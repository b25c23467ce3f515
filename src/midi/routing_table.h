#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "midi/packed_message.h"

namespace tarvelo {

// Where a note of one key goes.
struct RouteEntry {
    // The device index that routes nowhere: no device carries it, so a note sent there is dropped.
    static constexpr int kNowhere = -1;

    int device = kNowhere;     // output device index
    std::uint8_t channel = 0;  // 0..15
    int noteShift = 0;         // semitones added to the note number
    // The key's Part follows the wheels and pressure: its key pressure goes where its note went.
    bool followsWheels = false;

    bool operator==(const RouteEntry&) const = default;
};

// 256 route entries indexed by the note byte of an incoming note message. Written by the
// user-interface thread (the live session's route rebuild), read by the MIDI input thread. Each
// entry is one 64-bit atomic, so the reader sees a whole old or a whole new entry, never a mix.
class RoutingTable {
  public:
    static constexpr int kSize = 256;

    // Every entry starts routing nowhere.
    RoutingTable() {
        for (auto& e : entries_)
            e.store(pack(RouteEntry{}), std::memory_order_relaxed);
    }

    // Any thread. Relaxed: an entry carries plain values, nothing is published through it.
    RouteEntry at(int noteByte) const noexcept {
        return unpack(
            entries_[static_cast<std::size_t>(noteByte & 0xFF)].load(std::memory_order_relaxed));
    }

    // User-interface thread: one single store per entry.
    void set(int noteByte, const RouteEntry& e) noexcept {
        entries_[static_cast<std::size_t>(noteByte & 0xFF)].store(pack(e),
                                                                  std::memory_order_relaxed);
    }

  private:
    // device: 32 bits; channel: 8 bits; shift: 16 bits, saturated (a shift beyond +-32767 moves
    // every note out of range either way); the wheels switch: 1 bit.
    static std::uint64_t pack(const RouteEntry& e) {
        const auto shift = static_cast<std::int16_t>(std::clamp(e.noteShift, -32768, 32767));
        return static_cast<std::uint32_t>(e.device) | (std::uint64_t{e.channel} << 32) |
               (std::uint64_t{static_cast<std::uint16_t>(shift)} << 40) |
               (std::uint64_t{e.followsWheels} << 56);
    }
    static RouteEntry unpack(std::uint64_t v) {
        return RouteEntry{
            static_cast<int>(static_cast<std::uint32_t>(v)), static_cast<std::uint8_t>(v >> 32),
            static_cast<std::int16_t>(static_cast<std::uint16_t>(v >> 40)), ((v >> 56) & 1U) != 0};
    }

    std::array<std::atomic<std::uint64_t>, kSize> entries_;
};

// One device and channel that channel messages go to.
struct Destination {
    int device = RouteEntry::kNowhere;
    std::uint8_t channel = 0;  // 0..15

    bool operator==(const Destination&) const = default;
};

// What the input callback routes the channel messages other than notes by: the channel-message
// target (a snapshot of one Part's device and channel, or none), the other destinations that
// follow the pedals and the wheels (each device and channel once, the target's left out: it gets
// them anyway), and the input controller that asks for the panic action.
struct ChannelRouting {
    // An arrangement has at most 128 Parts, so at most 128 destinations besides the target.
    static constexpr std::size_t kMaxFollowers = 128;

    struct Followers {
        std::array<Destination, kMaxFollowers> destinations{};
        std::size_t count = 0;

        // Adds d unless it is there already, or the list is full.
        void add(const Destination& d) {
            for (std::size_t i = 0; i < count; ++i) {
                if (destinations[i] == d)
                    return;
            }
            if (count < destinations.size())
                destinations[count++] = d;
        }
        const Destination* begin() const { return destinations.data(); }
        const Destination* end() const { return destinations.data() + count; }
    };

    int targetPart = -1;  // negative: no target
    Destination target;
    Followers pedals;          // sustain, sostenuto, soft
    Followers wheels;          // pitch bend, modulation, channel pressure
    int panicController = -1;  // 0..127, or negative for none
    std::uint8_t panicValue = 127;

    // The short messages that set the arrangement's sound up (each Part's program changes and
    // controllers, on its channel), sent as a song is switched to, in the switching cycle.
    struct SetUpMessage {
        int device = RouteEntry::kNowhere;
        PackedMessage message = 0;
    };
    std::vector<SetUpMessage> setUp;
};

// Hands ChannelRouting to the input callback whole: two copies, of which the callback reads the
// current one through one pointer (seq_cst, see QuiescenceGate). The user-interface thread fills
// the other copy, publishes it, and waits until no callback can still be reading the old one, so
// that the next publication may overwrite it.
class ChannelRoutingPublisher {
  public:
    ChannelRoutingPublisher() { current_.store(&copies_[0], std::memory_order_seq_cst); }
    ChannelRoutingPublisher(const ChannelRoutingPublisher&) = delete;
    ChannelRoutingPublisher& operator=(const ChannelRoutingPublisher&) = delete;

    // The MIDI input thread, inside the gated callback: valid until the callback returns.
    const ChannelRouting& current() const noexcept {
        return *current_.load(std::memory_order_seq_cst);
    }

    // User-interface thread; may block until the callback running now, if any, has returned
    // (waitForCallback does that wait).
    template <typename WaitForCallback>
    void publish(const ChannelRouting& next, WaitForCallback&& waitForCallback) {
        ChannelRouting* spare =
            current_.load(std::memory_order_relaxed) == &copies_[0] ? &copies_[1] : &copies_[0];
        *spare = next;
        current_.store(spare, std::memory_order_seq_cst);
        waitForCallback();
    }

  private:
    std::array<ChannelRouting, 2> copies_{};
    std::atomic<ChannelRouting*> current_{nullptr};
};

}  // namespace tarvelo
