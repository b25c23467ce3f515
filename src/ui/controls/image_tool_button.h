#pragma once

#include <QPixmap>
#include <QPushButton>
#include <initializer_list>
#include <vector>

#include "ui/resources/bitmaps.h"

class QPainter;

namespace tarvelo::ui {

// What the two styled tool buttons share: a flat push button drawn from 24 x 24 images of the
// program's own (see ui/resources/bitmaps.h), lit (hover) while the mouse is over that 24 x 24
// area. User-interface thread only.
class ImageToolButton : public QPushButton {
    Q_OBJECT

  public:
    bool hover() const { return hover_; }

  protected:
    explicit ImageToolButton(QWidget* parent);

    // Remembers the images in the given order. False when one of them is not a picture the
    // program has; the button then draws nothing for it.
    bool loadImages(std::initializer_list<BitmapId> ids);

    // Fills the image area with the window colour.
    void paintBackground(QPainter& painter) const;
    // Draws image i (in the order given to loadImages) over what is there.
    void drawImage(QPainter& painter, std::size_t i) const;

    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    std::vector<QPixmap> images_;
    bool hover_ = false;
};

// Whether a point in a tool button's client coordinates lies on its 24 x 24 image.
constexpr bool onButtonImage(int x, int y) {
    return x >= 0 && x < 24 && y >= 0 && y < 24;
}

}  // namespace tarvelo::ui
