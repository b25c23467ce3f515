#include "ui/main/band_editing.h"

#include "ui/controls/stylish_button.h"
#include "ui/main/band_strip_view.h"
#include "ui/main/keyboard_geometry.h"
#include "ui/main/main_dialog.h"

namespace tarvelo::ui {

namespace {

std::optional<Qt::CursorShape> cursorShape(StripCursor cursor) {
    switch (cursor) {
        case StripCursor::ResizeHorizontal:
            return Qt::SizeHorCursor;
        case StripCursor::NotAllowed:
            return Qt::ForbiddenCursor;
        case StripCursor::UpArrow:
            return Qt::UpArrowCursor;
        case StripCursor::Default:
            break;
    }
    return std::nullopt;
}

}  // namespace

BandEditing::BandEditing(CMainDialog& window, LiveSession& session, BandSelection& selection,
                         MessageBoxes& boxes, std::function<void()> markModified, int stripWidth)
    : window_(window),
      controller_(session, selection, boxes, *this, std::move(markModified), stripWidth) {}

StripHit BandEditing::hitAt(int stripX) const {
    const int originX = window_.viewOriginX();
    // During a drag the bands are where the preview has them.
    const std::vector<Part>& parts = controller_.displayedParts();
    const Boundary boundary = boundaryAt(originX, stripX);
    StripHit hit;
    hit.x = stripX;
    hit.band = bandAtStripX(originX, parts, stripX);
    hit.boundary = BoundaryHit{boundary.x, boundary.shape, boundary.key};
    hit.hoveredBoundary = hoveredBoundary(originX, parts, stripX);
    return hit;
}

int BandEditing::stripXOf(QPoint windowPos) const {
    return windowPos.x() - window_.bandStrip()->x();
}

void BandEditing::mousePressed(const PictureMouseEvent& event) {
    if (event.button != Qt::LeftButton)
        return;
    QPoint local;
    switch (window_.areaAt(event.pos, &local)) {
        case PictureArea::BandStrip:
            controller_.pressStrip(hitAt(local.x()), event.modifiers.testFlag(Qt::ControlModifier));
            break;
        case PictureArea::Keyboard: {
            const int originX = window_.viewOriginX();
            const int key = keyAtPoint(originX, window_.viewOriginY(), local.x(), local.y());
            // The band is the one above the mouse in the strip, not the one owning the key.
            const int band = bandAtStripX(originX, controller_.displayedParts(), local.x());
            controller_.pressKeyboard(key, band);
            break;
        }
        case PictureArea::Outside:
            break;
    }
}

void BandEditing::mouseMoved(const PictureMouseEvent& event) {
    controller_.mouseMove(hitAt(stripXOf(event.pos)));
}

void BandEditing::mouseReleased(const PictureMouseEvent& event) {
    if (event.button != Qt::LeftButton)
        return;
    controller_.release(event.modifiers.testFlag(Qt::ShiftModifier));
}

std::optional<Qt::CursorShape> BandEditing::cursorAt(QPoint pos) {
    const bool overStrip = window_.areaAt(pos) == PictureArea::BandStrip;
    return cursorShape(controller_.cursor(overStrip, hitAt(stripXOf(pos))));
}

void BandEditing::setSplitMode(bool on) {
    // The toggle reports its press and its release; only a change counts.
    if (on != controller_.splitMode())
        controller_.setSplitMode(on);
}

void BandEditing::drawBands(const std::vector<Part>& parts) {
    window_.drawBands(parts);
}

void BandEditing::drawKeyboard() {
    window_.drawKeyboard();
}

void BandEditing::drawBoundaryMarker(int x, BoundaryShape shape, bool visible) {
    window_.drawBoundaryMarker(x, shape, visible);
}

void BandEditing::drawGuideLine(int stripX) {
    window_.drawGuideLine(stripX);
}

void BandEditing::showBand(int part) {
    window_.showBand(part);
}

void BandEditing::showBandRange(int lowKey, int highKey) {
    window_.showBandRange(lowKey, highKey);
}

void BandEditing::setJoinEnabled(bool enabled) {
    window_.joinButton()->setEnabled(enabled);
}

}  // namespace tarvelo::ui
