#include "ui/controls/stylish_button.h"

#include <QPainter>

namespace tarvelo::ui {

void CStylishButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintBackground(p);
    painted_.clear();
    painted_.push_back(drawImage(p, hover() ? kHover : kNormal));
    if (isDown()) {
        painted_.push_back(drawImage(p, kPressed));
    } else if (!isEnabled()) {
        painted_.push_back(drawImage(p, kDisabled));
    }
}

}  // namespace tarvelo::ui
