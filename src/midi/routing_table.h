#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>

namespace tarvelo {

// Where a note of one key goes.
struct RouteEntry {
    // The device index that routes nowhere: no device carries it, so a note sent there is dropped.
    static constexpr int kNowhere = -1;

    int device = kNowhere;     // output device index
    std::uint8_t channel = 0;  // 0..15
    int noteShift = 0;         // semitones added to the note number

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
    // every note out of range either way).
    static std::uint64_t pack(const RouteEntry& e) {
        const auto shift = static_cast<std::int16_t>(std::clamp(e.noteShift, -32768, 32767));
        return static_cast<std::uint32_t>(e.device) | (std::uint64_t{e.channel} << 32) |
               (std::uint64_t{static_cast<std::uint16_t>(shift)} << 40);
    }
    static RouteEntry unpack(std::uint64_t v) {
        return RouteEntry{static_cast<int>(static_cast<std::uint32_t>(v)),
                          static_cast<std::uint8_t>(v >> 32),
                          static_cast<std::int16_t>(static_cast<std::uint16_t>(v >> 40))};
    }

    std::array<std::atomic<std::uint64_t>, kSize> entries_;
};

// The channel-message target: a snapshot of one Part's device and channel, or none. Written by
// the user-interface thread, read by the MIDI input thread. Part, device and channel live in one
// 64-bit atomic, so the reader never combines halves of two updates.
class ChannelTarget {
  public:
    struct Snapshot {
        int part = -1;  // the target Part, or negative for none
        int device = -1;
        std::uint8_t channel = 255;

        bool operator==(const Snapshot&) const = default;
    };

    ChannelTarget() { word_.store(pack(Snapshot{}), std::memory_order_relaxed); }

    // User-interface thread: one single store. Relaxed: the word carries plain values.
    void set(int part, int device, std::uint8_t channel) noexcept {
        word_.store(pack(Snapshot{part, device, channel}), std::memory_order_relaxed);
    }

    // Any thread.
    Snapshot load() const noexcept { return unpack(word_.load(std::memory_order_relaxed)); }

  private:
    // device: 32 bits; channel: 8 bits; part: 16 bits, saturated (only its sign matters to the
    // router; no arrangement has more than 128 Parts).
    static std::uint64_t pack(const Snapshot& s) {
        const auto part = static_cast<std::int16_t>(std::clamp(s.part, -1, 32767));
        return static_cast<std::uint32_t>(s.device) | (std::uint64_t{s.channel} << 32) |
               (std::uint64_t{static_cast<std::uint16_t>(part)} << 40);
    }
    static Snapshot unpack(std::uint64_t v) {
        return Snapshot{static_cast<std::int16_t>(static_cast<std::uint16_t>(v >> 40)),
                        static_cast<int>(static_cast<std::uint32_t>(v)),
                        static_cast<std::uint8_t>(v >> 32)};
    }

    std::atomic<std::uint64_t> word_;
};

}  // namespace tarvelo
