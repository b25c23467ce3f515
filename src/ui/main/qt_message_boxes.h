#pragma once

#include <QString>

#include "model/message_boxes.h"

class QWidget;

namespace tarvelo::ui {

// The program's fixed message boxes as modal QMessageBoxes over a parent window; an Ok box with a
// text of many lines (every problem of a set list) scrolls its text in a box of its own size.
// User-interface thread only.
class QtMessageBoxes final : public MessageBoxes {
  public:
    explicit QtMessageBoxes(QWidget* parent) : parent_(parent) {}
    MessageAnswer show(std::string_view text, std::string_view caption, MessageButtons buttons,
                       MessageIcon icon) override;

    // The caption of a box without one of its own: the program file's name without extension.
    static QString applicationTitle();

  private:
    QWidget* parent_;
};

}  // namespace tarvelo::ui
