#pragma once

// The program's pictures, drawn at start-up instead of being shipped as files: the keyboard
// octave, the key images in their released and pressed forms, the 24 x 24 tool-button images; and
// the application icon, rendered from the SVG that is also installed for the desktop. Each picture
// keeps the resource number the windows ask for it by.
//
// User-interface thread only (pixmaps need the GUI application).

#include <QIcon>
#include <QPixmap>

#include "ui/resources/keyboard_layout.h"

namespace tarvelo::ui {

// The program's pictures by resource number.
enum class BitmapId : int {
    // Keyboard picture.
    Octave = 1003,         // 98 x 64, all keys released
    BlackReleased = 1013,  // 7 x 45
    BlackPressed = 131,
    WhiteRightReleased = 1010,  // 14 x 64: black key on the right only
    WhiteRightPressed = 133,
    WhiteBothReleased = 1014,  // black keys on both sides
    WhiteBothPressed = 1011,
    WhiteLeftReleased = 1015,  // black key on the left only
    WhiteLeftPressed = 1012,
    // Tool buttons, 24 x 24.
    SplitNormal = 149,
    SplitHover = 150,
    SplitChecked = 151,
    SplitCheckedHover = 152,
    SplitDisabled = 153,
    JoinDisabled = 154,
    JoinHover = 155,
    JoinNormal = 156,
    JoinPressed = 157,
    SavePressed = 158,
    NewHover = 159,
    NewNormal = 160,
    NewPressed = 161,
    OpenHover = 162,
    OpenNormal = 163,
    OpenPressed = 164,
    SaveHover = 166,
    SaveNormal = 167,
    SaveAsHover = 169,
    SaveAsNormal = 170,
    SaveAsPressed = 171,
};

// The picture for a resource number, or a null pixmap for a number the program does not have.
// Transparent pixels (the key images' pure green, the buttons' background) have alpha 0.
QPixmap resourceBitmap(BitmapId id);

// The image of a key of the given shape, released or pressed.
QPixmap keyImage(KeyShape shape, bool pressed);

// Icon 128: the window and About box icon, at 16 to 256 pixels.
QIcon applicationIcon();

}  // namespace tarvelo::ui
