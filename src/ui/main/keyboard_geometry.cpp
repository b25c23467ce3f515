#include "ui/main/keyboard_geometry.h"

namespace tarvelo::ui {
namespace {

// Division rounding toward minus infinity, so that points left of octave 0 stay consistent.
int floorDiv(int a, int b) {
    const int q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int octaveOf(int key) {
    return floorDiv(key, 12);
}
int semitoneOf(int key) {
    return key - octaveOf(key) * 12;
}

}  // namespace

KeyShape keyShape(int key) {
    return keyLayoutOf(semitoneOf(key)).shape;
}

int keyImageX(int originX, int key) {
    return originX + octaveOf(key) * kOctaveWidth +
           kKeyLayout[static_cast<std::size_t>(semitoneOf(key))].x;
}

int bandEdge(int originX, int key) {
    const KeyShape shape = keyShape(key);
    // A white key with a black key on its left starts its band area at the black key's middle.
    const int inset =
        (shape == KeyShape::WhiteBlackBoth || shape == KeyShape::WhiteBlackLeft) ? 4 : 0;
    return keyImageX(originX, key) + inset;
}

int keyAtPoint(int originX, int originY, int x, int y) {
    const int d = x - originX;
    const int octave = floorDiv(d, kOctaveWidth);
    int r = d - octave * kOctaveWidth;
    if (y - originY > 44)
        r = (r / kWhiteKeyWidth) * kWhiteKeyWidth + 7;
    int s = 0;
    while (s < 11 && !(r < kKeyLayout[static_cast<std::size_t>(s) + 1].x))
        ++s;
    const auto shape = kKeyLayout[static_cast<std::size_t>(s)].shape;
    if ((shape == KeyShape::WhiteBlackBoth || shape == KeyShape::WhiteBlackLeft) &&
        r < kKeyLayout[static_cast<std::size_t>(s) - 1].x + kBlackKeyWidth) {
        return octave * 12 + s - 1;
    }
    return octave * 12 + s;
}

Boundary boundaryAt(int originX, int x) {
    const int d = x - originX;
    const int octave = floorDiv(d, kOctaveWidth);
    const int r = d - octave * kOctaveWidth;
    const BoundaryEntry& e = kBoundaryTable[static_cast<std::size_t>(r / 7)];
    return Boundary{originX + octave * kOctaveWidth + e.x, e.shape, (octave * 12 + e.key) & 0xFF};
}

int bandAtStripX(int originX, const std::vector<Part>& parts, int x) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (bandEdge(originX, parts[i].lowKey) < x && x < bandEdge(originX, parts[i].highKey + 1))
            return static_cast<int>(i);
    }
    return -1;
}

int bandOfKey(const std::vector<Part>& parts, int key) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].lowKey <= key && key <= parts[i].highKey)
            return static_cast<int>(i);
    }
    return -1;
}

int hoveredBoundary(int originX, const std::vector<Part>& parts, int x) {
    const int key = boundaryAt(originX, x).key;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].lowKey == key)
            return static_cast<int>(i) - 1;
    }
    return -1;
}

int stripXOfBoundary(int x, BoundaryShape shape) {
    switch (shape) {
        case BoundaryShape::WhiteToBlack:
            return x - 4;
        case BoundaryShape::BlackToWhite:
            return x + 4;
        case BoundaryShape::Straight:
            break;
    }
    return x;
}

PictureArea areaAt(int stripX, int stripY, int keyboardX, int keyboardY, int stripWidth) {
    if (0 < stripX && stripX < stripWidth && 0 < stripY && stripY < 35)
        return PictureArea::BandStrip;
    if (0 < keyboardX && keyboardX < stripWidth && 0 < keyboardY && keyboardY < kOctaveHeight)
        return PictureArea::Keyboard;
    return PictureArea::Outside;
}

KeyboardScroll KeyboardScroll::scrolled(ScrollCode code, int target) const {
    KeyboardScroll next = *this;
    switch (code) {
        case ScrollCode::LineLeft:
            if (position > 0) {
                next.originX += kWhiteKeyWidth;
                next.position -= 1;
            }
            break;
        case ScrollCode::LineRight:
            if (position < kScrollMaximum) {
                next.originX -= kWhiteKeyWidth;
                next.position += 1;
            }
            break;
        case ScrollCode::ThumbPosition:
        case ScrollCode::ThumbTrack:
            next.originX += (position - target) * kWhiteKeyWidth;
            next.position = target;
            break;
        case ScrollCode::PageLeft:
        case ScrollCode::PageRight:
        case ScrollCode::Left:
        case ScrollCode::Right:
        case ScrollCode::EndScroll:
            break;
    }
    return next;
}

}  // namespace tarvelo::ui
