#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarvelo {

// The pedal controllers whose "up" must never be lost: sustain, sostenuto and soft.
inline constexpr std::uint8_t kSustainPedal = 64;
inline constexpr std::uint8_t kSostenutoPedal = 66;
inline constexpr std::uint8_t kSoftPedal = 67;

constexpr bool isPedalController(std::uint8_t controller) {
    return controller == kSustainPedal || controller == kSostenutoPedal || controller == kSoftPedal;
}
// One bit per pedal (sustain 1, sostenuto 2, soft 4), for sets of pedals held; 0 for any other
// controller.
constexpr std::uint8_t pedalBit(std::uint8_t controller) {
    switch (controller) {
        case kSustainPedal:
            return 1;
        case kSostenutoPedal:
            return 2;
        case kSoftPedal:
            return 4;
        default:
            return 0;
    }
}
// A pedal value of 64 or more holds the pedal down.
constexpr bool isPedalDown(std::uint8_t value) {
    return value >= 64;
}

// Where the pedals went down: one entry per destination (device opening and channel) that has
// at least one pedal held, so that every pedal down sent gets exactly one pedal up wherever it
// went, whatever changed in between. Fixed size, no allocation: the input thread keeps it.
//
// One thread at a time (the input thread while the input runs; the user-interface thread once
// it is closed).
class HeldPedals {
  public:
    // Distinct destinations that can hold a pedal at once; a pedal down beyond them is not
    // remembered (an arrangement has at most 128 Parts plus the target).
    static constexpr std::size_t kCapacity = 256;

    struct Destination {
        int device = 0;
        std::uint64_t incarnation = 0;  // the device opening the pedal went to
        std::uint8_t channel = 0;
        bool operator==(const Destination&) const = default;
    };

    // A pedal controller message with this value was sent to destination.
    void sent(const Destination& destination, std::uint8_t controller,
              std::uint8_t value) noexcept {
        const std::uint8_t bit = pedalBit(controller);
        if (bit == 0)
            return;
        Entry* entry = find(destination);
        if (isPedalDown(value)) {
            if (entry == nullptr) {
                if (count_ == kCapacity)
                    return;
                entry = &entries_[count_++];
                *entry = Entry{destination, 0};
            }
            entry->down = static_cast<std::uint8_t>(entry->down | bit);
            return;
        }
        if (entry == nullptr)
            return;
        entry->down = static_cast<std::uint8_t>(entry->down & ~bit);
        if (entry->down == 0)
            *entry = entries_[--count_];
    }

    // Whether that pedal is held down at destination.
    bool isDown(const Destination& destination, std::uint8_t controller) const noexcept {
        const Entry* entry = find(destination);
        return entry != nullptr && (entry->down & pedalBit(controller)) != 0;
    }

    // Calls visit(destination, controller) for every pedal held down, in no particular order.
    template <typename Visit>
    void forEachDown(Visit&& visit) const {
        for (std::size_t i = 0; i < count_; ++i) {
            for (const std::uint8_t controller : {kSustainPedal, kSostenutoPedal, kSoftPedal}) {
                if ((entries_[i].down & pedalBit(controller)) != 0)
                    visit(entries_[i].destination, controller);
            }
        }
    }

    // Forgets that pedal at every destination it is down at, calling visit(destination) for each
    // (which sends the release there).
    template <typename Visit>
    void releaseEverywhere(std::uint8_t controller, Visit&& visit) noexcept {
        const std::uint8_t bit = pedalBit(controller);
        for (std::size_t i = 0; i < count_;) {
            Entry& entry = entries_[i];
            if ((entry.down & bit) == 0) {
                ++i;
                continue;
            }
            visit(entry.destination);
            entry.down = static_cast<std::uint8_t>(entry.down & ~bit);
            if (entry.down == 0) {
                entry = entries_[--count_];
            } else {
                ++i;
            }
        }
    }

    // Whether that pedal is down anywhere.
    bool anyDown(std::uint8_t controller) const noexcept {
        const std::uint8_t bit = pedalBit(controller);
        for (std::size_t i = 0; i < count_; ++i) {
            if ((entries_[i].down & bit) != 0)
                return true;
        }
        return false;
    }

    bool empty() const noexcept { return count_ == 0; }
    void clear() noexcept { count_ = 0; }

  private:
    struct Entry {
        Destination destination;
        std::uint8_t down = 0;  // one bit per pedal (pedalBit)
    };

    Entry* find(const Destination& destination) noexcept {
        for (std::size_t i = 0; i < count_; ++i) {
            if (entries_[i].destination == destination)
                return &entries_[i];
        }
        return nullptr;
    }
    const Entry* find(const Destination& destination) const noexcept {
        return const_cast<HeldPedals*>(this)->find(destination);
    }

    std::array<Entry, kCapacity> entries_{};
    std::size_t count_ = 0;
};

}  // namespace tarvelo
