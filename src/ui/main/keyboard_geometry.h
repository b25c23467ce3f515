#pragma once

// The geometry of the keyboard picture and the band strip above it: where keys and bands lie for
// a given view origin, and which key, band or boundary a point hits. Pure functions of the view
// origin and the Parts, so they are tested without widgets. All coordinates are pixels in the
// client coordinates of the two pictures, which share their x axis.

#include <array>
#include <cstdint>
#include <vector>

#include "model/part.h"
#include "ui/resources/keyboard_layout.h"

namespace tarvelo::ui {

inline constexpr int kOctaveCount = 11;  // keys 0..131 drawn; MIDI uses 0..127
inline constexpr int kVisibleWhiteKeys = 56;
inline constexpr int kClipRight = 785;   // nothing is drawn at x >= 785
inline constexpr int kStripHeight = 34;  // the band strip's off-screen picture
inline constexpr int kScrollMaximum = kOctaveCount * 7 - kVisibleWhiteKeys;  // 21
inline constexpr int kStartKey = 12;
inline constexpr int kViewOriginY = 1;

// Shapes of a boundary line between two keys.
enum class BoundaryShape : std::uint8_t {
    Straight,      // between two white keys, or at the octave's edge
    WhiteToBlack,  // from a white key to the black key on its right
    BlackToWhite,  // from a black key to the white key on its right
};

struct BoundaryEntry {
    std::int32_t x;  // boundary line nearest to this 7-pixel column
    BoundaryShape shape;
    std::uint8_t key;  // semitone starting at the boundary; 12 = the next octave's C
};

// Per 7-pixel column 0..13 of the octave picture.
inline constexpr std::array<BoundaryEntry, 14> kBoundaryTable{{
    {-1, BoundaryShape::Straight, 0},
    {13, BoundaryShape::WhiteToBlack, 1},
    {13, BoundaryShape::BlackToWhite, 2},
    {27, BoundaryShape::WhiteToBlack, 3},
    {27, BoundaryShape::BlackToWhite, 4},
    {41, BoundaryShape::Straight, 5},
    {41, BoundaryShape::Straight, 5},
    {55, BoundaryShape::WhiteToBlack, 6},
    {55, BoundaryShape::BlackToWhite, 7},
    {69, BoundaryShape::WhiteToBlack, 8},
    {69, BoundaryShape::BlackToWhite, 9},
    {83, BoundaryShape::WhiteToBlack, 10},
    {83, BoundaryShape::BlackToWhite, 11},
    {97, BoundaryShape::Straight, 12},
}};

// View origin x for a keyboard scroll position: where octave 0 starts.
constexpr int viewOriginXForPosition(int position) {
    return 1 - kWhiteKeyWidth * position;
}

// Left edge of key n's picture (its white or black key image) for the view origin.
int keyImageX(int originX, int key);
KeyShape keyShape(int key);

// The x at which the band area of key n begins in the band strip. A band over low..high covers
// bandEdge(low) <= x < bandEdge(high + 1).
int bandEdge(int originX, int key);

// The key under a point of the keyboard picture. Below the black keys only white keys count.
// Points left of octave 0 fall into octave -1 (floor division), so the result is never garbage.
int keyAtPoint(int originX, int originY, int x, int y);

struct Boundary {
    int x;  // client x of the boundary line
    BoundaryShape shape;
    int key;  // key that starts at the boundary, kept to 8 bits
};
Boundary boundaryAt(int originX, int x);

// First Part whose band strictly contains x (its edge pixels excluded), or -1.
int bandAtStripX(int originX, const std::vector<Part>& parts, int x);

// First Part whose range holds the key, or -1.
int bandOfKey(const std::vector<Part>& parts, int key);

// The band left of the boundary under x, when a Part starts at that boundary; -1 otherwise (also
// for Part 0's own low key).
int hoveredBoundary(int originX, const std::vector<Part>& parts, int x);

// The boundary's x moved to the black key's edge, where the strip shows it.
int stripXOfBoundary(int x, BoundaryShape shape);

enum class PictureArea { Outside = 0, BandStrip = 1, Keyboard = 2 };

// Classifies a point given in both pictures' client coordinates; stripWidth is the keyboard
// picture's client width. The band strip wins where both would match.
PictureArea areaAt(int stripX, int stripY, int keyboardX, int keyboardY, int stripWidth);

// The keyboard scroll bar's actions.
enum class ScrollCode {
    LineLeft,
    LineRight,
    PageLeft,
    PageRight,
    ThumbPosition,
    ThumbTrack,
    Left,
    Right,
    EndScroll,
};

struct KeyboardScroll {
    int position = 7;
    int originX = viewOriginXForPosition(7);

    // The state after one scroll action; target is the thumb's position for the thumb codes.
    // Lines stop at 0 and kScrollMaximum; pages and the end codes change nothing.
    KeyboardScroll scrolled(ScrollCode code, int target) const;
    bool operator==(const KeyboardScroll&) const = default;
};

}  // namespace tarvelo::ui
