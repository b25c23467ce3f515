#include "ui/controls/stylish_button.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/resources/bitmaps.h"

namespace tarvelo::ui {

CStylishButton::CStylishButton(QWidget* parent) : QPushButton(parent) {
    setMouseTracking(true);
    setFlat(true);
}

bool CStylishButton::setup(int normal, int pressed, int hover, int disabled) {
    ids_ = {normal, pressed, hover, disabled};
    bool all = true;
    for (std::size_t i = 0; i < ids_.size(); ++i) {
        images_[i] = resourceBitmap(ids_[i]);
        all = all && !images_[i].isNull();
    }
    update();
    return all;
}

void CStylishButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(QRect(0, 0, 24, 24), palette().color(QPalette::Window));
    painted_.clear();
    auto draw = [&](Image i) {
        painted_.push_back(ids_[i]);
        if (!images_[i].isNull())
            p.drawPixmap(0, 0, images_[i]);
    };
    draw(hover_ ? kHover : kNormal);
    if (isDown()) {
        draw(kPressed);
    } else if (!isEnabled()) {
        draw(kDisabled);
    }
}

void CStylishButton::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    hover_ = onButtonImage(at.x(), at.y());
    update();
    QPushButton::mouseMoveEvent(event);
}

void CStylishButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QPushButton::leaveEvent(event);
}

}  // namespace tarvelo::ui
