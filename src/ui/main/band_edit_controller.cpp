#include "ui/main/band_edit_controller.h"

#include "model/message_boxes.h"
#include "session/live_session.h"
#include "ui/main/band_selection.h"

namespace tarvelo::ui {

BandEditController::BandEditController(LiveSession& session, BandSelection& selection,
                                       MessageBoxes& boxes, BandEditView& view,
                                       std::function<void()> markModified, int stripWidth)
    : session_(session),
      selection_(selection),
      boxes_(boxes),
      view_(view),
      markModified_(std::move(markModified)),
      stripWidth_(stripWidth) {}

void BandEditController::markModified() const {
    if (markModified_)
        markModified_();
}

int BandEditController::validBand(int band) const {
    return band >= 0 && band < session_.parts().partCount() ? band : -1;
}

const std::vector<Part>& BandEditController::displayedParts() const {
    return dragging_ ? preview_ : session_.parts().parts();
}

void BandEditController::drawKeyboard() {
    view_.drawKeyboard();
    lastMarker_.reset();
}

void BandEditController::pressStrip(const StripHit& hit, bool ctrl) {
    // A drag whose release never arrived ends before anything else happens.
    if (dragging_)
        endDrag();
    hovered_ = hit.hoveredBoundary;
    if (hovered_ == -1) {
        if (splitMode_) {
            clickSplit(hit);
        } else {
            clickBand(hit, ctrl);
        }
    } else if (!splitMode_) {
        startDrag(hovered_);
    }
}

void BandEditController::clickBand(const StripHit& hit, bool ctrl) {
    const int band = validBand(hit.band);
    if (band < 0) {
        boxes_.show(kPickBandText, {}, MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    if (!ctrl)
        selection_.clear();
    selection_.toggle(band);
    view_.setJoinEnabled(selection_.contiguous());
    view_.drawBands(session_.parts().parts());
    view_.showBand(selection_.current());
}

void BandEditController::clickSplit(const StripHit& hit) {
    const int band = validBand(hit.band);
    if (band < 0) {
        boxes_.show(kPickBandText, {}, MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    const Part& p = session_.parts().partAt(band);
    const int key = hit.boundary.key;
    // Both halves keep at least one key.
    if (key <= p.lowKey || key > p.highKey)
        return;
    markModified();
    session_.split(band, key);
    view_.showBand(selection_.current());
    view_.drawBands(session_.parts().parts());
    // The strip was drawn without the guide line; the next move shows the preview again.
    lastPreviewKey_ = -1;
}

void BandEditController::startDrag(int boundary) {
    if (boundary < 0 || boundary + 1 >= session_.parts().partCount())
        return;
    dragging_ = true;
    dragBoundary_ = boundary;
    dragMoved_ = false;
    preview_ = session_.parts().parts();
}

void BandEditController::dragTo(const StripHit& hit) {
    Part& lower = preview_[static_cast<std::size_t>(dragBoundary_)];
    Part& upper = preview_[static_cast<std::size_t>(dragBoundary_ + 1)];
    const int key = hit.boundary.key;
    // Past the point where either band would be empty, the boundary stays where it is.
    if (key <= lower.lowKey || key > upper.highKey)
        return;
    if (key == upper.lowKey && lastMarker_ == hit.boundary)
        return;  // still within the same boundary column: nothing to redraw
    if (key != upper.lowKey && !dragMoved_) {
        // The title shows the change as soon as the strip does, not only at the release.
        dragMoved_ = true;
        markModified();
    }
    lower.highKey = static_cast<std::uint8_t>(key - 1);
    upper.lowKey = static_cast<std::uint8_t>(key);

    view_.drawBands(preview_);
    if (lastMarker_)
        view_.drawBoundaryMarker(lastMarker_->x, lastMarker_->shape, false);
    view_.drawBoundaryMarker(hit.boundary.x, hit.boundary.shape, true);
    lastMarker_ = hit.boundary;

    // The current band need not be one of the two; its range is shown as the preview has it.
    const int current = selection_.current();
    if (current >= 0 && current < static_cast<int>(preview_.size())) {
        const Part& shown = preview_[static_cast<std::size_t>(current)];
        view_.showBandRange(shown.lowKey, shown.highKey);
    }
}

void BandEditController::endDrag() {
    dragging_ = false;
    if (dragMoved_) {
        // The one commit of the drag.
        const Part& lower = preview_[static_cast<std::size_t>(dragBoundary_)];
        session_.setRange(dragBoundary_, lower.lowKey, lower.highKey);
    }
    preview_.clear();
    dragMoved_ = false;
    view_.drawBands(session_.parts().parts());
    drawKeyboard();
}

void BandEditController::previewSplit(const StripHit& hit) {
    if (hit.boundary.key == lastPreviewKey_)
        return;  // within the same boundary column
    drawKeyboard();
    view_.drawBands(session_.parts().parts());
    view_.drawBoundaryMarker(hit.boundary.x, hit.boundary.shape, true);
    lastMarker_ = hit.boundary;
    // The strip shows a boundary at the black key's edge, where the two band areas meet.
    view_.drawGuideLine(stripXOfBoundary(hit.boundary.x, hit.boundary.shape));
    lastPreviewKey_ = hit.boundary.key;
}

void BandEditController::mouseMove(const StripHit& hit) {
    // Beside the strip nothing follows the mouse.
    if (hit.x < 0 || hit.x > stripWidth_)
        return;
    if (splitMode_) {
        previewSplit(hit);
    } else if (dragging_) {
        dragTo(hit);
    }
}

void BandEditController::pressKeyboard(int key, int band) {
    if (dragging_)
        endDrag();
    // The picture's last octave runs past the MIDI keys.
    if (key < 0 || key > 127)
        return;
    const int part = validBand(band);
    session_.notePlayer().startMouseNote(key, part < 0 ? 0 : part);
    pressPlayed_ = true;
}

void BandEditController::release(bool shift) {
    const bool played = pressPlayed_;
    pressPlayed_ = false;
    if (dragging_) {
        endDrag();
        return;
    }
    // With Shift the note keeps sounding until Shift is released.
    if (shift || !played)
        return;
    session_.notePlayer().stopNewestMouseNote();
}

StripCursor BandEditController::cursor(bool overStrip, const StripHit& hit) {
    if (!overStrip)
        return StripCursor::Default;
    if (dragging_)
        return StripCursor::ResizeHorizontal;
    hovered_ = hit.hoveredBoundary;
    if (hovered_ != -1)
        return splitMode_ ? StripCursor::NotAllowed : StripCursor::ResizeHorizontal;
    return splitMode_ ? StripCursor::UpArrow : StripCursor::Default;
}

void BandEditController::join() {
    if (!selection_.contiguous())
        return;
    const int first = selection_.entry(0);
    const int last = selection_.entry(selection_.count() - 1);
    if (first < 0 || last >= session_.parts().partCount())
        return;
    const int current = selection_.current();
    const int keep = current >= first && current <= last ? current : first;
    markModified();
    const int joined = session_.join(first, last, keep);
    selection_.clear();
    selection_.toggle(joined);
    view_.drawBands(session_.parts().parts());
    view_.setJoinEnabled(false);
    view_.showBand(joined);
}

void BandEditController::setSplitMode(bool on) {
    splitMode_ = on;
    if (on)
        return;
    view_.drawBands(session_.parts().parts());
    drawKeyboard();
    lastPreviewKey_ = -1;
}

void BandEditController::resetSelection() {
    dragging_ = false;
    dragMoved_ = false;
    preview_.clear();
    hovered_ = -1;
    // A key held with the mouse keeps its note through a song switch; its release ends it where
    // it began (UiNotePlayer).
    selection_.clear();
    selection_.toggle(0);
    view_.setJoinEnabled(false);
    view_.drawBands(session_.parts().parts());
    view_.showBand(0);
}

}  // namespace tarvelo::ui
