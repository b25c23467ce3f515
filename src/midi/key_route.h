#pragma once

#include <cstdint>
#include <optional>

#include "midi/routing_table.h"
#include "model/part.h"

namespace tarvelo {

// Where one played key sounds.
struct RoutedNote {
    int device = RouteEntry::kNowhere;  // output device index
    std::uint8_t channel = 0;           // 0..15
    std::uint8_t note = 0;              // 0..127, the note number sent

    bool operator==(const RoutedNote&) const = default;
};

// The route of every key of a Part.
inline RouteEntry routeOf(const Part& part) noexcept {
    return RouteEntry{part.outputDevice, part.channel, part.noteShift, part.followsWheels};
}

// The one key-routing rule, for the keys the input routes and the keys played from the window
// alike: key sounds on the route's device and channel as note key + shift; nothing when that note
// leaves 0..127 (such a note is not sent, and neither is its release).
// Any thread, the MIDI input thread included: no lock, no allocation.
constexpr std::optional<RoutedNote> routeKey(const RouteEntry& route, int key) noexcept {
    const int note = key + route.noteShift;
    if (note < 0 || note > 127)
        return std::nullopt;
    return RoutedNote{route.device, static_cast<std::uint8_t>(route.channel & 0x0F),
                      static_cast<std::uint8_t>(note)};
}

}  // namespace tarvelo
