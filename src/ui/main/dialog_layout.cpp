#include "ui/main/dialog_layout.h"

#include <QLabel>
#include <QVariant>
#include <QWidget>

namespace tarvelo::ui {

const char* controlName(int id) {
    namespace id_ = control_id;
    switch (id) {
        case id_::kKeyboard:
            return "keyboard";
        case id_::kChannelEdit:
            return "channelEdit";
        case id_::kNoteShiftEdit:
            return "noteShiftEdit";
        case id_::kRangeLowEdit:
            return "rangeLowEdit";
        case id_::kRangeHighEdit:
            return "rangeHighEdit";
        case id_::kNameEdit:
            return "nameEdit";
        case id_::kKeyboardScroll:
            return "keyboardScroll";
        case id_::kChannelSpin:
            return "channelSpin";
        case id_::kInputDevice:
            return "inputDevice";
        case id_::kNoteShiftSpin:
            return "noteShiftSpin";
        case id_::kBandStrip:
            return "bandStrip";
        case id_::kOutputDevice:
            return "outputDevice";
        case id_::kRangeLowSpin:
            return "rangeLowSpin";
        case id_::kRangeHighSpin:
            return "rangeHighSpin";
        case id_::kJoin:
            return "join";
        case id_::kSplit:
            return "split";
        case id_::kChannelMessage:
            return "channelMessage";
        case id_::kSave:
            return "save";
        case id_::kOpen:
            return "open";
        case id_::kNew:
            return "new";
        case id_::kSaveAs:
            return "saveAs";
        case id_::kOutputLabel:
            return "outputLabel";
        case id_::kKeyboardHook:
            return "keyboardHook";
        case id_::kInitialMessages:
            return "initialMessages";
        case id_::kHexDisplay:
            return "hexDisplay";
        case id_::kExit:
            return "exit";
        case id_::kFollowsPedals:
            return "followsPedals";
        case id_::kFollowsWheels:
            return "followsWheels";
        case id_::kPanic:
            return "panic";
        case id_::kPanicTrigger:
            return "panicTrigger";
        case id_::kAddToSetList:
            return "addToSetList";
        case id_::kSetListView:
            return "setListView";
        default:
            return "";
    }
}

void placeControl(QWidget* control, QRect rect, int id) {
    control->setGeometry(rect);
    if (id != 0) {
        control->setProperty(kControlIdProperty, id);
        control->setObjectName(QString::fromLatin1(controlName(id)));
    }
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
