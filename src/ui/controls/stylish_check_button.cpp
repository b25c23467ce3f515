#include "ui/controls/stylish_check_button.h"

#include <QMouseEvent>
#include <QPainter>

namespace tarvelo::ui {

void CStylishCheckButton::paintEvent(QPaintEvent*) {
    Image i = kDisabled;
    if (isEnabled()) {
        i = checked_ ? (hover() ? kCheckedHover : kChecked)
                     : (hover() ? kUncheckedHover : kUnchecked);
    }
    QPainter p(this);
    paintBackground(p);
    drawImage(p, i);
}

void CStylishCheckButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QPushButton::mousePressEvent(event);
        return;
    }
    checked_ = !checked_;
    QPushButton::mousePressEvent(event);
    repaint();
    emit clicked(checked_);
}

}  // namespace tarvelo::ui
