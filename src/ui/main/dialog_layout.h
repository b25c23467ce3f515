#pragma once

#include <QRect>
#include <cmath>

namespace tarvelo::ui {

// The main window is laid out in dialog units at a fixed 1.75 pixels per unit, which makes the
// 449-unit keyboard picture exactly 785 pixels wide: 56 white keys and the line left of them.
// Qt scales the whole window on high-density screens.
inline constexpr double kPixelsPerDialogUnit = 1.75;

constexpr int dluToPixels(int units) {
    return static_cast<int>(units * kPixelsPerDialogUnit);  // floor for the non-negative sizes
}

inline QRect dluRect(int x, int y, int width, int height) {
    return QRect(dluToPixels(x), dluToPixels(y), dluToPixels(width), dluToPixels(height));
}

// The main window's size in dialog units (without the set-list view).
inline constexpr int kMainWindowWidth = 463;
inline constexpr int kMainWindowHeight = 166;

// Control ids of the main window (QObject property "controlId"); each control is also named
// (controlName), which is how tests find it.
namespace control_id {
inline constexpr int kKeyboard = 1004;
inline constexpr int kChannelEdit = 1006;
inline constexpr int kNoteShiftEdit = 1008;
inline constexpr int kRangeLowEdit = 1012;
inline constexpr int kRangeHighEdit = 1013;
inline constexpr int kNameEdit = 1014;
inline constexpr int kKeyboardScroll = 1017;
inline constexpr int kChannelSpin = 1021;
inline constexpr int kInputDevice = 1022;
inline constexpr int kNoteShiftSpin = 1023;
inline constexpr int kBandStrip = 1024;
inline constexpr int kOutputDevice = 1025;
inline constexpr int kRangeLowSpin = 1027;
inline constexpr int kRangeHighSpin = 1028;
inline constexpr int kJoin = 1033;
inline constexpr int kSplit = 1034;
inline constexpr int kChannelMessage = 1035;
inline constexpr int kSave = 1036;
inline constexpr int kOpen = 1037;
inline constexpr int kNew = 1038;
inline constexpr int kSaveAs = 1039;
inline constexpr int kOutputLabel = 1040;
inline constexpr int kKeyboardHook = 1041;
inline constexpr int kInitialMessages = 1055;
inline constexpr int kHexDisplay = 1062;
inline constexpr int kExit = 1063;
// Controls of our own, numbered after the others.
inline constexpr int kFollowsPedals = 1064;
inline constexpr int kFollowsWheels = 1065;
inline constexpr int kPanic = 1066;
inline constexpr int kPanicTrigger = 1067;
// The set list's controls, numbered apart from the others.
inline constexpr int kAddToSetList = 1070;
inline constexpr int kSetListView = 1071;
}  // namespace control_id

inline constexpr const char* kControlIdProperty = "controlId";

// The object name of the main window's control with that id; empty for an id without a control.
const char* controlName(int id);
inline constexpr const char* kPropertyPanelName = "propertyPanel";

}  // namespace tarvelo::ui

class QLabel;
class QString;
class QWidget;

namespace tarvelo::ui {

// Places a control at its dialog-unit rectangle and tags it with its id (0: none).
void placeControl(QWidget* control, QRect rect, int id = 0);

// A static text at its dialog-unit rectangle, widened when the font needs more room than the
// rectangle gives, so no label is cut off.
QLabel* addLabel(QWidget* parent, const QString& text, QRect rect, int id = 0);

// The control with this id among the window's descendants, or null.
QWidget* findControl(const QWidget* window, int id);

}  // namespace tarvelo::ui
