#pragma once

// The program's pictures, drawn at start-up instead of being shipped as files: the keyboard
// octave, the key images in their released and pressed forms, the 24 x 24 tool-button images; and
// the application icon, rendered from the SVG that is also installed for the desktop. Each picture
// keeps the resource number the windows ask for it by.
//
// User-interface thread only (pixmaps need the GUI application).

#include <QIcon>
#include <QPixmap>

namespace tarvelo::ui {

namespace bitmap_id {
// Keyboard picture.
inline constexpr int kOctave = 1003;         // 98 x 64, all keys released
inline constexpr int kBlackReleased = 1013;  // 7 x 45
inline constexpr int kBlackPressed = 131;
inline constexpr int kWhiteRightReleased = 1010;  // 14 x 64: black key on the right only
inline constexpr int kWhiteRightPressed = 133;
inline constexpr int kWhiteBothReleased = 1014;  // black keys on both sides
inline constexpr int kWhiteBothPressed = 1011;
inline constexpr int kWhiteLeftReleased = 1015;  // black key on the left only
inline constexpr int kWhiteLeftPressed = 1012;
// Tool buttons, 24 x 24 (149..171).
inline constexpr int kFirstButtonImage = 149;
inline constexpr int kLastButtonImage = 171;
}  // namespace bitmap_id

// The picture for a resource number, or a null pixmap for a number the program does not have.
// Transparent pixels (the key images' pure green, the buttons' background) have alpha 0.
QPixmap resourceBitmap(int id);

// The key image for a key shape (0 black, 1..3 white) and state.
QPixmap keyImage(int shape, bool pressed);

// Icon 128: the window and About box icon, at 16 to 256 pixels.
QIcon applicationIcon();

}  // namespace tarvelo::ui
