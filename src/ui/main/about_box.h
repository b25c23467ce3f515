#pragma once

#include <QDialog>

namespace tarvelo::ui {

// "バージョン情報 Tarvelo": the icon, "Tarvelo Version 1.0", the licence and OK. Closes with OK or
// Escape.
class AboutBox : public QDialog {
    Q_OBJECT

  public:
    // The text of the window's About entry.
    static const QString kMenuText;

    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace tarvelo::ui
