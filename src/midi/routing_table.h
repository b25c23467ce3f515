#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>

namespace tarvelo {

// Where a note of one key goes.
struct RouteEntry {
    int device = 0;            // output device index
    std::uint8_t channel = 0;  // 0..15
    int noteShift = 0;         // semitones added to the note number
};

// 256 route entries indexed by the note byte of an incoming note message. Written by the
// user-interface thread (rebuildRoutes), read by the MIDI input thread. Each entry is one 64-bit
// atomic, so the reader sees a whole old or a whole new entry, never a mix.
class RoutingTable {
  public:
    static constexpr int kSize = 256;

    // Every entry starts as device 0, channel 0, no shift: entries no Part covers stay valid.
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

// The channel-message target: a snapshot of one Part's device and channel. Written by the
// user-interface thread, read by the MIDI input thread.
class ChannelTarget {
  public:
    struct Snapshot {
        int part = -1;
        int device = -1;
        std::uint8_t channel = 255;
    };

    // User-interface thread. Device and channel are stored before the part index (release), so a
    // reader that sees the new index (acquire) also sees the new device and channel.
    void set(int part, int device, std::uint8_t channel) noexcept {
        device_.store(device, std::memory_order_relaxed);
        channel_.store(channel, std::memory_order_relaxed);
        part_.store(part, std::memory_order_release);
    }

    // Any thread.
    Snapshot load() const noexcept {
        Snapshot s;
        s.part = part_.load(std::memory_order_acquire);
        s.device = device_.load(std::memory_order_relaxed);
        s.channel = channel_.load(std::memory_order_relaxed);
        return s;
    }

    int part() const noexcept { return part_.load(std::memory_order_acquire); }
    int device() const noexcept { return device_.load(std::memory_order_relaxed); }
    std::uint8_t channel() const noexcept { return channel_.load(std::memory_order_relaxed); }

  private:
    std::atomic<int> part_{-1};
    std::atomic<int> device_{-1};
    std::atomic<std::uint8_t> channel_{255};
};

}  // namespace tarvelo
