#pragma once

#include <QLineEdit>

namespace tarvelo::ui {

// A single-line edit that commits with Enter: the key is taken away from the dialog (no default
// button fires, the edit itself does not see it) and reported as enterPressed(this), so the owner
// can read and apply this one edit's text. Every other key behaves as in a plain QLineEdit, so
// Tab and Escape still reach the dialog.
//
// An owner that filters keys ahead of its widgets (a keyboard-play hook) should let Enter through
// to a focused CInEdit: the edit's commit comes before any window-wide key handling.
class CInEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit CInEdit(QWidget* parent = nullptr);

  signals:
    // User-interface thread, synchronously from the key press: the owner's slot runs before the
    // key event returns.
    void enterPressed(tarvelo::ui::CInEdit* edit);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace tarvelo::ui
