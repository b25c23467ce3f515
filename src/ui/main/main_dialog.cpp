#include "ui/main/main_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <cstdio>

#include "model/recovery_file.h"
#include "ui/controls/stylish_button.h"
#include "ui/controls/stylish_check_button.h"
#include "ui/controls/ui_look.h"
#include "ui/initmsg/ch_init_dialog.h"
#include "ui/main/about_box.h"
#include "ui/main/band_editing.h"
#include "ui/main/band_strip_view.h"
#include "ui/main/dialog_layout.h"
#include "ui/main/drop_notice.h"
#include "ui/main/key_codes.h"
#include "ui/main/key_play_filter.h"
#include "ui/main/keyboard_view.h"
#include "ui/main/midi_note_pump.h"
#include "ui/main/panic_trigger_dialog.h"
#include "ui/main/property_panel.h"
#include "ui/main/qt_file_dialogs.h"
#include "ui/main/qt_message_boxes.h"

namespace tarvelo::ui {

namespace id = control_id;

namespace {

template <typename Owned, typename Interface>
Interface& chooseService(Interface* given, std::unique_ptr<Interface>& own, QWidget* window) {
    if (given)
        return *given;
    own = std::make_unique<Owned>(window);
    return *own;
}

ScrollCode scrollCodeForAction(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            return ScrollCode::LineLeft;
        case QAbstractSlider::SliderSingleStepAdd:
            return ScrollCode::LineRight;
        case QAbstractSlider::SliderPageStepSub:
            return ScrollCode::PageLeft;
        case QAbstractSlider::SliderPageStepAdd:
            return ScrollCode::PageRight;
        case QAbstractSlider::SliderToMinimum:
            return ScrollCode::Left;
        case QAbstractSlider::SliderToMaximum:
            return ScrollCode::Right;
        case QAbstractSlider::SliderMove:
            return ScrollCode::ThumbTrack;
        default:
            return ScrollCode::EndScroll;
    }
}

}  // namespace

CMainDialog::CMainDialog(MainWindowModel& model, Services services, QWidget* parent)
    : QDialog(parent),
      services_(std::move(services)),
      boxes_(chooseService<QtMessageBoxes>(services_.messageBoxes, ownBoxes_, this)),
      dialogs_(chooseService<QtFileDialogs>(services_.fileDialogs, ownDialogs_, this)),
      session_(model.session),
      reference_(model.reference),
      selection_(model.selection),
      files_(session_, boxes_, dialogs_, *this),
      pump_(new MidiNotePump(session_.mailbox(), session_, this)),
      relistTimer_(new QTimer(this)) {
    session_.attachHost(this);
    setWindowTitle(QStringLiteral("Tarvelo"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(dluToPixels(kMainWindowWidth), dluToPixels(kMainWindowHeight));
    setMouseTracking(true);
    setFont(japaneseUiFont());
    createControls();
    createEditing();
    connectControls();
}

CMainDialog::~CMainDialog() {
    // The pump goes first: nothing may drain into a half-destroyed window.
    delete pump_;
    session_.attachHost(nullptr);
}

void CMainDialog::createControls() {
    // In the window's tab order.
    new_ = new CStylishButton(this);
    placeControl(new_, dluRect(7, 7, 13, 16), id::kNew);
    open_ = new CStylishButton(this);
    placeControl(open_, dluRect(19, 7, 13, 16), id::kOpen);
    save_ = new CStylishButton(this);
    placeControl(save_, dluRect(32, 7, 13, 16), id::kSave);
    saveAs_ = new CStylishButton(this);
    placeControl(saveAs_, dluRect(45, 7, 13, 16), id::kSaveAs);
    for (CStylishButton* b : {new_, open_, save_, saveAs_})
        b->setAutoDefault(false);

    // Ours: the panic button where the eye starts, by the file buttons, and the panic controller
    // beside the input it listens to, both in the row's free room.
    panic_ = new QPushButton(QStringLiteral("パニック"), this);
    placeControl(panic_, dluRect(66, 7, 40, 16), id::kPanic);
    panicTrigger_ = new QPushButton(this);
    placeControl(panicTrigger_, dluRect(200, 7, 68, 16), id::kPanicTrigger);
    for (QPushButton* b : {panic_, panicTrigger_})
        b->setAutoDefault(false);

    addLabel(this, QStringLiteral("入力デバイス :"), dluRect(273, 12, 41, 10));
    inputBox_ = new QComboBox(this);
    QRect inputRect = dluRect(319, 10, 101, 33);
    inputRect.setHeight(std::min(inputRect.height(), inputBox_->sizeHint().height()));
    placeControl(inputBox_, inputRect, id::kInputDevice);

    exit_ = new QPushButton(QStringLiteral("終了(&X)"), this);
    exit_->setDefault(true);
    placeControl(exit_, dluRect(427, 29, 29, 16), id::kExit);

    panel_ = new PropertyPanel(this);

    join_ = new CStylishButton(this);
    join_->setAutoDefault(false);
    placeControl(join_, dluRect(429, 61, 13, 16), id::kJoin);
    split_ = new CStylishCheckButton(this);
    split_->setAutoDefault(false);
    placeControl(split_, dluRect(443, 61, 13, 16), id::kSplit);

    strip_ = new BandStripView(this);
    placeControl(strip_, dluRect(7, 80, 449, 24), id::kBandStrip);
    keyboard_ = new KeyboardView(this);
    placeControl(keyboard_, dluRect(7, 104, 449, 44), id::kKeyboard);

    hook_ = new QCheckBox(QStringLiteral("キーボードフック"), this);
    placeControl(hook_, dluRect(7, 148, 56, 10), id::kKeyboardHook);
    hook_->resize(std::max(hook_->width(), hook_->sizeHint().width()), hook_->height());

    auto* dropNotice = new DropNotice([this] { return session_.droppedMessages(); }, this);
    dropNotice->setGeometry(dluRect(70, 148, 335, 10));

    scrollBar_ = new QScrollBar(Qt::Horizontal, this);
    placeControl(scrollBar_, dluRect(410, 148, 46, 10), id::kKeyboardScroll);
    // One step is one white key; the track and the ends change nothing.
    scrollBar_->setSingleStep(1);
    scrollBar_->setPageStep(1);

    strip_->installEventFilter(this);
    keyboard_->installEventFilter(this);
    createSetListControls();
}

void CMainDialog::createEditing() {
    auto markModified = [this] { setModified(true); };
    initEditor_ = std::make_unique<CChInitDialog>(reference_, boxes_, this);
    initEditor_->setModifiedCallback(markModified);
    bandEditing_ = std::make_unique<BandEditing>(*this, session_, selection_, boxes_, markModified,
                                                 keyboard_->width());
    setPictureMouseHandler(bandEditing_.get());
    panelEditing_ =
        std::make_unique<PanelEditing>(session_, selection_, *panel_, inputBox_,
                                       static_cast<PanelEditingView&>(*this), markModified);
    keyFilter_ = std::make_unique<KeyPlayFilter>(this, keyPlay_);
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(keyFilter_.get());
}

void CMainDialog::connectControls() {
    connect(new_, &QPushButton::clicked, this, [this] { files_.newArrangement(); });
    connect(open_, &QPushButton::clicked, this, [this] { files_.open(); });
    connect(save_, &QPushButton::clicked, this, [this] { files_.save(); });
    connect(saveAs_, &QPushButton::clicked, this, [this] { files_.saveAs(); });
    // The exit button only asks the window to close, exactly as the close box does.
    connect(exit_, &QPushButton::clicked, this,
            [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); });
    // Played notes come in batches, one per display frame; each batch is painted as it ends.
    connect(pump_, &MidiNotePump::notesDrained, keyboard_, &KeyboardView::paintChangedKeys);
    connect(scrollBar_, &QScrollBar::actionTriggered, this, [this](int action) {
        // The slider already shows where the action would go; the view decides where it goes.
        scrollKeyboard(scrollCodeForAction(action), scrollBar_->sliderPosition());
        scrollBar_->setSliderPosition(scroll_.position);
    });
    connect(panic_, &QPushButton::clicked, this, &CMainDialog::panic);
    auto* panicKey = new QShortcut(QKeySequence(kPanicKey), this);
    connect(panicKey, &QShortcut::activated, this, &CMainDialog::panic);
    connect(panicTrigger_, &QPushButton::clicked, this, &CMainDialog::editPanicTrigger);
    connect(join_, &QPushButton::clicked, this, [this] { bandEditing_->join(); });
    connect(split_, &QPushButton::clicked, this,
            [this] { bandEditing_->setSplitMode(split_->checked()); });
    connect(hook_, &QCheckBox::toggled, this, [this](bool on) { keyPlay_.setHook(on); });
    connect(panel_->initialMessagesButton(), &QPushButton::clicked, this,
            &CMainDialog::editInitialMessages);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CMainDialog::openAboutBox);
    connectSetList();
}

PictureArea CMainDialog::areaAt(QPoint windowPos, QPoint* local) const {
    const QPoint inStrip = windowPos - strip_->pos();
    const QPoint inKeyboard = windowPos - keyboard_->pos();
    const PictureArea area =
        tarvelo::ui::areaAt(inStrip.x(), inStrip.y(), inKeyboard.x(), inKeyboard.y(), stripWidth_);
    if (local) {
        *local = area == PictureArea::BandStrip  ? inStrip
                 : area == PictureArea::Keyboard ? inKeyboard
                                                 : windowPos;
    }
    return area;
}

void CMainDialog::drawKeyboard() {
    keyboard_->setViewOrigin(scroll_.originX);
    keyboard_->drawKeyboard();
}

void CMainDialog::drawBands() {
    // A boundary drag shows its preview until the release commits it.
    drawBands(bandEditing_->controller().displayedParts());
}

void CMainDialog::drawBands(const std::vector<Part>& parts) {
    strip_->drawBands(parts, selection_, scroll_.originX, stripWidth_);
}

void CMainDialog::drawGuideLine(int stripX) {
    strip_->drawGuideLine(stripX);
}

void CMainDialog::showKey(PackedMessage message) {
    keyboard_->showKey(message);
}

void CMainDialog::drawBoundaryMarker(int x, BoundaryShape shape, bool visible) {
    keyboard_->drawBoundaryMarker(x, shape, visible);
}

void CMainDialog::showBand(int index) {
    panelEditing_->show(index);
}

void CMainDialog::showBandRange(int lowKey, int highKey) {
    panel_->showRange(lowKey, highKey);
}

void CMainDialog::setModified(bool modified) {
    files_.setModified(modified);
}

void CMainDialog::scrollKeyboard(ScrollCode code, int target) {
    scroll_ = scroll_.scrolled(code, target);
    drawKeyboard();
    drawBands();
    const QSignalBlocker block(scrollBar_);
    scrollBar_->setValue(scroll_.position);
}

void CMainDialog::openAboutBox() {
    AboutBox about(this);
    about.exec();
}

void CMainDialog::editInitialMessages() {
    const int part = selection_.current();
    const int song = session_.currentSong();
    initEditor_->SetPart(session_, part);
    initEditor_->exec();
    // Only this band's list: a walk over all Parts after a load is not restarted. A song switch
    // closed the editor: its list belongs to a song no longer played.
    if (session_.currentSong() == song)
        session_.sendInitialMessages(part);
}

void CMainDialog::panic() {
    session_.panic();
}

void CMainDialog::editPanicTrigger() {
    PanicTriggerDialog dialog(reference_, this);
    dialog.setTrigger(session_.parts().panicTrigger());
    if (dialog.exec() == QDialog::Accepted && dialog.trigger() != session_.parts().panicTrigger()) {
        session_.setPanicTrigger(dialog.trigger());
        setModified(true);
    }
    showPanicTrigger();
}

void CMainDialog::showPanicTrigger() {
    panicTrigger_->setText(
        QString::fromStdString(panicTriggerCaption(session_.parts().panicTrigger())));
}

void CMainDialog::closeEvent(QCloseEvent* event) {
    if (!files_.close()) {
        event->ignore();
        return;
    }
    event->accept();
    QDialog::done(QDialog::Rejected);
}

void CMainDialog::stopBySignal() {
    if (files_.modified()) {
        if (services_.recoveryDirectory.empty()) {
            std::fprintf(stderr, "tarvelo: stopped; the arrangement was not saved\n");
        } else {
            const RecoveryWrite written =
                writeRecoveryFile(services_.recoveryDirectory,
                                  [this](const std::string& path) { return session_.save(path); });
            if (written.error) {
                std::fprintf(stderr, "tarvelo: stopped; %s\n",
                             describeWriteError(written.path.string(), *written.error).c_str());
            } else {
                std::fprintf(stderr, "tarvelo: stopped; the unsaved arrangement is kept in %s\n",
                             written.path.c_str());
            }
        }
    }
    // The recovery file holds one arrangement: other songs of a set list with changes are named.
    for (int song = 0; song < session_.songCount(); ++song) {
        if (song != session_.currentSong() && session_.songModified(song)) {
            std::fprintf(stderr, "tarvelo: stopped; the changes to %s were not saved\n",
                         session_.songInfo(song).path.c_str());
        }
    }
    // The input first, then every output is reset (its held notes released) and closed.
    session_.shutdown();
    QDialog::done(QDialog::Rejected);
}

void CMainDialog::reject() {
    // Escape closes as the close box does, through the save prompt, so no change is lost.
    close();
}

void CMainDialog::contextMenuEvent(QContextMenuEvent* event) {
    // Window managers own the system menu; the About entry lives in the window's own menu.
    QMenu menu(this);
    menu.addAction(AboutBox::kMenuText, this, &CMainDialog::openAboutBox);
    menu.exec(event->globalPos());
}

bool CMainDialog::forwardMouse(QWidget* source, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            break;
        default:
            return false;
    }
    if (!mouseHandler_)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    PictureMouseEvent e;
    e.pos = source == this ? mouse->position().toPoint()
                           : source->mapTo(this, mouse->position().toPoint());
    e.button = mouse->button();
    e.buttons = mouse->buttons();
    e.modifiers = mouse->modifiers();
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            mouseHandler_->mousePressed(e);
            break;
        case QEvent::MouseButtonRelease:
            mouseHandler_->mouseReleased(e);
            break;
        default: {
            mouseHandler_->mouseMoved(e);
            const std::optional<Qt::CursorShape> cursor = mouseHandler_->cursorAt(e.pos);
            if (cursor) {
                strip_->setCursor(*cursor);
            } else {
                strip_->unsetCursor();
            }
            break;
        }
    }
    return true;
}

bool CMainDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == strip_ || watched == keyboard_) {
        if (forwardMouse(static_cast<QWidget*>(watched), event))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CMainDialog::mousePressEvent(QMouseEvent* event) {
    if (!forwardMouse(this, event))
        QDialog::mousePressEvent(event);
}

void CMainDialog::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!forwardMouse(this, event))
        QDialog::mouseDoubleClickEvent(event);
}

void CMainDialog::mouseMoveEvent(QMouseEvent* event) {
    if (!forwardMouse(this, event))
        QDialog::mouseMoveEvent(event);
}

void CMainDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (!forwardMouse(this, event))
        QDialog::mouseReleaseEvent(event);
}

void CMainDialog::noteReceived(PackedMessage message) {
    // Only the note pump's drains deliver these; it asks for the paint when the batch ends.
    keyboard_->showKey(message, KeyboardView::KeyRepaint::OnRequest);
}

void CMainDialog::serverLost() {
    // The devices are closed and wait; the session tries to reach a server again from now on.
    fillDeviceBoxes();
    showBand(selection_.current());
    showNoticeLater("MIDI サーバーとの接続が切れました。デバイスは音を出せません。", "警告",
                    MessageIcon::Warning);
}

void CMainDialog::serverBack() {
    fillDeviceBoxes();
    showBand(selection_.current());
    showNoticeLater(
        "MIDI サーバーにふたたび接続しました。デバイスを開き直し、パート初期情報を送り直します。",
        "情報", MessageIcon::Information);
}

void CMainDialog::devicesChanged(const DeviceListChanges&) {
    // The boxes list every device the arrangement knows, absent ones marked; positions stay.
    fillDeviceBoxes();
    showBand(selection_.current());
}

void CMainDialog::scheduleRelisting() {
    const std::chrono::milliseconds interval = session_.relistInterval();
    if (interval <= std::chrono::milliseconds::zero()) {
        relistTimer_->stop();
        return;
    }
    if (!relistTimer_->isActive() || relistTimer_->intervalAsDuration() != interval)
        relistTimer_->start(interval);
}

void CMainDialog::showNoticeLater(const char* text, const char* caption, MessageIcon icon) {
    QMetaObject::invokeMethod(
        this, [this, text, caption, icon] { boxes_.show(text, caption, MessageButtons::Ok, icon); },
        Qt::QueuedConnection);
}

void CMainDialog::setTitle(std::string_view title) {
    const QString text = QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
    if (text == windowTitle())
        return;
    setWindowTitle(text);
    // The title changes with a song's mark, which the set list's entries show too.
    if (session_.playingSetList())
        showSetList();
}

void CMainDialog::showNewArrangement() {
    // The devices were closed: nothing an earlier song sent still sounds.
    lingering_.clear();
    showSong();
    showLingeringKeys();
}

void CMainDialog::showSong() {
    // New and loading list the devices again (a JACK graph changes while the program runs), so
    // the boxes follow, keeping a box's position equal to the device index.
    fillDeviceBoxes();
    bandEditing_->resetSelection();
    showPanicTrigger();
    showSetList();
}

void CMainDialog::postInitSent(int part) {
    QMetaObject::invokeMethod(
        this, [this, part] { session_.initialMessagesSent(part); }, Qt::QueuedConnection);
}

}  // namespace tarvelo::ui
