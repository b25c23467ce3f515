#include "ui/controls/stylish_check_button.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/controls/stylish_button.h"
#include "ui/resources/bitmaps.h"

namespace tarvelo::ui {

CStylishCheckButton::CStylishCheckButton(QWidget* parent) : QPushButton(parent) {
    setMouseTracking(true);
    setFlat(true);
}

bool CStylishCheckButton::setup(int unchecked, int checked, int uncheckedHover, int checkedHover,
                                int disabled) {
    ids_ = {unchecked, checked, uncheckedHover, checkedHover, disabled};
    bool all = true;
    for (std::size_t i = 0; i < ids_.size(); ++i) {
        images_[i] = resourceBitmap(ids_[i]);
        all = all && !images_[i].isNull();
    }
    update();
    return all;
}

void CStylishCheckButton::paintEvent(QPaintEvent*) {
    Image i = kDisabled;
    if (isEnabled()) {
        i = checked_ ? (hover_ ? kCheckedHover : kChecked)
                     : (hover_ ? kUncheckedHover : kUnchecked);
    }
    QPainter p(this);
    p.fillRect(QRect(0, 0, 24, 24), palette().color(QPalette::Window));
    painted_ = ids_[i];
    if (!images_[i].isNull())
        p.drawPixmap(0, 0, images_[i]);
}

void CStylishCheckButton::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    hover_ = onButtonImage(at.x(), at.y());
    update();
    QPushButton::mouseMoveEvent(event);
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

void CStylishCheckButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QPushButton::leaveEvent(event);
}

}  // namespace tarvelo::ui
