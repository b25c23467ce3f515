#pragma once

#include <functional>
#include <optional>

#include "ui/main/band_edit_controller.h"
#include "ui/main/picture_mouse.h"

namespace tarvelo {
class LiveSession;
class MessageBoxes;
}  // namespace tarvelo

namespace tarvelo::ui {

class BandSelection;
class CMainDialog;

// The main window's mouse on its two pictures: classifies each event with the geometry of the
// band strip and the keyboard picture at the current view origin and hands it to a
// BandEditController, whose drawing requests go back to the window.
//
// Owned by the window, which outlives it with every object passed in.
// User-interface thread only.
class BandEditing final : public PictureMouseHandler, private BandEditView {
  public:
    BandEditing(CMainDialog& window, LiveSession& session, BandSelection& selection,
                MessageBoxes& boxes, std::function<void()> markModified, int stripWidth);

    // PictureMouseHandler
    void mousePressed(const PictureMouseEvent& event) override;
    void mouseMoved(const PictureMouseEvent& event) override;
    void mouseReleased(const PictureMouseEvent& event) override;
    std::optional<Qt::CursorShape> cursorAt(QPoint pos) override;

    // The join button, the split toggle, and a new or loaded arrangement.
    void join() { controller_.join(); }
    void setSplitMode(bool on);
    void resetSelection() { controller_.resetSelection(); }

    const BandEditController& controller() const { return controller_; }

  private:
    // BandEditView
    void drawBands(const std::vector<Part>& parts) override;
    void drawKeyboard() override;
    void drawBoundaryMarker(int x, BoundaryShape shape, bool visible) override;
    void drawGuideLine(int stripX) override;
    void showBand(int part) override;
    void showBandRange(int lowKey, int highKey) override;
    void setJoinEnabled(bool enabled) override;

    // What the band strip's geometry says about strip x.
    StripHit hitAt(int stripX) const;
    int stripXOf(QPoint windowPos) const;

    CMainDialog& window_;
    BandEditController controller_;
};

}  // namespace tarvelo::ui
