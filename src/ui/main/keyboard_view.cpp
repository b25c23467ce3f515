#include "ui/main/keyboard_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>

#include "ui/resources/bitmaps.h"
#include "ui/resources/palette.h"

namespace tarvelo::ui {
KeyboardView::KeyboardView(QWidget* parent) : QWidget(parent) {
    // Mouse moves reach the window's band editing also when no button is held.
    setMouseTracking(true);
    // Paints its whole rectangle itself (the window's colour beside the keys), so a key change
    // repaints this view alone, not the window beneath it as well.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

void KeyboardView::drawKeyboard() {
    pressed_.fill(false);
    requested_.fill(false);
    markers_.clear();
    lingering_.reset();
    update();
}

QRect KeyboardView::keyRect(int key) const {
    const int x = keyImageX(originX_, key);
    if (keyShape(key) == KeyShape::Black)
        return QRect(x, kViewOriginY, kBlackKeyWidth, kBlackKeyHeight);
    return QRect(x, kViewOriginY, kWhiteKeyWidth, kOctaveHeight);
}

void KeyboardView::showKey(PackedMessage message, KeyRepaint repaint) {
    const int key = data1Of(message);
    if (key >= kKeyCount)
        return;
    const bool down = statusOf(message) >= 0x90 && data2Of(message) != 0;
    if (pressed_[static_cast<std::size_t>(key)] == down)
        return;
    pressed_[static_cast<std::size_t>(key)] = down;
    if (repaint == KeyRepaint::Queued && !updateQueued_) {
        updateQueued_ = true;
        QMetaObject::invokeMethod(this, &KeyboardView::updateChangedKeys, Qt::QueuedConnection);
    }
}

QRegion KeyboardView::takeChangedKeys() {
    QRegion changed;
    for (std::size_t key = 0; key < pressed_.size(); ++key) {
        if (pressed_[key] == requested_[key])
            continue;
        requested_[key] = pressed_[key];
        changed +=
            keyRect(static_cast<int>(key)) & QRect(0, 0, kClipRight, kViewOriginY + kOctaveHeight);
    }
    return changed;
}

void KeyboardView::updateChangedKeys() {
    updateQueued_ = false;
    if (const QRegion changed = takeChangedKeys(); !changed.isEmpty())
        update(changed);
}

void KeyboardView::paintChangedKeys() {
    // Painted within this call rather than through a posted update request: the batch is already
    // one per display frame, and each further event-loop pass would cost the window a poll and a
    // dispatch per frame.
    if (const QRegion changed = takeChangedKeys(); !changed.isEmpty())
        repaint(changed);
}

void KeyboardView::showLingering(const std::bitset<128>& keys) {
    const std::bitset<128> changed = keys ^ lingering_;
    if (changed.none())
        return;
    lingering_ = keys;
    QRegion region;
    for (std::size_t key = 0; key < changed.size(); ++key) {
        if (changed.test(key))
            region += keyRect(static_cast<int>(key));
    }
    update(region & QRect(0, 0, kClipRight, kViewOriginY + kOctaveHeight));
}

QRect KeyboardView::lingeringMarkRect(int key) const {
    // Below the black keys on a white key, low on a black key: where no neighbour covers it.
    const int x = keyImageX(originX_, key);
    if (keyShape(key) == KeyShape::Black)
        return QRect(x + 1, kViewOriginY + kBlackKeyHeight - 10, kBlackKeyWidth - 2, 6);
    return QRect(x + kWhiteKeyWidth / 2 - 4, kViewOriginY + kOctaveHeight - 15, 9, 9);
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
    const QRect keyboardArea(0, 0, kClipRight, kViewOriginY + kOctaveHeight);
    for (const QRect& beside : event->region() - keyboardArea)
        p.fillRect(beside, palette().window());
    // The frame only when the region reaches it: a key change never does, and four clipped lines
    // would cost more than the key itself.
    if (!rect().adjusted(1, 1, -1, -1).contains(event->region().boundingRect())) {
        p.setClipRegion(event->region());
        p.setPen(palette::kFrame);
        p.drawLine(0, 0, width() - 1, 0);
        p.drawLine(0, 0, 0, height() - 1);
        p.drawLine(0, height() - 1, width() - 1, height() - 1);
        p.drawLine(width() - 1, 0, width() - 1, height() - 1);
    }

    // One dirty rectangle at a time: with a clip of many rectangles the raster engine cuts every
    // blit into many spans and hands them to worker threads, which costs far more than the few
    // keys a frame changes.
    const QPixmap octave = resourceBitmap(BitmapId::Octave);
    for (const QRect& dirty : event->region()) {
        const QRect area = dirty & keyboardArea;
        if (area.isEmpty())
            continue;
        p.setClipRect(area);
        for (int i = 0; i < kOctaveCount; ++i) {
            const QRect picture(originX_ + i * kOctaveWidth, kViewOriginY, kOctaveWidth,
                                kOctaveHeight);
            if (picture.intersects(area))
                p.drawPixmap(picture.topLeft(), octave);
        }
        // White keys first: their images leave the black keys' places transparent, so the
        // order only matters for speed, not for the picture.
        for (int key = 0; key < kKeyCount; ++key) {
            if (!pressed_[static_cast<std::size_t>(key)])
                continue;
            const QRect r = keyRect(key);
            if (r.intersects(area))
                p.drawPixmap(r.topLeft(), keyImage(keyShape(key), true));
        }
        p.setPen(QPen(palette::kLingeringOutline, 1));
        p.setBrush(palette::kLingeringMark);
        for (std::size_t key = 0; key < lingering_.size(); ++key) {
            if (!lingering_.test(key))
                continue;
            const QRect mark = lingeringMarkRect(static_cast<int>(key));
            if (mark.intersects(area))
                p.drawEllipse(mark.adjusted(0, 0, -1, -1));
        }
        p.setBrush(Qt::NoBrush);
    }

    p.setClipRegion(event->region() & keyboardArea);
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
