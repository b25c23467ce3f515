#pragma once

// The colours of the keyboard picture, the band strip and the program's images, each defined
// once for every view and image that uses it.

#include <QColor>

namespace tarvelo::ui::palette {

// Keys.
inline constexpr QColor kOutline(0, 0, 0);
inline constexpr QColor kWhiteSurface(255, 255, 255);
inline constexpr QColor kWhiteShade(214, 214, 214);
inline constexpr QColor kWhiteKeyPressed(150, 190, 245);
inline constexpr QColor kWhitePressedShade(110, 155, 225);
inline constexpr QColor kBlackBody(48, 48, 48);
inline constexpr QColor kBlackTip(96, 96, 96);
inline constexpr QColor kBlackKeyPressed(40, 90, 200);
inline constexpr QColor kBlackKeyPressedTip(90, 140, 235);
// The key images are drawn on pure green, which then becomes transparent: the images stay exact
// pixel pictures with no blended edges.
inline constexpr QColor kKeyTransparent(0, 255, 0);

// The keyboard picture's frame and the boundary markers of band editing.
inline constexpr QColor kFrame(0, 0, 0);
inline constexpr QColor kMarkerRed(255, 0, 0);
// The mark on a key whose note from the song played before still sounds, with its outline.
inline constexpr QColor kLingeringMark(255, 150, 0);
inline constexpr QColor kLingeringOutline(120, 60, 0);

// The band strip (and the icon, which shows two bands).
inline constexpr QColor kStripBackground(190, 230, 200);
inline constexpr QColor kBandFill(214, 223, 247);
inline constexpr QColor kSelectedFill(190, 230, 255);
inline constexpr QColor kSelectedOutline(49, 106, 197);

}  // namespace tarvelo::ui::palette
