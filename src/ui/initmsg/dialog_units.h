#pragma once

#include <cstdint>

namespace tarvelo::ui {

// A control's place in a dialog, in dialog units: a horizontal unit is a quarter of the
// dialog font's average character width, a vertical unit an eighth of its height.
struct DialogUnitRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The dialog font's average character width and height in pixels.
struct DialogBaseUnits {
    int x = 0;
    int y = 0;
};

// a * b / c rounded half away from zero.
constexpr int mulDivRounded(int a, int b, int c) {
    const std::int64_t product = std::int64_t{a} * b;
    const std::int64_t half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

// Each of position and size converted on its own, so that equal sizes stay equal.
constexpr DialogUnitRect toPixels(DialogUnitRect r, DialogBaseUnits base) {
    return {mulDivRounded(r.x, base.x, 4), mulDivRounded(r.y, base.y, 8),
            mulDivRounded(r.width, base.x, 4), mulDivRounded(r.height, base.y, 8)};
}

}  // namespace tarvelo::ui
