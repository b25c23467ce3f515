#pragma once

#include <QDialog>
#include <string>

#include "model/panic_trigger.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace tarvelo {
class MidiReference;
}

namespace tarvelo::ui {

// What the window's panic-controller button says: "ﾊﾟﾆｯｸCC : なし" while off, else the controller
// and the value that ask for the panic, in decimal ("ﾊﾟﾆｯｸCC : 120=127"). UTF-8.
std::string panicTriggerCaption(const PanicTrigger& trigger);

// "パニックのコントローラ": whether a control change on the input asks for the panic, and which
// one (controller number and exact value). Closes with OK (accepted) or Cancel, Escape or the
// close box. User-interface thread only.
class PanicTriggerDialog : public QDialog {
    Q_OBJECT

  public:
    // Named by reference's controller table when it has one. reference must outlive the dialog.
    PanicTriggerDialog(const MidiReference& reference, QWidget* parent = nullptr);

    void setTrigger(const PanicTrigger& trigger);
    // What the controls say; PanicTrigger{} (off) while the check box is clear.
    PanicTrigger trigger() const;

  private:
    void enableChoice();

    QCheckBox* on_;
    QComboBox* controller_;
    QSpinBox* value_;
};

}  // namespace tarvelo::ui
