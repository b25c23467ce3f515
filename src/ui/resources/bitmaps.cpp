#include "ui/resources/bitmaps.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <array>

#include "ui/resources/palette.h"

// The icon's drawing lives in the installed SVG, compiled in as a resource of this static library,
// which must be registered by hand (the resource's own initialiser would not be linked in).
// Outside the namespace, as the registration macro requires.
static void initApplicationIconResource() {
    Q_INIT_RESOURCE(application_icon);
}

namespace tarvelo::ui {
namespace {

using namespace palette;

// One octave, with the key of semitone `pressed` (or none, -1) drawn pressed.
QImage drawOctave(int pressed) {
    QImage image(kOctaveWidth, kOctaveHeight, QImage::Format_ARGB32);
    image.fill(kWhiteSurface);
    QPainter p(&image);
    // White keys are 14 pixels apart, whatever black keys lie between them.
    int x = 0;
    for (int s = 0; s < 12; ++s) {
        if (isBlackKey(s))
            continue;
        const bool down = s == pressed;
        p.fillRect(x, 0, kWhiteKeyWidth - 1, kOctaveHeight - 1,
                   down ? kWhiteKeyPressed : kWhiteSurface);
        p.fillRect(x, 59, kWhiteKeyWidth - 1, 4, down ? kWhitePressedShade : kWhiteShade);
        // The line to the next white key.
        p.fillRect(x + kWhiteKeyWidth - 1, 0, 1, kOctaveHeight, kOutline);
        p.fillRect(x, kOctaveHeight - 1, kWhiteKeyWidth, 1, kOutline);
        x += kWhiteKeyWidth;
    }
    for (int s = 0; s < 12; ++s) {
        if (!isBlackKey(s))
            continue;
        const bool down = s == pressed;
        const int bx = keyLayoutOf(s).x;
        p.fillRect(bx, 0, kBlackKeyWidth, kBlackKeyHeight, kOutline);
        p.fillRect(bx + 1, 0, 5, 42, down ? kBlackKeyPressed : kBlackBody);
        p.fillRect(bx + 2, 37, 3, 4, down ? kBlackKeyPressedTip : kBlackTip);
    }
    return image;
}

QImage colourKeyed(QImage image, QRgb key) {
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0x00FFFFFF) == (key & 0x00FFFFFF))
                line[x] = 0;
        }
    }
    return image;
}

// The image of one key cut from a drawn octave: the black keys that overlap a white key's
// columns are left out (transparent), so drawing it never covers a neighbour.
QImage drawKey(int semitone, bool pressed) {
    const QImage octave = drawOctave(pressed ? semitone : -1);
    const int x = keyLayoutOf(semitone).x;
    if (isBlackKey(semitone))
        return octave.copy(x, 0, kBlackKeyWidth, kBlackKeyHeight);
    QImage key = octave.copy(x, 0, kWhiteKeyWidth, kOctaveHeight);
    QPainter p(&key);
    for (int s = 0; s < 12; ++s) {
        if (isBlackKey(s)) {
            p.fillRect(QRect(keyLayoutOf(s).x - x, 0, kBlackKeyWidth, kBlackKeyHeight),
                       kKeyTransparent);
        }
    }
    p.end();
    return colourKeyed(key, kKeyTransparent.rgb());
}

// Tool buttons.

enum class Glyph { New, Open, Save, SaveAs, Join, Split };
enum class Look { Normal, Hover, Pressed, Disabled, Checked, CheckedHover };

struct ButtonImage {
    Glyph glyph;
    Look look;
};

bool buttonImageFor(BitmapId id, ButtonImage& out) {
    switch (id) {
        case BitmapId::SplitNormal:
            out = {Glyph::Split, Look::Normal};
            return true;
        case BitmapId::SplitHover:
            out = {Glyph::Split, Look::Hover};
            return true;
        case BitmapId::SplitChecked:
            out = {Glyph::Split, Look::Checked};
            return true;
        case BitmapId::SplitCheckedHover:
            out = {Glyph::Split, Look::CheckedHover};
            return true;
        case BitmapId::SplitDisabled:
            out = {Glyph::Split, Look::Disabled};
            return true;
        case BitmapId::JoinDisabled:
            out = {Glyph::Join, Look::Disabled};
            return true;
        case BitmapId::JoinHover:
            out = {Glyph::Join, Look::Hover};
            return true;
        case BitmapId::JoinNormal:
            out = {Glyph::Join, Look::Normal};
            return true;
        case BitmapId::JoinPressed:
            out = {Glyph::Join, Look::Pressed};
            return true;
        case BitmapId::SavePressed:
            out = {Glyph::Save, Look::Pressed};
            return true;
        case BitmapId::NewHover:
            out = {Glyph::New, Look::Hover};
            return true;
        case BitmapId::NewNormal:
            out = {Glyph::New, Look::Normal};
            return true;
        case BitmapId::NewPressed:
            out = {Glyph::New, Look::Pressed};
            return true;
        case BitmapId::OpenHover:
            out = {Glyph::Open, Look::Hover};
            return true;
        case BitmapId::OpenNormal:
            out = {Glyph::Open, Look::Normal};
            return true;
        case BitmapId::OpenPressed:
            out = {Glyph::Open, Look::Pressed};
            return true;
        case BitmapId::SaveHover:
            out = {Glyph::Save, Look::Hover};
            return true;
        case BitmapId::SaveNormal:
            out = {Glyph::Save, Look::Normal};
            return true;
        case BitmapId::SaveAsHover:
            out = {Glyph::SaveAs, Look::Hover};
            return true;
        case BitmapId::SaveAsNormal:
            out = {Glyph::SaveAs, Look::Normal};
            return true;
        case BitmapId::SaveAsPressed:
            out = {Glyph::SaveAs, Look::Pressed};
            return true;
        default:
            return false;
    }
}

void drawBand(QPainter& p, const QRectF& r, const QColor& fill, const QColor& outline) {
    p.setPen(QPen(outline, 1));
    p.setBrush(fill);
    p.drawRect(r);
}

// Glyphs are drawn inside x 2..19 so that they stay whole on buttons narrower than 24 pixels.
void drawGlyph(QPainter& p, Glyph glyph) {
    p.setRenderHint(QPainter::Antialiasing, true);
    switch (glyph) {
        case Glyph::New: {
            QPainterPath page;
            page.moveTo(5.5, 3.5);
            page.lineTo(12.5, 3.5);
            page.lineTo(16.5, 7.5);
            page.lineTo(16.5, 19.5);
            page.lineTo(5.5, 19.5);
            page.closeSubpath();
            p.setPen(QPen(QColor(80, 80, 80), 1));
            p.setBrush(QColor(255, 255, 255));
            p.drawPath(page);
            QPainterPath fold;
            fold.moveTo(12.5, 3.5);
            fold.lineTo(12.5, 7.5);
            fold.lineTo(16.5, 7.5);
            p.setBrush(QColor(220, 220, 220));
            p.drawPath(fold);
            p.setPen(QPen(QColor(150, 170, 210), 1));
            for (double y : {10.5, 13.0, 15.5})
                p.drawLine(QPointF(7.5, y), QPointF(14.5, y));
            break;
        }
        case Glyph::Open: {
            p.setPen(QPen(QColor(150, 110, 30), 1));
            p.setBrush(QColor(232, 190, 80));
            QPainterPath back;
            back.moveTo(2.5, 18.5);
            back.lineTo(2.5, 5.5);
            back.lineTo(7.5, 5.5);
            back.lineTo(9.0, 7.5);
            back.lineTo(16.5, 7.5);
            back.lineTo(16.5, 18.5);
            back.closeSubpath();
            p.drawPath(back);
            QPainterPath front;
            front.moveTo(2.5, 18.5);
            front.lineTo(5.5, 10.5);
            front.lineTo(19.5, 10.5);
            front.lineTo(16.5, 18.5);
            front.closeSubpath();
            p.setBrush(QColor(252, 222, 130));
            p.drawPath(front);
            break;
        }
        case Glyph::Save:
        case Glyph::SaveAs: {
            const double w = glyph == Glyph::Save ? 15 : 13;
            p.setPen(QPen(QColor(30, 50, 110), 1));
            p.setBrush(QColor(70, 110, 190));
            p.drawRoundedRect(QRectF(3.5, 3.5, w, 15), 1.5, 1.5);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255));
            p.drawRect(QRectF(6, 4, w - 5, 6));
            p.setBrush(QColor(200, 205, 215));
            p.drawRect(QRectF(7, 13, w - 7, 5));
            p.setBrush(QColor(70, 110, 190));
            p.drawRect(QRectF(w - 1, 14, 2, 3));
            if (glyph == Glyph::SaveAs) {
                // A pencil across the lower right corner.
                p.setPen(QPen(QColor(120, 80, 20), 1));
                p.setBrush(QColor(240, 190, 70));
                QPainterPath pencil;
                pencil.moveTo(11.0, 20.5);
                pencil.lineTo(12.0, 17.0);
                pencil.lineTo(19.0, 10.0);
                pencil.lineTo(21.0, 12.0);
                pencil.lineTo(14.0, 19.0);
                pencil.closeSubpath();
                p.drawPath(pencil);
            }
            break;
        }
        case Glyph::Join: {
            drawBand(p, QRectF(2.5, 3.5, 7, 6), kBandFill, kOutline);
            drawBand(p, QRectF(11.5, 3.5, 7, 6), kBandFill, kOutline);
            p.setPen(Qt::NoPen);
            p.setBrush(kSelectedOutline);
            QPainterPath arrow;
            arrow.moveTo(7.5, 11.0);
            arrow.lineTo(13.5, 11.0);
            arrow.lineTo(10.5, 14.0);
            arrow.closeSubpath();
            p.drawPath(arrow);
            drawBand(p, QRectF(2.5, 14.5, 16, 6), kSelectedFill, kSelectedOutline);
            break;
        }
        case Glyph::Split: {
            drawBand(p, QRectF(2.5, 3.5, 16, 6), kSelectedFill, kSelectedOutline);
            p.setPen(Qt::NoPen);
            p.setBrush(kSelectedOutline);
            QPainterPath arrow;
            arrow.moveTo(7.5, 11.0);
            arrow.lineTo(13.5, 11.0);
            arrow.lineTo(10.5, 14.0);
            arrow.closeSubpath();
            p.drawPath(arrow);
            drawBand(p, QRectF(2.5, 14.5, 7, 6), kBandFill, kOutline);
            drawBand(p, QRectF(11.5, 14.5, 7, 6), kBandFill, kOutline);
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(QPen(kMarkerRed, 1));
            p.drawLine(10, 2, 10, 11);
            break;
        }
    }
}

QImage greyed(QImage image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int g = 128 + qGray(line[x]) / 2;
            line[x] = qRgba(g, g, g, qAlpha(line[x]));
        }
    }
    return image;
}

QImage drawButton(const ButtonImage& spec) {
    QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF frame(0.5, 0.5, 20, 22);
    switch (spec.look) {
        case Look::Hover:
            p.setPen(QPen(kSelectedOutline, 1));
            p.setBrush(QColor(193, 210, 238));
            p.drawRoundedRect(frame, 2, 2);
            break;
        case Look::Pressed:
        case Look::CheckedHover:
            p.setPen(QPen(kSelectedOutline, 1));
            p.setBrush(QColor(152, 181, 226));
            p.drawRoundedRect(frame, 2, 2);
            break;
        case Look::Checked:
            p.setPen(QPen(kSelectedOutline, 1));
            p.setBrush(QColor(225, 230, 240));
            p.drawRoundedRect(frame, 2, 2);
            break;
        case Look::Normal:
        case Look::Disabled:
            break;
    }
    if (spec.look == Look::Pressed || spec.look == Look::Checked ||
        spec.look == Look::CheckedHover) {
        p.translate(1, 1);  // a pushed-in glyph
    }
    if (spec.look == Look::Disabled) {
        QImage glyph(24, 24, QImage::Format_ARGB32_Premultiplied);
        glyph.fill(Qt::transparent);
        QPainter g(&glyph);
        drawGlyph(g, spec.glyph);
        g.end();
        p.drawImage(0, 0, greyed(glyph.convertToFormat(QImage::Format_ARGB32)));
    } else {
        drawGlyph(p, spec.glyph);
    }
    p.end();
    return image;
}

QPixmap drawBitmap(BitmapId id) {
    // Each key image is cut from an octave at a key of its shape: C#, C, D, E.
    switch (id) {
        case BitmapId::Octave:
            return QPixmap::fromImage(drawOctave(-1));
        case BitmapId::BlackReleased:
            return QPixmap::fromImage(drawKey(1, false));
        case BitmapId::BlackPressed:
            return QPixmap::fromImage(drawKey(1, true));
        case BitmapId::WhiteRightReleased:
            return QPixmap::fromImage(drawKey(0, false));
        case BitmapId::WhiteRightPressed:
            return QPixmap::fromImage(drawKey(0, true));
        case BitmapId::WhiteBothReleased:
            return QPixmap::fromImage(drawKey(2, false));
        case BitmapId::WhiteBothPressed:
            return QPixmap::fromImage(drawKey(2, true));
        case BitmapId::WhiteLeftReleased:
            return QPixmap::fromImage(drawKey(4, false));
        case BitmapId::WhiteLeftPressed:
            return QPixmap::fromImage(drawKey(4, true));
        default:
            break;
    }
    ButtonImage button{};
    if (buttonImageFor(id, button))
        return QPixmap::fromImage(drawButton(button));
    return {};
}

}  // namespace

QPixmap resourceBitmap(BitmapId id) {
    static QHash<int, QPixmap> cache;
    const int key = static_cast<int>(id);
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.insert(key, drawBitmap(id));
    return *it;
}

QPixmap keyImage(KeyShape shape, bool pressed) {
    switch (shape) {
        case KeyShape::Black:
            return resourceBitmap(pressed ? BitmapId::BlackPressed : BitmapId::BlackReleased);
        case KeyShape::WhiteBlackRight:
            return resourceBitmap(pressed ? BitmapId::WhiteRightPressed
                                          : BitmapId::WhiteRightReleased);
        case KeyShape::WhiteBlackBoth:
            return resourceBitmap(pressed ? BitmapId::WhiteBothPressed
                                          : BitmapId::WhiteBothReleased);
        case KeyShape::WhiteBlackLeft:
            break;
    }
    return resourceBitmap(pressed ? BitmapId::WhiteLeftPressed : BitmapId::WhiteLeftReleased);
}

QIcon applicationIcon() {
    initApplicationIconResource();
    QSvgRenderer renderer(QStringLiteral(":/icons/tarvelo.svg"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace tarvelo::ui
