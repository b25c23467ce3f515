#include "ui/main/keyboard_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "ui/resources/bitmaps.h"
#include "ui/resources/palette.h"

namespace tarvelo::ui {
KeyboardView::KeyboardView(QWidget* parent) : QWidget(parent) {
    // Mouse moves reach the window's band editing also when no button is held.
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void KeyboardView::drawKeyboard() {
    pressed_.fill(false);
    markers_.clear();
    update();
}

QRect KeyboardView::keyRect(int key) const {
    const int x = keyImageX(originX_, key);
    if (keyShape(key) == KeyShape::Black)
        return QRect(x, kViewOriginY, kBlackKeyWidth, kBlackKeyHeight);
    return QRect(x, kViewOriginY, kWhiteKeyWidth, kOctaveHeight);
}

void KeyboardView::showKey(PackedMessage message) {
    const int key = data1Of(message);
    if (key >= kKeyCount)
        return;
    const bool down = statusOf(message) >= 0x90 && data2Of(message) != 0;
    if (pressed_[static_cast<std::size_t>(key)] == down)
        return;
    pressed_[static_cast<std::size_t>(key)] = down;
    // Qt merges the rectangles of all changes before the next paint into one repaint.
    update(keyRect(key) & QRect(0, 0, kClipRight, kViewOriginY + kOctaveHeight));
}

bool KeyboardView::keyPressed(int key) const {
    return key >= 0 && key < kKeyCount && pressed_[static_cast<std::size_t>(key)];
}

void KeyboardView::drawBoundaryMarker(int x, BoundaryShape shape, bool visible) {
    const Marker marker{x, shape};
    const auto at = std::find(markers_.begin(), markers_.end(), marker);
    if (visible && at == markers_.end())
        markers_.push_back(marker);
    if (!visible && at != markers_.end())
        markers_.erase(at);
    update(QRect(x - 5, 0, 11, kViewOriginY + kOctaveHeight));
}

void KeyboardView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setClipRegion(event->region());
    p.setPen(palette::kFrame);
    p.drawLine(0, 0, width() - 1, 0);
    p.drawLine(0, 0, 0, height() - 1);
    p.drawLine(0, height() - 1, width() - 1, height() - 1);
    p.drawLine(width() - 1, 0, width() - 1, height() - 1);

    p.setClipRect(QRect(0, 0, kClipRight, kViewOriginY + kOctaveHeight) & event->rect());
    const QPixmap octave = resourceBitmap(BitmapId::Octave);
    for (int i = 0; i < kOctaveCount; ++i)
        p.drawPixmap(originX_ + i * kOctaveWidth, kViewOriginY, octave);

    // White keys first: their images leave the black keys' places transparent, so the order
    // only matters for speed, not for the picture.
    for (int key = 0; key < kKeyCount; ++key) {
        if (!pressed_[static_cast<std::size_t>(key)])
            continue;
        const QRect r = keyRect(key);
        if (!event->rect().intersects(r))
            continue;
        p.drawPixmap(r.topLeft(), keyImage(keyShape(key), true));
    }

    p.setPen(QPen(palette::kMarkerRed, 1));
    const int y0 = kViewOriginY;
    for (const Marker& m : markers_) {
        // Lines include their start point and exclude their end point.
        switch (m.shape) {
            case BoundaryShape::WhiteToBlack:
                p.drawLine(m.x - 4, y0, m.x - 4, y0 + 44);
                p.drawLine(m.x - 4, y0 + 45, m.x - 1, y0 + 45);
                p.drawLine(m.x, y0 + 45, m.x, y0 + 62);
                break;
            case BoundaryShape::BlackToWhite:
                p.drawLine(m.x + 4, y0, m.x + 4, y0 + 44);
                p.drawLine(m.x + 1, y0 + 45, m.x + 4, y0 + 45);
                p.drawLine(m.x, y0 + 45, m.x, y0 + 62);
                break;
            case BoundaryShape::Straight:
                p.drawLine(m.x, y0, m.x, y0 + 62);
                break;
        }
    }
}

}  // namespace tarvelo::ui
