#include "ui/controls/stylish_button.h"

#include <QPainter>

namespace tarvelo::ui {

void CStylishButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintBackground(p);
    drawImage(p, hover() ? kHover : kNormal);
    if (isDown()) {
        drawImage(p, kPressed);
    } else if (!isEnabled()) {
        drawImage(p, kDisabled);
    }
}

}  // namespace tarvelo::ui
