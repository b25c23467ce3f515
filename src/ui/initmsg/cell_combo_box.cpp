#include "ui/initmsg/cell_combo_box.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace tarvelo::ui {

CCellComboBox::CCellComboBox(QWidget* parent) : QComboBox(parent) {
    // Styles that open the list as a menu over the box (Fusion among them) ignore
    // maxVisibleItems and grow it to the screen's height; the plain list form keeps the limit.
    setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    // The drop-down is hidden through hidePopup(), by Escape or by a click elsewhere; watching its
    // window catches all of them. Qt hides it before it sets the chosen item, so the notice is
    // queued to come after.
    popup_ = view()->window();
    popup_->installEventFilter(this);
}

bool CCellComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == popup_ && event->type() == QEvent::Hide) {
        QMetaObject::invokeMethod(this, &CCellComboBox::closedUp, Qt::QueuedConnection);
    }
    return QComboBox::eventFilter(watched, event);
}

void CCellComboBox::showPopup() {
    QAbstractItemView* list = view();
    const int scrollBar = list->verticalScrollBar()->sizeHint().width();
    list->setMinimumWidth(list->sizeHintForColumn(0) + scrollBar + 2 * list->frameWidth());
    QComboBox::showPopup();
}

void CCellComboBox::wheelEvent(QWheelEvent* event) {
    event->accept();
}

}  // namespace tarvelo::ui
