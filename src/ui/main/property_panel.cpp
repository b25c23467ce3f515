#include "ui/main/property_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <cstdio>

#include "ui/controls/in_edit.h"
#include "ui/main/dialog_layout.h"

namespace tarvelo::ui {

namespace id = control_id;

std::string formatNumber(int value, bool hex) {
    char text[16];
    if (hex) {
        std::snprintf(text, sizeof text, "%Xh", static_cast<unsigned>(value));
    } else {
        std::snprintf(text, sizeof text, "%d", value);
    }
    return text;
}

namespace {

QScrollBar* makeSpin(QWidget* window, QRect rect, int controlId) {
    auto* spin = new QScrollBar(Qt::Vertical, window);
    placeControl(spin, rect, controlId);
    return spin;
}

CInEdit* makeEdit(QWidget* window, QRect rect, int controlId) {
    auto* edit = new CInEdit(window);
    placeControl(edit, rect, controlId);
    return edit;
}

// Sets an edit's text without it counting as typed, and only when it differs, so the cursor
// stays put in an edit that already shows the value. A new value shows its start: a long name
// is read from its beginning.
void showText(QLineEdit* edit, const std::string& text) {
    const QString value = QString::fromStdString(text);
    if (edit->text() != value) {
        edit->setText(value);
        edit->setCursorPosition(0);
    }
}

}  // namespace

PropertyPanel::PropertyPanel(QWidget* window) : QObject(window) {
    setObjectName(QString::fromLatin1(kPropertyPanelName));
    // Created in the window's tab order.
    group_ = new QGroupBox(QStringLiteral("ﾊﾟｰﾄプロパティ"), window);
    placeControl(group_, dluRect(7, 25, 415, 52));
    addLabel(window, QStringLiteral("名前 :"), dluRect(19, 40, 19, 8));
    name_ = new QLineEdit(window);
    name_->setMaxLength(256);
    placeControl(name_, dluRect(67, 38, 85, 12), id::kNameEdit);
    addLabel(window, QStringLiteral("範囲 :"), dluRect(187, 39, 19, 8));
    rangeLow_ = makeEdit(window, dluRect(215, 37, 19, 12), id::kRangeLowEdit);
    rangeLowSpin_ = makeSpin(window, dluRect(234, 37, 8, 12), id::kRangeLowSpin);
    addLabel(window, QStringLiteral("～"), dluRect(248, 39, 8, 8));
    rangeHigh_ = makeEdit(window, dluRect(261, 37, 19, 12), id::kRangeHighEdit);
    rangeHighSpin_ = makeSpin(window, dluRect(280, 37, 8, 12), id::kRangeHighSpin);
    hex_ = new QCheckBox(QStringLiteral("16進表示"), window);
    placeControl(hex_, dluRect(295, 39, 40, 10), id::kHexDisplay);
    hex_->setChecked(true);
    channelMessage_ = new QCheckBox(QStringLiteral("ﾁｬﾝﾈﾙﾒｯｾｰｼﾞ"), window);
    placeControl(channelMessage_, dluRect(363, 41, 56, 10), id::kChannelMessage);
    addLabel(window, QStringLiteral("出力デバイス :"), dluRect(19, 57, 41, 8), id::kOutputLabel);
    output_ = new QComboBox(window);
    placeControl(output_, dluRect(67, 53, 110, 12), id::kOutputDevice);
    addLabel(window, QStringLiteral("ﾁｬﾝﾈﾙ :"), dluRect(187, 57, 25, 8));
    channel_ = makeEdit(window, dluRect(215, 56, 19, 12), id::kChannelEdit);
    channelSpin_ = makeSpin(window, dluRect(234, 56, 8, 12), id::kChannelSpin);
    addLabel(window, QStringLiteral("ﾉｰﾄｼﾌﾄ :"), dluRect(249, 57, 27, 8));
    noteShift_ = makeEdit(window, dluRect(279, 56, 24, 12), id::kNoteShiftEdit);
    noteShiftSpin_ = makeSpin(window, dluRect(303, 56, 8, 12), id::kNoteShiftSpin);
    // Ours, in the room the second row leaves between the note shift and the initial-message
    // button, one above the other.
    followsPedals_ = new QCheckBox(QStringLiteral("ﾍﾟﾀﾞﾙ追従"), window);
    placeControl(followsPedals_, dluRect(316, 52, 48, 10), id::kFollowsPedals);
    followsPedals_->setToolTip(QStringLiteral(
        "サステイン・ソステヌート・ソフトペダル (CC 64, 66, 67) をこのパートにも送る"));
    followsWheels_ = new QCheckBox(QStringLiteral("ﾎｲｰﾙ追従"), window);
    placeControl(followsWheels_, dluRect(316, 62, 48, 10), id::kFollowsWheels);
    followsWheels_->setToolTip(QStringLiteral(
        "ピッチベンド・モジュレーション (CC 1)・チャンネルプレッシャーをこのパートにも送る"));
    initialMessages_ = new QPushButton(QStringLiteral("ﾊﾟｰﾄ初期情報"), window);
    initialMessages_->setAutoDefault(false);
    placeControl(initialMessages_, dluRect(366, 55, 50, 15), id::kInitialMessages);
}

bool PropertyPanel::hexDisplay() const {
    return hex_->isChecked();
}

void PropertyPanel::setOutputDevices(const std::vector<std::string>& names) {
    const QSignalBlocker block(output_);
    output_->clear();
    for (const std::string& name : names)
        output_->addItem(QString::fromStdString(name));
}

void PropertyPanel::showRange(int lowKey, int highKey) {
    const bool hex = hexDisplay();
    showText(rangeLow_, formatNumber(lowKey, hex));
    showText(rangeHigh_, formatNumber(highKey, hex));
    const QSignalBlocker b1(rangeLowSpin_), b2(rangeHighSpin_);
    rangeLowSpin_->setValue(lowKey);
    rangeHighSpin_->setValue(highKey);
}

void PropertyPanel::show(const PropertyPanelViewState& view, QComboBox* inputBox) {
    {
        const QSignalBlocker block(inputBox);
        const int input = view.inputDevice;
        inputBox->setCurrentIndex(input >= 0 && input < inputBox->count() ? input : -1);
    }
    showText(channel_, std::to_string(view.channel));
    showText(noteShift_, std::to_string(view.noteShift));
    showText(name_, view.name);
    rangeLow_->setEnabled(view.rangeLowEnabled);
    rangeHigh_->setEnabled(view.rangeHighEnabled);
    showText(rangeLow_, view.rangeLowText);
    showText(rangeHigh_, view.rangeHighText);
    {
        const QSignalBlocker b1(channelSpin_), b2(noteShiftSpin_), b3(rangeLowSpin_),
            b4(rangeHighSpin_);
        channelSpin_->setValue(view.channel);
        noteShiftSpin_->setValue(view.noteShift);
        rangeLowSpin_->setValue(view.rangeLow);
        rangeHighSpin_->setValue(view.rangeHigh);
    }
    {
        const QSignalBlocker block(output_);
        output_->setCurrentIndex(view.outputDevice < output_->count() ? view.outputDevice : -1);
    }
    {
        const QSignalBlocker b1(channelMessage_), b2(hex_), b3(followsPedals_), b4(followsWheels_);
        channelMessage_->setChecked(view.channelMessageTarget);
        hex_->setChecked(view.hexDisplay);
        followsPedals_->setChecked(view.followsPedals);
        followsWheels_->setChecked(view.followsWheels);
    }
}

}  // namespace tarvelo::ui
