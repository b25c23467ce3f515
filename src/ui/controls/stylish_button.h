#pragma once

#include <vector>

#include "ui/controls/image_tool_button.h"

namespace tarvelo::ui {

// A flat tool button drawn from four 24 x 24 images: normal, pressed, hover and disabled. It
// lights up (hover image) while the mouse is over its 24 x 24 area. Clicks behave as those of any
// push button (clicked() at the release over the button).
class CStylishButton : public ImageToolButton {
    Q_OBJECT

  public:
    explicit CStylishButton(QWidget* parent = nullptr) : ImageToolButton(parent) {}

    // Remembers the images in this order. False when one of them is not a picture the program
    // has; the button then draws nothing for it. A paint draws hover or normal, then pressed or
    // disabled over it when the button is held down or disabled.
    bool setup(BitmapId normal, BitmapId pressed, BitmapId hover, BitmapId disabled) {
        return loadImages({normal, pressed, hover, disabled});
    }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    enum Image { kNormal, kPressed, kHover, kDisabled };
};

}  // namespace tarvelo::ui
