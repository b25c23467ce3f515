#pragma once

#include <QObject>

class QWidget;

namespace tarvelo::ui {

class ComputerKeyboardPlay;

// Hands the main window's key presses and releases to ComputerKeyboardPlay before any of its
// widgets sees them, and drops the keys it takes. Installed on the application, so it also
// catches keys aimed at a focused child control; keys of other windows (the initial-message
// editor, message boxes) pass untouched. When the window stops being the active window, the
// notes its keys hold are ended: their releases would go elsewhere.
//
// User-interface thread only. The window and the player outlive the filter.
class KeyPlayFilter : public QObject {
    Q_OBJECT

  public:
    KeyPlayFilter(QWidget* window, ComputerKeyboardPlay& play, QObject* parent = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool isOurs(QObject* watched) const;
    bool focusInCommitEdit() const;

    QWidget* window_;
    ComputerKeyboardPlay& play_;
};

}  // namespace tarvelo::ui
