#include "ui/controls/image_tool_button.h"

#include <QMouseEvent>
#include <QPainter>

namespace tarvelo::ui {

ImageToolButton::ImageToolButton(QWidget* parent) : QPushButton(parent) {
    setMouseTracking(true);
    setFlat(true);
}

bool ImageToolButton::loadImages(std::initializer_list<BitmapId> ids) {
    images_.clear();
    bool all = true;
    for (const BitmapId id : ids) {
        images_.push_back(resourceBitmap(id));
        all = all && !images_.back().isNull();
    }
    update();
    return all;
}

void ImageToolButton::paintBackground(QPainter& painter) const {
    painter.fillRect(QRect(0, 0, 24, 24), palette().color(QPalette::Window));
}

void ImageToolButton::drawImage(QPainter& painter, std::size_t i) const {
    if (i < images_.size() && !images_[i].isNull())
        painter.drawPixmap(0, 0, images_[i]);
}

void ImageToolButton::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    hover_ = onButtonImage(at.x(), at.y());
    update();
    QPushButton::mouseMoveEvent(event);
}

void ImageToolButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QPushButton::leaveEvent(event);
}

}  // namespace tarvelo::ui
