#include "ui/controls/in_edit.h"

#include <QKeyEvent>

namespace tarvelo::ui {

CInEdit::CInEdit(QWidget* parent) : QLineEdit(parent) {}

void CInEdit::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Alt+Enter is a system key combination, not a commit.
    if (enter && !(event->modifiers() & Qt::AltModifier)) {
        emit enterPressed(this);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

}  // namespace tarvelo::ui
