#pragma once

// The keyboard picture's layout: one octave of seven white and five black keys. The images drawn
// at start-up (bitmaps.h) and the views that place and hit-test them (ui/main) all read it here.

#include <array>
#include <cstdint>

namespace tarvelo::ui {

// One octave picture: seven white keys of 14 pixels; black keys 7 x 45.
inline constexpr int kOctaveWidth = 98;
inline constexpr int kOctaveHeight = 64;
inline constexpr int kWhiteKeyWidth = 14;
inline constexpr int kBlackKeyWidth = 7;
inline constexpr int kBlackKeyHeight = 45;

// Shapes of the keys: which side a white key has a black neighbour on.
enum class KeyShape : std::uint8_t {
    Black,
    WhiteBlackRight,  // C, F
    WhiteBlackBoth,   // D, G, A
    WhiteBlackLeft,   // E, B
};

struct KeyLayoutEntry {
    std::int32_t x;  // left edge within the octave picture
    KeyShape shape;
};

// Per semitone 0..11, plus the octave's end.
inline constexpr std::array<KeyLayoutEntry, 13> kKeyLayout{{
    {0, KeyShape::WhiteBlackRight},
    {10, KeyShape::Black},
    {14, KeyShape::WhiteBlackBoth},
    {24, KeyShape::Black},
    {28, KeyShape::WhiteBlackLeft},
    {42, KeyShape::WhiteBlackRight},
    {52, KeyShape::Black},
    {56, KeyShape::WhiteBlackBoth},
    {66, KeyShape::Black},
    {70, KeyShape::WhiteBlackBoth},
    {80, KeyShape::Black},
    {84, KeyShape::WhiteBlackLeft},
    {98, KeyShape::Black},
}};

constexpr const KeyLayoutEntry& keyLayoutOf(int semitone) {
    return kKeyLayout[static_cast<std::size_t>(semitone)];
}

constexpr bool isBlackKey(int semitone) {
    return keyLayoutOf(semitone).shape == KeyShape::Black;
}

}  // namespace tarvelo::ui
