#include "ui/main/dialog_layout.h"

#include <QLabel>
#include <QVariant>
#include <QWidget>

namespace tarvelo::ui {

void placeControl(QWidget* control, QRect rect, int id) {
    control->setGeometry(rect);
    if (id != 0)
        control->setProperty(kControlIdProperty, id);
}

QLabel* addLabel(QWidget* parent, const QString& text, QRect rect, int id) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    rect.setWidth(std::max(rect.width(), label->sizeHint().width()));
    rect.setHeight(std::max(rect.height(), label->sizeHint().height()));
    placeControl(label, rect, id);
    return label;
}

QWidget* findControl(const QWidget* window, int id) {
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (child->property(kControlIdProperty).toInt() == id)
            return child;
    }
    return nullptr;
}

}  // namespace tarvelo::ui
