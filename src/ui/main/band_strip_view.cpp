#include "ui/main/band_strip_view.h"

#include <QPainter>

#include "ui/main/keyboard_geometry.h"
#include "ui/resources/palette.h"

namespace tarvelo::ui {

BandStripView::BandStripView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
}

void BandStripView::drawBands(const std::vector<Part>& parts, const BandSelection& selection,
                              int originX, int stripWidth) {
    guideX_.reset();
    strip_ = QPixmap(std::max(stripWidth, 1), kStripHeight);
    strip_.fill(palette::kStripBackground);
    QPainter p(&strip_);
    p.setFont(font());
    const auto& selected = selection.entries();
    std::size_t cursor = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const int left = bandEdge(originX, parts[i].lowKey);
        const int right = bandEdge(originX, parts[i].highKey + 1);
        // The band's rectangle runs from left to right - 2: one pixel of background separates
        // it from the next band.
        const QRect band(left, 0, right - 1 - left, kStripHeight);
        if (cursor < selected.size() && selected[cursor] == static_cast<int>(i)) {
            p.fillRect(band, palette::kSelectedOutline);
            p.fillRect(band.adjusted(2, 2, -2, -2), palette::kSelectedFill);
            ++cursor;
        } else {
            p.fillRect(band, Qt::black);
            p.fillRect(band.adjusted(1, 1, -1, -1), palette::kBandFill);
        }
        const QString name = QString::fromStdString(parts[i].name);
        const QString shown = p.fontMetrics().elidedText(name, Qt::ElideRight, band.width());
        p.setPen(Qt::black);
        p.drawText(band, Qt::AlignCenter | Qt::TextSingleLine, shown);
    }
    p.end();
    update();
}

void BandStripView::drawGuideLine(int x) {
    guideX_ = x;
    update();
}

void BandStripView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(Qt::black);
    p.drawRect(0, 0, width() - 1, height() - 1);
    p.setClipRect(QRect(1, 0, kClipRight - 1, kViewOriginY + 35));
    if (!strip_.isNull())
        p.drawPixmap(0, kViewOriginY, strip_);
    if (guideX_)
        p.drawLine(*guideX_, 1, *guideX_, kStripHeight - 1);
}

}  // namespace tarvelo::ui
