#pragma once

#include <QComboBox>

namespace tarvelo::ui {

// A drop-down list that sits on a list cell and reports when its drop-down closes, whether an
// item was chosen or not: the owner acts on the selection at that moment. The wheel is ignored,
// so that turning it over the list never changes a choice the user did not open.
class CCellComboBox : public QComboBox {
    Q_OBJECT

  public:
    explicit CCellComboBox(QWidget* parent = nullptr);

    // Opens the drop-down at least as wide as its longest item, since the box itself is only as
    // wide as its cell.
    void showPopup() override;

  signals:
    // User-interface thread, from the event loop after the drop-down has been hidden and the
    // chosen item (if any) has become the current index.
    void closedUp();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    QWidget* popup_ = nullptr;
};

}  // namespace tarvelo::ui
