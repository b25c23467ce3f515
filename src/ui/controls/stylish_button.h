#pragma once

#include <QPixmap>
#include <QPushButton>
#include <array>
#include <vector>

namespace tarvelo::ui {

// A flat tool button drawn from four 24 x 24 images: normal, pressed, hover and disabled. It
// lights up (hover image) while the mouse is over its 24 x 24 area. Clicks behave as those of any
// push button (clicked() at the release over the button).
class CStylishButton : public QPushButton {
    Q_OBJECT

  public:
    explicit CStylishButton(QWidget* parent = nullptr);

    // Remembers the image ids (see ui/resources/bitmaps.h) in this order. False when one of them
    // is not a picture the program has; the button then draws nothing for it.
    bool setup(int normal, int pressed, int hover, int disabled);

    bool hover() const { return hover_; }
    // The ids the last paint drew, bottom first: hover or normal, then pressed or disabled over
    // it when the button is held down or disabled.
    const std::vector<int>& paintedImages() const { return painted_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    enum Image { kNormal, kPressed, kHover, kDisabled };
    std::array<int, 4> ids_{-1, -1, -1, -1};
    std::array<QPixmap, 4> images_;
    bool hover_ = false;
    std::vector<int> painted_;
};

// Whether a point in a tool button's client coordinates lies on its 24 x 24 image.
constexpr bool onButtonImage(int x, int y) {
    return x >= 0 && x < 24 && y >= 0 && y < 24;
}

}  // namespace tarvelo::ui
