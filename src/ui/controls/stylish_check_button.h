#pragma once

#include <QPixmap>
#include <QPushButton>
#include <array>

namespace tarvelo::ui {

// A flat toggle drawn from five 24 x 24 images: unchecked, checked, each with a hover form, and
// disabled. The state toggles when the left mouse button is pressed on it (not by the keyboard,
// not at the release), and clicked() is emitted right at that press; the release over the button
// emits clicked() once more, as for any push button. Whoever listens reads checked(), which is
// the same both times.
class CStylishCheckButton : public QPushButton {
    Q_OBJECT

  public:
    explicit CStylishCheckButton(QWidget* parent = nullptr);

    // Remembers the image ids in this order. False when one of them is missing.
    bool setup(int unchecked, int checked, int uncheckedHover, int checkedHover, int disabled);

    bool checked() const { return checked_; }
    bool hover() const { return hover_; }
    // The id the last paint drew.
    int paintedImage() const { return painted_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    enum Image { kUnchecked, kChecked, kUncheckedHover, kCheckedHover, kDisabled };
    std::array<int, 5> ids_{-1, -1, -1, -1, -1};
    std::array<QPixmap, 5> images_;
    bool checked_ = false;
    bool hover_ = false;
    int painted_ = -1;
};

}  // namespace tarvelo::ui
