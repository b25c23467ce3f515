#include "ui/initmsg/ch_init_dialog.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

#include "model/initial_message_list.h"
#include "model/message_boxes.h"
#include "model/part_list.h"
#include "reference/midi_reference.h"
#include "session/live_session.h"
#include "ui/controls/in_edit.h"
#include "ui/controls/ui_look.h"
#include "ui/initmsg/cell_combo_box.h"
#include "ui/initmsg/dialog_units.h"
#include "ui/initmsg/init_message_text.h"

namespace tarvelo::ui {

namespace {

// The dialog's layout, in dialog units. The combo boxes and the in-place edit have no place of
// their own: they are put on list cells.
constexpr DialogUnitRect kDialogSize{0, 0, 443, 146};
constexpr DialogUnitRect kCloseButtonRect{391, 132, 51, 14};
constexpr DialogUnitRect kListRect{0, 0, 443, 131};
constexpr DialogUnitRect kHexCheckRect{3, 134, 56, 10};
constexpr DialogUnitRect kUpButtonRect{62, 132, 46, 13};
constexpr DialogUnitRect kDownButtonRect{110, 132, 46, 13};

// The drop-down lists open about 115 dialog units tall.
constexpr int kComboVisibleItems = 12;

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

DialogBaseUnits baseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(alphabet / 26 + 1) / 2, metrics.height()};
}

bool isEnter(const QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    return enter && !(event->modifiers() & ~Qt::KeypadModifier);
}

QRect pixelRect(DialogUnitRect dlu, DialogBaseUnits base) {
    const DialogUnitRect px = toPixels(dlu, base);
    return QRect(px.x, px.y, px.width, px.height);
}

}  // namespace

CChInitDialog::CChInitDialog(const MidiReference& reference, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), reference_(reference), boxes_(boxes) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(japaneseUiFont());
    setWindowTitle(QStringLiteral("初期化情報"));
    createControls();
}

CChInitDialog::~CChInitDialog() = default;

void CChInitDialog::createControls() {
    const DialogBaseUnits base = baseUnitsOf(font());

    closeButton_ = new QPushButton(QStringLiteral("閉じる(&C"), this);
    list_ = new CChInitListCtrl(this);
    typeCombo_ = new CCellComboBox(this);
    edit_ = new CInEdit(this);
    controllerCombo_ = new CCellComboBox(this);
    hexCheck_ = new QCheckBox(QStringLiteral("16進数表示"), this);
    upButton_ = new QPushButton(QStringLiteral("↑上へ(&U)"), this);
    downButton_ = new QPushButton(QStringLiteral("↓下へ(&D)"), this);

    closeButton_->setGeometry(pixelRect(kCloseButtonRect, base));
    list_->setGeometry(pixelRect(kListRect, base));
    hexCheck_->setGeometry(pixelRect(kHexCheckRect, base));
    upButton_->setGeometry(pixelRect(kUpButtonRect, base));
    downButton_->setGeometry(pixelRect(kDownButtonRect, base));
    // Positions and sizes are rounded one by one, so a control that ends on the dialog's edge
    // can end a pixel past it: the dialog grows to hold every control whole.
    QSize size = pixelRect(kDialogSize, base).size();
    const QWidget* placed[] = {closeButton_, list_, hexCheck_, upButton_, downButton_};
    for (const QWidget* control : placed) {
        const QRect r = control->geometry();
        size = size.expandedTo(QSize(r.right() + 1, r.bottom() + 1));
    }
    setFixedSize(size);

    // Enter presses a push button only while it has the focus (eventFilter); no button is ever
    // the dialog's default, so Enter elsewhere presses none.
    for (QPushButton* button : {closeButton_, upButton_, downButton_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    edit_->hide();
    // The combo boxes live on the list's cells and scroll with them.
    for (CCellComboBox* combo : {typeCombo_, controllerCombo_}) {
        combo->setParent(list_->viewport());
        combo->setMaxVisibleItems(kComboVisibleItems);
        combo->setFocusPolicy(Qt::StrongFocus);
    }
    controllerCombo_->hide();
    typeCombo_->show();

    setTabOrder(closeButton_, list_);
    setTabOrder(list_, typeCombo_);
    setTabOrder(typeCombo_, edit_);
    setTabOrder(edit_, controllerCombo_);
    setTabOrder(controllerCombo_, hexCheck_);
    setTabOrder(hexCheck_, upButton_);
    setTabOrder(upButton_, downButton_);

    connect(closeButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &CChInitListCtrl::scrolled, this, &CChInitDialog::onListScrolled);
    connect(list_, &CChInitListCtrl::doubleClickedAt, this, &CChInitDialog::onListDoubleClicked);
    connect(list_, &CChInitListCtrl::headerTrackBegan, this, &CChInitDialog::onHeaderTrackBegan);
    connect(list_, &CChInitListCtrl::headerTrackEnded, this, &CChInitDialog::onHeaderTrackEnded);
    connect(list_, &CChInitListCtrl::columnsResized, this, &CChInitDialog::onColumnsResized);
    connect(typeCombo_, &CCellComboBox::closedUp, this, &CChInitDialog::onTypeChosen);
    connect(controllerCombo_, &CCellComboBox::closedUp, this, &CChInitDialog::onControllerChosen);
    connect(edit_, &CInEdit::enterPressed, this, &CChInitDialog::onEditEnter);
    connect(hexCheck_, &QCheckBox::clicked, this, &CChInitDialog::onHexToggled);
    connect(upButton_, &QPushButton::clicked, this, &CChInitDialog::onMoveUp);
    connect(downButton_, &QPushButton::clicked, this, &CChInitDialog::onMoveDown);

    // Delete and Enter are looked at before the widget with the focus gets them (eventFilter).
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
}

void CChInitDialog::SetPart(LiveSession& session, int partIndex) {
    session.messageList(partIndex);  // refuses an index outside the Parts now, not at the run
    session_ = &session;
    partIndex_ = partIndex;
}

void CChInitDialog::accept() {}

void CChInitDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        initDialog();
    }
    QDialog::showEvent(event);
}

void CChInitDialog::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        running_ = false;
        // The Part list may change between runs; the next run looks its list up again.
        messages_ = &unattached_;
    }
    QDialog::hideEvent(event);
}

void CChInitDialog::initDialog() {
    std::string partName;
    std::string deviceName;
    channel_ = 0;
    messages_ = &unattached_;
    if (session_ != nullptr) {
        messages_ = &session_->messageList(partIndex_);
        const Part& part = session_->parts().partAt(partIndex_);
        partName = part.name;
        deviceName = session_->outputDeviceName(partIndex_);
        channel_ = part.channel;
    }

    hexCheck_->setChecked(hexMode_);
    list_->resetColumns();
    list_->horizontalScrollBar()->setValue(0);
    pendingRow_ = -1;
    controllerShown_ = false;

    typeCombo_->clear();
    for (int i = 0; i < reference_.messageCount(); ++i) {
        typeCombo_->addItem(fromUtf8(reference_.message(i).name));
    }
    controllerCombo_->clear();
    for (int n = 0; n < reference_.controllerCount(); ++n) {
        controllerCombo_->addItem(fromUtf8(reference_.controller(n).name));
    }
    typeCombo_->setCurrentIndex(-1);
    controllerCombo_->setCurrentIndex(-1);

    edit_->hide();
    edit_->clear();
    editRow_ = -1;
    editColumn_ = -1;
    controllerCombo_->hide();
    typeCombo_->show();

    list_->setRowCount(0);
    placeComboOnCell(typeCombo_, 0, kColumnType);
    placeComboOnCell(controllerCombo_, 0, kColumnData1);
    RefillList();
    list_->verticalScrollBar()->setValue(0);

    setWindowTitle(fromUtf8(initDialogCaption(partName, deviceName, channel_)));
    closeButton_->setFocus();
    running_ = true;
}

void CChInitDialog::markModified() {
    if (modified_) {
        modified_();
    }
}

void CChInitDialog::RenderRow(int messageIndex, int row) {
    const InitialMessage* message = messages_->at(messageIndex);
    if (message == nullptr) {
        return;
    }
    const std::string name =
        reference_.GetMessageName(message->type, message->status, message->data1);
    const auto cells = rowTexts(*message, name, channel_, hexMode_);
    for (int column = 0; column < kInitColumnCount; ++column) {
        list_->setCellText(row, column, fromUtf8(cells[static_cast<std::size_t>(column)]));
    }
    list_->setCellToolTip(row, kColumnS, fromUtf8(unsendableReason(*message, channel_)));
}

void CChInitDialog::RenderSendMark(int messageIndex, int row) {
    if (const InitialMessage* message = messages_->at(messageIndex)) {
        list_->setCellText(row, kColumnS, fromUtf8(sendMark(*message, channel_)));
        list_->setCellToolTip(row, kColumnS, fromUtf8(unsendableReason(*message, channel_)));
    }
}

void CChInitDialog::RefillList() {
    list_->setRowCount(0);
    list_->insertRow(0);
    const int count = messages_->count();
    for (int i = 0; i < count; ++i) {
        RenderRow(i, i);
        list_->insertRow(i + 1);
        placeComboOnCell(typeCombo_, i + 1, kColumnType);
        typeCombo_->setCurrentIndex(-1);
    }
}

void CChInitDialog::placeComboOnCell(CCellComboBox* combo, int row, int column) {
    combo->setGeometry(list_->cellRect(row, column));
}

void CChInitDialog::placeEditOnCell(int row, int column) {
    // Over the cell, one pixel in from the grid above and below, so that its text sits where
    // the cell's text was.
    const QRect cell = list_->cellRect(row, column);
    const QPoint topLeft = list_->viewport()->mapTo(this, cell.topLeft());
    edit_->setGeometry(topLeft.x(), topLeft.y() + 1, cell.width() + 1,
                       list_->uniformRowHeight() - 2);
    edit_->raise();
}

void CChInitDialog::onListScrolled() {
    if (!typeCombo_->isHidden()) {
        placeComboOnCell(typeCombo_, comboRow(), kColumnType);
    } else if (!controllerCombo_->isHidden()) {
        placeComboOnCell(controllerCombo_, comboRow(), kColumnData1);
    }
}

void CChInitDialog::onHeaderTrackBegan() {
    typeComboWasVisible_ = !typeCombo_->isHidden();
    typeCombo_->hide();
    controllerCombo_->hide();
}

void CChInitDialog::onHeaderTrackEnded() {
    if (typeComboWasVisible_) {
        placeComboOnCell(typeCombo_, comboRow(), kColumnType);
        typeCombo_->show();
    }
    if (controllerShown_) {
        placeComboOnCell(controllerCombo_, comboRow(), kColumnData1);
        controllerCombo_->show();
    }
}

void CChInitDialog::onColumnsResized() {
    if (!typeCombo_->isHidden()) {
        placeComboOnCell(typeCombo_, comboRow(), kColumnType);
    }
    if (!controllerCombo_->isHidden()) {
        placeComboOnCell(controllerCombo_, comboRow(), kColumnData1);
    }
}

void CChInitDialog::onListDoubleClicked(QPoint pos) {
    if (!running_) {
        return;
    }
    const QModelIndex index = list_->indexAt(pos);
    if (!index.isValid()) {
        showError(kNoItemText);
        return;
    }
    const int row = index.row();
    const int column = index.column();
    // The placeholder row has no message: only its Type cell does anything.
    const InitialMessage* message = messages_->at(row);

    if (column == kColumnType) {
        // While a controller is being chosen its row stays the one served.
        if (controllerShown_) {
            return;
        }
        placeComboOnCell(typeCombo_, row, kColumnType);
        typeCombo_->setCurrentIndex(-1);
        pendingRow_ = row;
        return;
    }
    if (column == kColumnStatus || message == nullptr) {
        return;
    }
    if (column == kColumnData1 && isGenericControlChange(*message)) {
        placeComboOnCell(controllerCombo_, row, kColumnData1);
        controllerCombo_->show();
        controllerCombo_->setCurrentIndex(
            message->data1 < controllerCombo_->count() ? message->data1 : -1);
        pendingRow_ = row;
        controllerShown_ = true;
        typeCombo_->hide();
        return;
    }
    edit_->show();
    editRow_ = row;
    editColumn_ = column;
    placeEditOnCell(row, column);
    edit_->setText(list_->cellText(row, column));
    edit_->setFocus();
    edit_->selectAll();
}

void CChInitDialog::onTypeChosen() {
    if (!running_) {
        return;
    }
    markModified();
    const int item = typeCombo_->currentIndex();
    const int row = comboRow();
    if (item < 0 || item >= reference_.messageCount()) {
        return;
    }
    const MessageReferenceEntry& entry = reference_.message(item);
    InitialMessage message;
    message.type = entry.type;
    message.status = entry.status;
    message.data1 = entry.data1;
    message.data2 = entry.data2;
    const bool appended = row >= messages_->count();
    messages_->setOrAppend(row, message);
    const int stored = appended ? messages_->count() - 1 : row;
    markModified();

    RenderRow(stored, stored);
    if (appended) {
        list_->insertRow(list_->rowCount());
    }
    placeComboOnCell(typeCombo_, placeholderRow(), kColumnType);
    typeCombo_->setCurrentIndex(-1);
    pendingRow_ = -1;

    if (isGenericControlChange(message)) {
        placeComboOnCell(controllerCombo_, stored, kColumnData1);
        controllerCombo_->show();
        controllerShown_ = true;
        pendingRow_ = stored;
        typeCombo_->hide();
    }
}

void CChInitDialog::onControllerChosen() {
    if (!running_) {
        return;
    }
    markModified();
    const int controller = controllerCombo_->currentIndex();
    if (controller >= 0) {
        if (InitialMessage* message = messages_->at(pendingRow_)) {
            message->data1 = controller;
            list_->setCellText(pendingRow_, kColumnData1,
                               fromUtf8(formatNumber(controller, hexMode_)));
            RenderSendMark(pendingRow_, pendingRow_);
        }
    }
    controllerCombo_->hide();
    controllerShown_ = false;
    placeComboOnCell(typeCombo_, placeholderRow(), kColumnType);
    typeCombo_->setCurrentIndex(-1);
    typeCombo_->show();
    pendingRow_ = -1;
}

void CChInitDialog::onEditEnter() {
    if (!running_) {
        return;
    }
    markModified();
    InitialMessage* message = messages_->at(editRow_);
    // An edit whose message has been deleted, or one on the S cell, has nothing to store.
    if (message == nullptr || editColumn_ == kColumnS) {
        edit_->hide();
        return;
    }
    const CellEdit parsed = parseCellEdit(edit_->text().toStdString(), hexMode_,
                                          editStoresSysex(*message, editColumn_));
    if (parsed.error == CellEditError::Invalid) {
        showError(kInvalidValueText);
        return;
    }
    if (parsed.error == CellEditError::OutOfRange) {
        showError(kByteRangeText);
        return;
    }
    const std::string shown = storeCellEdit(*message, editColumn_, parsed, hexMode_);
    edit_->hide();
    list_->setCellText(editRow_, editColumn_, fromUtf8(shown));
    RenderSendMark(editRow_, editRow_);
}

void CChInitDialog::onHexToggled() {
    hexMode_ = hexCheck_->isChecked();
    // The refill puts the type combo box back on the placeholder row; a choice made there must
    // then add a message, not replace the row it served before.
    if (!controllerShown_) {
        pendingRow_ = -1;
    }
    RefillList();
}

void CChInitDialog::SwapRows(int a, int b) {
    markModified();
    messages_->swap(a, b);
    RenderRow(a, a);
    RenderRow(b, b);
}

void CChInitDialog::onMoveUp() {
    if (controllerShown_) {
        return;
    }
    const std::vector<int> rows = list_->selectedRowsAscending();
    if (rows.empty()) {
        list_->setFocus();
        return;
    }
    markModified();
    for (const int row : rows) {
        if (row == placeholderRow()) {
            continue;
        }
        // A selection that reaches the top moves nothing from there on.
        if (row == 0) {
            break;
        }
        SwapRows(row, row - 1);
        list_->setRowSelected(row, false);
        list_->setRowSelected(row - 1, true);
        list_->setFocusRow(row - 1);
    }
    list_->setFocus();
}

void CChInitDialog::onMoveDown() {
    if (controllerShown_) {
        return;
    }
    const std::vector<int> rows = list_->selectedRowsAscending();
    if (!rows.empty()) {
        markModified();
    }
    std::vector<int> moving;
    for (const int row : rows) {
        if (row == placeholderRow()) {
            continue;
        }
        // A selection that includes the last message moves nothing.
        if (row == placeholderRow() - 1) {
            moving.clear();
            break;
        }
        moving.push_back(row);
    }
    for (auto it = moving.rbegin(); it != moving.rend(); ++it) {
        SwapRows(*it, *it + 1);
        list_->setRowSelected(*it, false);
        list_->setRowSelected(*it + 1, true);
        list_->setFocusRow(*it + 1);
    }
    list_->setFocus();
}

bool CChInitDialog::onDeleteKey() {
    if (controllerShown_) {
        return true;
    }
    const std::vector<int> rows = list_->selectedRowsAscending();
    if (!rows.empty()) {
        markModified();
    }
    const int placeholder = placeholderRow();
    const int editRowBefore = editRow_;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const int row = *it;
        if (row == placeholder) {
            continue;
        }
        list_->removeRow(row);
        messages_->remove(row);
        // The in-place edit keeps serving its own message, or none once that is gone.
        if (editRow_ == row) {
            editRow_ = -1;
        } else if (editRow_ > row) {
            --editRow_;
        }
    }
    placeComboOnCell(typeCombo_, placeholderRow(), kColumnType);
    typeCombo_->setCurrentIndex(-1);
    pendingRow_ = -1;
    if (editRow_ >= 0 && editRow_ != editRowBefore && !edit_->isHidden()) {
        placeEditOnCell(editRow_, editColumn_);
    }
    list_->viewport()->update();
    return false;
}

bool CChInitDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && running_ && !forwardingDelete_ &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        // Seen before the widget with the focus gets it, whichever that is; afterwards the key
        // goes on as usual (a Delete in the in-place edit also deletes a character there). The
        // event is marked accepted so that it is not offered to the parents a second time.
        if (!onDeleteKey()) {
            forwardingDelete_ = true;
            QCoreApplication::sendEvent(watched, event);
            forwardingDelete_ = false;
        }
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress && isEnter(static_cast<QKeyEvent*>(event))) {
        // A push button with the focus is pressed by Enter, as in any dialog.
        if (auto* button = qobject_cast<QPushButton*>(watched);
            button && button->window() == this) {
            button->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CChInitDialog::keyPressEvent(QKeyEvent* event) {
    // Enter elsewhere is the OK command, which does nothing.
    if (isEnter(event)) {
        return;
    }
    QDialog::keyPressEvent(event);
}

void CChInitDialog::showError(std::string_view text) {
    boxes_.show(text, {}, MessageButtons::Ok, MessageIcon::Warning);
}

}  // namespace tarvelo::ui
