#pragma once

#include <cstdint>
#include <string>

namespace tarvelo {

// One split band: a contiguous key range sent to one device, channel and transposition.
struct Part {
    std::string name;           // UTF-8
    int outputDevice = 0;       // output device index
    int noteShift = 0;          // semitones added to every routed note
    std::uint8_t channel = 0;   // 0..15, shown as 1..16
    std::uint8_t reserved = 0;  // carried along unchanged: saved, loaded, copied by a split
    std::uint8_t lowKey = 0;    // first key of the range
    std::uint8_t highKey = 0;   // last key of the range, inclusive
    // Beyond what the arrangement file holds (its companion file keeps them): besides the channel
    // message target, the Part also gets what is played on the pedals (sustain, sostenuto, soft:
    // controllers 64, 66, 67), and on the wheels and as pressure (pitch bend, modulation:
    // controller 1, channel pressure), on its own device and channel. A split copies them.
    bool followsPedals = false;
    bool followsWheels = false;

    bool operator==(const Part&) const = default;
};

}  // namespace tarvelo
