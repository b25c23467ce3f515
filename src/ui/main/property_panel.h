#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "ui/main/property_panel_logic.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QWidget;

namespace tarvelo::ui {

class CInEdit;

// A key number or byte as the panel and the message lists show it: "3Ch" in hexadecimal
// display (upper case, no leading zeros, then h), else "60".
std::string formatNumber(int value, bool hex);

// The part property panel: the group box with the current band's name, output device, channel,
// note shift and key range, the hex display and channel-message boxes, whether the band follows
// the pedals and the wheels, and the initial-message button. It creates its controls on the main
// window at their dialog-unit places and shows what PropertyPanelLogic says a band looks like; what
// the user does with them is handled by PanelEditing. User-interface thread only.
class PropertyPanel : public QObject {
    Q_OBJECT

  public:
    explicit PropertyPanel(QWidget* window);

    // Fills the panel from one band's view, and selects the open input device in inputBox (none
    // when no input is open). Filling is not a user change: no signal that the panel's handlers
    // listen to (textEdited, activated, clicked, actionTriggered) is emitted.
    void show(const PropertyPanelViewState& view, QComboBox* inputBox);

    // Only the range texts and spins, from keys that may not be in the model yet.
    void showRange(int lowKey, int highKey);

    void setOutputDevices(const std::vector<std::string>& names);
    bool hexDisplay() const;

    QGroupBox* group() const { return group_; }
    QLineEdit* nameEdit() const { return name_; }
    CInEdit* rangeLowEdit() const { return rangeLow_; }
    CInEdit* rangeHighEdit() const { return rangeHigh_; }
    CInEdit* channelEdit() const { return channel_; }
    CInEdit* noteShiftEdit() const { return noteShift_; }
    QScrollBar* rangeLowSpin() const { return rangeLowSpin_; }
    QScrollBar* rangeHighSpin() const { return rangeHighSpin_; }
    QScrollBar* channelSpin() const { return channelSpin_; }
    QScrollBar* noteShiftSpin() const { return noteShiftSpin_; }
    QCheckBox* hexBox() const { return hex_; }
    QCheckBox* channelMessageBox() const { return channelMessage_; }
    QCheckBox* followsPedalsBox() const { return followsPedals_; }
    QCheckBox* followsWheelsBox() const { return followsWheels_; }
    QComboBox* outputBox() const { return output_; }
    QPushButton* initialMessagesButton() const { return initialMessages_; }

  private:
    QGroupBox* group_;
    QLineEdit* name_;
    CInEdit* rangeLow_;
    QScrollBar* rangeLowSpin_;
    CInEdit* rangeHigh_;
    QScrollBar* rangeHighSpin_;
    QCheckBox* hex_;
    QCheckBox* channelMessage_;
    QComboBox* output_;
    CInEdit* channel_;
    QScrollBar* channelSpin_;
    CInEdit* noteShift_;
    QScrollBar* noteShiftSpin_;
    QCheckBox* followsPedals_;
    QCheckBox* followsWheels_;
    QPushButton* initialMessages_;
};

}  // namespace tarvelo::ui
