#pragma once

#include "ui/controls/image_tool_button.h"

namespace tarvelo::ui {

// A flat toggle drawn from five 24 x 24 images: unchecked, checked, each with a hover form, and
// disabled. The state toggles when the left mouse button is pressed on it (not by the keyboard,
// not at the release), and clicked() is emitted right at that press; the release over the button
// emits clicked() once more, as for any push button. Whoever listens reads checked(), which is
// the same both times.
class CStylishCheckButton : public ImageToolButton {
    Q_OBJECT

  public:
    explicit CStylishCheckButton(QWidget* parent = nullptr) : ImageToolButton(parent) {}

    // Remembers the images in this order. False when one of them is missing.
    bool setup(BitmapId unchecked, BitmapId checked, BitmapId uncheckedHover, BitmapId checkedHover,
               BitmapId disabled) {
        return loadImages({unchecked, checked, uncheckedHover, checkedHover, disabled});
    }

    bool checked() const { return checked_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    enum Image { kUnchecked, kChecked, kUncheckedHover, kCheckedHover, kDisabled };
    bool checked_ = false;
};

}  // namespace tarvelo::ui
