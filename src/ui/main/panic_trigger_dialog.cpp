#include "ui/main/panic_trigger_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "reference/midi_reference.h"
#include "ui/controls/ui_look.h"
#include "ui/main/dialog_layout.h"

namespace tarvelo::ui {

std::string panicTriggerCaption(const PanicTrigger& trigger) {
    std::string caption = "ﾊﾟﾆｯｸCC : ";
    if (!trigger.enabled())
        return caption + "なし";
    return caption + std::to_string(trigger.controller) + "=" + std::to_string(trigger.value);
}

PanicTriggerDialog::PanicTriggerDialog(const MidiReference& reference, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("パニックのコントローラ"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(dluToPixels(200), dluToPixels(96));
    setFont(japaneseUiFont());

    auto* about = new QLabel(QStringLiteral("入力デバイスからこのコントロールチェンジが届くと、\n"
                                            "すべての出力の音を止めます。"),
                             this);
    about->setWordWrap(true);
    placeControl(about, dluRect(7, 7, 186, 18));

    on_ = new QCheckBox(QStringLiteral("コントローラでパニック"), this);
    on_->setObjectName(QStringLiteral("panicTriggerOn"));
    placeControl(on_, dluRect(7, 29, 150, 10));

    addLabel(this, QStringLiteral("コントローラ :"), dluRect(17, 45, 45, 8));
    controller_ = new QComboBox(this);
    controller_->setObjectName(QStringLiteral("panicController"));
    for (int n = 0; n < MidiReference::kControllerCount; ++n) {
        QString entry = QString::number(n);
        if (n < reference.controllerCount())
            entry += QLatin1Char(' ') + QString::fromStdString(reference.controller(n).name);
        controller_->addItem(entry);
    }
    controller_->setMaxVisibleItems(16);
    placeControl(controller_, dluRect(65, 43, 128, 12));

    addLabel(this, QStringLiteral("値 :"), dluRect(17, 61, 45, 8));
    value_ = new QSpinBox(this);
    value_->setObjectName(QStringLiteral("panicValue"));
    value_->setRange(0, 127);
    placeControl(value_, dluRect(65, 59, 40, 12));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    placeControl(ok, dluRect(89, 76, 50, 14));
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    placeControl(cancel, dluRect(143, 76, 50, 14));

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(on_, &QCheckBox::toggled, this, &PanicTriggerDialog::enableChoice);
    setTrigger(PanicTrigger{});
}

void PanicTriggerDialog::setTrigger(const PanicTrigger& trigger) {
    on_->setChecked(trigger.enabled());
    // Off, the choice shows the default value and no particular controller.
    controller_->setCurrentIndex(trigger.enabled() ? trigger.controller : 0);
    value_->setValue(trigger.enabled() ? trigger.value : PanicTrigger{}.value);
    enableChoice();
}

PanicTrigger PanicTriggerDialog::trigger() const {
    if (!on_->isChecked())
        return PanicTrigger{};
    return PanicTrigger{.controller = controller_->currentIndex(), .value = value_->value()};
}

void PanicTriggerDialog::enableChoice() {
    controller_->setEnabled(on_->isChecked());
    value_->setEnabled(on_->isChecked());
}

}  // namespace tarvelo::ui
