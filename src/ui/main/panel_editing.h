#pragma once

#include <QObject>
#include <functional>

#include "ui/main/property_panel_logic.h"

class QComboBox;
class QScrollBar;

namespace tarvelo {
class LiveSession;
}

namespace tarvelo::ui {

class BandSelection;
class CInEdit;
class PropertyPanel;

// What the panel's handlers ask of the window after an edit.
class PanelEditingView {
  public:
    virtual ~PanelEditingView() = default;
    // Fills the panel from Part part.
    virtual void showBand(int part) = 0;
    // Repaints the band strip from the model.
    virtual void drawBands() = 0;
};

// The property panel's handlers: connects its edits, spins, check boxes and the two device boxes
// to PropertyPanelLogic, which changes the current band of the Band selection, and redraws what
// the logic asks for. Filling the panel (show) is not an edit and triggers none of them.
//
// Owned by the main window, which outlives it with every object passed in.
// User-interface thread only.
class PanelEditing : public QObject {
    Q_OBJECT

  public:
    PanelEditing(LiveSession& session, BandSelection& selection, PropertyPanel& panel,
                 QComboBox* inputBox, PanelEditingView& view, std::function<void()> markModified,
                 QObject* parent = nullptr);

    // Fills the panel from Part band.
    void show(int band);

    const PropertyPanelLogic& logic() const { return logic_; }

  private:
    void connectSpin(QScrollBar* spin, PanelSpin which);
    void connectEdit(CInEdit* edit, PanelEdit which);
    void apply(PanelRefresh refresh);
    int current() const;

    BandSelection& selection_;
    PropertyPanel& panel_;
    QComboBox* inputBox_;
    PanelEditingView& view_;
    std::function<void()> markModified_;
    PropertyPanelLogic logic_;
};

}  // namespace tarvelo::ui
