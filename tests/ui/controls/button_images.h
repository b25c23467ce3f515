#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <initializer_list>

#include "ui/resources/bitmaps.h"

namespace tarvelo::ui::testing {

// What a styled button shows on its 24 x 24 image area when these images are drawn in this order
// over the window colour.
inline QImage buttonImage(const QWidget& button, std::initializer_list<BitmapId> layers) {
    QImage image(24, 24, QImage::Format_RGB32);
    image.fill(button.palette().color(QPalette::Window));
    QPainter p(&image);
    for (const BitmapId id : layers)
        p.drawPixmap(0, 0, resourceBitmap(id));
    return image;
}

// What the button shows now on its image area, as it paints itself.
inline QImage shownImage(QWidget& button) {
    return button.grab(QRect(0, 0, 24, 24)).toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace tarvelo::ui::testing
