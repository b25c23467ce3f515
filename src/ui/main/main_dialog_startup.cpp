// The main window's start-up, step by step in its fixed order.

#include <QCheckBox>
#include <QComboBox>
#include <QScrollBar>
#include <QTimer>

#include "model/recovery_file.h"
#include "ui/controls/stylish_button.h"
#include "ui/controls/stylish_check_button.h"
#include "ui/main/band_strip_view.h"
#include "ui/main/keyboard_view.h"
#include "ui/main/main_dialog.h"
#include "ui/main/property_panel.h"
#include "ui/main/property_panel_logic.h"
#include "ui/resources/bitmaps.h"

namespace tarvelo::ui {

namespace {

// The fixed-pitch Japanese face the band names are written in, 15 pixels from top of the
// ascent to the bottom of the descent.
QFont makeBandFont() {
    QFont font(QStringLiteral("IPAGothic"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(15);
    font.setWeight(QFont::Normal);
    font.setStyleStrategy(QFont::PreferQuality);
    return font;
}

}  // namespace

bool CMainDialog::initialize() {
    loadReferenceFiles();

    // Button images in the order normal, pressed, hover, disabled (the split toggle: unchecked,
    // checked, unchecked with hover, checked with hover, disabled).
    using enum BitmapId;
    join_->setup(JoinNormal, JoinPressed, JoinHover, JoinDisabled);
    // The file buttons are never disabled; their disabled slot repeats another image.
    new_->setup(NewNormal, NewPressed, NewHover, NewNormal);
    open_->setup(OpenNormal, OpenPressed, OpenHover, OpenPressed);
    save_->setup(SaveNormal, SavePressed, SaveHover, SavePressed);
    saveAs_->setup(SaveAsNormal, SaveAsPressed, SaveAsHover, SaveAsPressed);
    split_->setup(SplitNormal, SplitChecked, SplitHover, SplitCheckedHover, SplitDisabled);

    // The first transfer of the members to the controls.
    panel_->hexBox()->setChecked(true);
    panel_->channelMessageBox()->setChecked(false);
    hook_->setChecked(false);

    strip_->setFont(makeBandFont());

    // The About entry is offered by the context menu and F1 (set up with the controls).
    setWindowIcon(applicationIcon());

    stripWidth_ = keyboard_->width();
    startKey_ = kStartKey;

    checkDevices();
    fillDeviceBoxes();
    connect(relistTimer_, &QTimer::timeout, this, [this] {
        session_.followDevices();
        scheduleRelisting();
    });
    scheduleRelisting();
    setUpToolTips();

    scrollBar_->setRange(0, kScrollMaximum);
    scroll_.originX = 1 - (startKey_ / 12) * kOctaveWidth;
    scroll_.position = startKey_ * 7 / 12;
    scrollBar_->setValue(scroll_.position);
    keyboard_->setViewOrigin(scroll_.originX);

    panel_->channelSpin()->setRange(1, 16);
    panel_->channelSpin()->setValue(1);
    panel_->noteShiftSpin()->setRange(-128, 128);
    panel_->noteShiftSpin()->setValue(0);
    panel_->rangeLowSpin()->setRange(0, 127);
    panel_->rangeHighSpin()->setRange(0, 127);

    // Computer-keyboard play starts switched off; its layout was filled when it was built.
    hook_->setChecked(false);
    keyPlay_.setHook(false);

    files_.initialize();
    drawKeyboard();
    if (!closedAtStartUp_)
        offerRecoveredArrangement();
    return !closedAtStartUp_;
}

void CMainDialog::offerRecoveredArrangement() {
    if (services_.recoveryDirectory.empty())
        return;
    // Moved aside first, so that it is offered once and never overwritten by the next stop.
    const std::optional<std::filesystem::path> kept = takeRecoveryFile(services_.recoveryDirectory);
    if (!kept)
        return;
    const std::string text =
        "前回の終了時に保存されていなかった配置を次のファイルに残しました。\n" + kept->string() +
        "\n開きますか？";
    if (boxes_.show(text, "Tarvelo", MessageButtons::YesNoCancel, MessageIcon::Information) ==
        MessageAnswer::Yes) {
        files_.openPath(kept->string());
    }
}

bool CMainDialog::openAtStartUp(const std::string& path, int song) {
    show();
    // The Open dialog hands over full paths; so does the command line, whatever directory the
    // program was started in.
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    if (!files_.openPath(error ? path : full.string()))
        return false;
    if (song < 0)
        return true;
    if (!session_.playingSetList()) {
        boxes_.show("--song はセットリストを開くときにだけ使えます。", "", MessageButtons::Ok,
                    MessageIcon::Warning);
    } else if (song >= session_.songCount()) {
        boxes_.show("セットリストには " + std::to_string(session_.songCount()) +
                        " 曲しかありません。最初の曲で始めます。",
                    "", MessageButtons::Ok, MessageIcon::Warning);
    } else {
        session_.selectSong(song);
    }
    return true;
}

void CMainDialog::loadReferenceFiles() {
    auto locate = [this](std::string_view name) {
        return services_.referenceFile ? services_.referenceFile(name) : findReferenceFile(name);
    };
    if (!reference_.LoadMidiMessageReference(locate("midi_msg.mdr"))) {
        boxes_.show("Error : LoadMidiMessageReference", "", MessageButtons::Ok, MessageIcon::None);
    }
    if (!reference_.LoadControlChangeReference(locate("cc.mdr"))) {
        boxes_.show("Error : LoadControlChangeReference", "", MessageButtons::Ok,
                    MessageIcon::None);
    }
}

void CMainDialog::checkDevices() {
    // Lists the devices once; the lists stay as they are until the next new arrangement or load.
    session_.listDevices();
    // Each warning asks the window to close; closing does not prompt, as nothing was changed
    // yet, and start-up still runs to its end.
    if (session_.devices().inputCount() == 0) {
        boxes_.show("有効なMIDI INデバイスが一つもありません", "警告", MessageButtons::Ok,
                    MessageIcon::None);
        if (files_.close())
            closedAtStartUp_ = true;
    }
    if (session_.devices().outputCount() == 0) {
        boxes_.show("有効なMIDI OUTデバイスが一つもありません", "警告", MessageButtons::Ok,
                    MessageIcon::None);
        if (files_.close())
            closedAtStartUp_ = true;
    }
}

void CMainDialog::fillDeviceBoxes() {
    {
        const QSignalBlocker block(inputBox_);
        inputBox_->clear();
        for (const std::string& entry : deviceBoxEntries(session_.devices(), false))
            inputBox_->addItem(QString::fromStdString(entry));
        inputBox_->setCurrentIndex(inputBox_->count() > 0 ? 0 : -1);
    }
    panel_->setOutputDevices(deviceBoxEntries(session_.devices(), true));
}

void CMainDialog::setUpToolTips() {
    strip_->setToolTip(QStringLiteral("分割帯"));
    join_->setToolTip(QStringLiteral("結合"));
    split_->setToolTip(QStringLiteral("分割"));
    new_->setToolTip(QStringLiteral("新規作成"));
    open_->setToolTip(QStringLiteral("開く"));
    save_->setToolTip(QStringLiteral("保存"));
    saveAs_->setToolTip(QStringLiteral("名前をつけて保存"));
    panic_->setToolTip(QStringLiteral("すべての出力の音を止める (Pause キー)"));
    panicTrigger_->setToolTip(QStringLiteral("入力のどのコントロールチェンジでパニックするか"));
}

}  // namespace tarvelo::ui
