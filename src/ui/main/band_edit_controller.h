#pragma once

// Split-band editing with the mouse, free of Qt: selecting bands, dragging a boundary, splitting
// a band, joining a run of bands, and playing keys of the keyboard picture. The window classifies
// each mouse event with the geometry functions and hands the results here; what is drawn goes
// back through BandEditView.

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "model/part.h"
#include "ui/main/keyboard_geometry.h"

namespace tarvelo {
class LiveSession;
class MessageBoxes;
}  // namespace tarvelo

namespace tarvelo::ui {

class BandSelection;

// The band strip's cursor, for the window to map onto its platform's shapes.
enum class StripCursor {
    Default,           // the ordinary arrow
    ResizeHorizontal,  // over a boundary that can be dragged, and while dragging
    NotAllowed,        // over a boundary in split mode: no split there
    UpArrow,           // inside a band in split mode: a click splits it
};

// A band boundary as the boundary-at-x test gives it.
struct BoundaryHit {
    int x = 0;  // client x of the boundary line (both pictures share it)
    BoundaryShape shape = BoundaryShape::Straight;
    int key = 0;  // the key that starts at the boundary

    bool operator==(const BoundaryHit&) const = default;
};

// What the geometry says about one x of the band strip, computed from the Parts as they are.
struct StripHit {
    int x = 0;                 // band-strip client x
    int band = -1;             // the band strictly containing x, or -1
    BoundaryHit boundary;      // the boundary nearest to x
    int hoveredBoundary = -1;  // the band left of a boundary under x, or -1
};

// Sentence shown when a click in the band strip finds no band.
inline constexpr std::string_view kPickBandText = "分割帯上を指定してください.";

// What band editing asks of the window. Every call draws at once (or schedules it); none calls
// back into the controller.
class BandEditView {
  public:
    virtual ~BandEditView() = default;
    // Composes the band strip from these Parts and the Band selection; removes the guide line.
    // During a boundary drag the Parts are a preview that the model does not hold yet.
    virtual void drawBands(const std::vector<Part>& parts) = 0;
    // The whole keyboard picture, every key released, no boundary marker.
    virtual void drawKeyboard() = 0;
    // Draws (visible) or removes the red marker of one boundary on the keyboard picture.
    virtual void drawBoundaryMarker(int x, BoundaryShape shape, bool visible) = 0;
    // The black guide line of a split preview, at band-strip x, until the next drawBands.
    virtual void drawGuideLine(int stripX) = 0;
    // Fills the property panel from Part part.
    virtual void showBand(int part) = 0;
    // Only the panel's range fields (texts and spins), during a drag.
    virtual void showBandRange(int lowKey, int highKey) = 0;
    virtual void setJoinEnabled(bool enabled) = 0;
};

// The mouse handlers of the band strip and the keyboard picture, and the join and split buttons.
//
//  - A click on a band selects it alone; with Ctrl it is added to the selection or taken out.
//    The join button is enabled exactly while the selection is a run of two or more adjacent
//    bands; join merges them into the current band.
//  - Pressing on a boundary and moving drags it. The drag is a preview: the Parts and the
//    routing table change once, at the release. The modified mark comes with the first step
//    that moves the boundary. A band never shrinks below one key.
//  - In split mode a click inside a band divides it at the nearest key boundary, and moving the
//    mouse previews where.
//  - A press on the keyboard picture plays the key through the band under the mouse until the
//    release; with Shift held at the release the note keeps sounding (the Shift key's release
//    ends such notes; see ComputerKeyboardPlay).
//
// User-interface thread only.
class BandEditController {
  public:
    // Everything passed in must outlive the controller. stripWidth: the width within which mouse
    // moves over the band strip count (the keyboard picture's client width). markModified may be
    // empty.
    BandEditController(LiveSession& session, BandSelection& selection, MessageBoxes& boxes,
                       BandEditView& view, std::function<void()> markModified, int stripWidth);

    // Left button pressed (or double-clicked) over the band strip. ctrl: the Ctrl key is held.
    void pressStrip(const StripHit& hit, bool ctrl);

    // Left button pressed (or double-clicked) over the keyboard picture on key, with band the
    // band under the same x in the strip (-1 for none: the note then plays through Part 0).
    // Keys beyond 127 play nothing.
    void pressKeyboard(int key, int band);

    // The mouse moved anywhere over the window; hit is computed at its band-strip x.
    void mouseMove(const StripHit& hit);

    // Left button released anywhere. shift: the Shift key is held.
    void release(bool shift);

    // The cursor for a mouse position; overStrip: the position lies on the band strip.
    StripCursor cursor(bool overStrip, const StripHit& hit);

    // The join button.
    void join();

    // The split toggle changed; switching it off removes the preview.
    void setSplitMode(bool on);
    bool splitMode() const { return splitMode_; }

    // A new or loaded arrangement, or another song: Band 0 alone selected and shown, a drag in
    // progress dropped, the join button disabled. A key held with the mouse stays held.
    void resetSelection();

    bool dragging() const { return dragging_; }
    int hoveredBoundary() const { return hovered_; }
    // The Parts as the band strip shows them: the drag's preview while dragging, else the model.
    const std::vector<Part>& displayedParts() const;

  private:
    void clickBand(const StripHit& hit, bool ctrl);
    void clickSplit(const StripHit& hit);
    void startDrag(int boundary);
    void dragTo(const StripHit& hit);
    void endDrag();
    void previewSplit(const StripHit& hit);
    void drawKeyboard();
    void markModified() const;
    int validBand(int band) const;

    LiveSession& session_;
    BandSelection& selection_;
    MessageBoxes& boxes_;
    BandEditView& view_;
    std::function<void()> markModified_;
    int stripWidth_;

    bool splitMode_ = false;
    int hovered_ = -1;
    bool dragging_ = false;
    int dragBoundary_ = -1;                  // the band left of the dragged boundary
    bool dragMoved_ = false;                 // a step of the drag was taken
    std::vector<Part> preview_;              // the Parts with the dragged boundary, while dragging
    std::optional<BoundaryHit> lastMarker_;  // the marker on the keyboard picture, if any
    int lastPreviewKey_ = -1;                // the boundary the split preview shows; -1 for none
    bool pressPlayed_ = false;               // the press now held down started a mouse note
};

}  // namespace tarvelo::ui
