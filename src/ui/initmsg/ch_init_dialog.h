#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "model/initial_message_list.h"
#include "ui/initmsg/ch_init_list_ctrl.h"

class QCheckBox;
class QPushButton;

namespace tarvelo {
class MessageBoxes;
class MidiReference;
class LiveSession;
}  // namespace tarvelo

namespace tarvelo::ui {

class CCellComboBox;
class CInEdit;

// The modal editor of one part's initial messages. Every change goes straight into the part's
// InitialMessageList; there is no undo and no cancel, and each editing action calls the modified
// callback. The owner keeps one instance for its whole life and, for each run, calls SetPart and
// then exec(); the dialog closes by its close button, Escape or the close box (never by Enter
// outside a focused push button), and the owner then sends the part's list.
//
// Hex mode (numbers shown and read as hexadecimal) is kept from one run to the next.
// User-interface thread only.
class CChInitDialog : public QDialog {
    Q_OBJECT

  public:
    using ModifiedCallback = std::function<void()>;

    // `reference` and `boxes` must outlive the dialog.
    CChInitDialog(const MidiReference& reference, MessageBoxes& boxes, QWidget* parent = nullptr);
    ~CChInitDialog() override;

    // Points the next run at Part partIndex of `parts`: its list is edited, its name, output
    // device and channel fill the caption, and its channel is added to shown channel statuses.
    // The session must outlive the dialog's runs; the Part is looked up when a run starts.
    // Throws InvalidArgumentError for an index outside the Parts.
    void SetPart(LiveSession& session, int partIndex);

    // Called on every change the user makes (also on attempts that change nothing, as the
    // editor marks the arrangement modified for them too).
    void setModifiedCallback(ModifiedCallback callback) { modified_ = std::move(callback); }

    bool hexMode() const { return hexMode_; }
    int partIndex() const { return partIndex_; }

    // Enter outside the in-place edit is the OK command, which does nothing.
    void accept() override;

    // The controls, for the owner's tests.
    CChInitListCtrl* listCtrl() const { return list_; }
    CCellComboBox* typeCombo() const { return typeCombo_; }
    CCellComboBox* controllerCombo() const { return controllerCombo_; }
    CInEdit* inPlaceEdit() const { return edit_; }
    QCheckBox* hexCheck() const { return hexCheck_; }
    QPushButton* closeButton() const { return closeButton_; }
    QPushButton* upButton() const { return upButton_; }
    QPushButton* downButton() const { return downButton_; }
    bool controllerShown() const { return controllerShown_; }
    // The message row the in-place edit stores into, -1 when it serves none.
    int editRow() const { return editRow_; }
    int editColumn() const { return editColumn_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void initDialog();
    void markModified();

    void RenderRow(int messageIndex, int row);
    // Only the S cell and its tooltip, after a data byte changed in place.
    void RenderSendMark(int messageIndex, int row);
    void RefillList();
    int placeholderRow() const { return list_->rowCount() - 1; }
    int comboRow() const { return pendingRow_ < 0 ? placeholderRow() : pendingRow_; }
    void placeComboOnCell(CCellComboBox* combo, int row, int column);
    void placeEditOnCell(int row, int column);
    void SwapRows(int a, int b);

    void onListScrolled();
    void onHeaderTrackBegan();
    void onHeaderTrackEnded();
    void onColumnsResized();
    void onListDoubleClicked(QPoint pos);
    void onTypeChosen();
    void onControllerChosen();
    void onEditEnter();
    void onHexToggled();
    void onMoveUp();
    void onMoveDown();
    // True when the key must go no further.
    bool onDeleteKey();
    void showError(std::string_view text);

    const MidiReference& reference_;
    MessageBoxes& boxes_;
    ModifiedCallback modified_;

    LiveSession* session_ = nullptr;
    int partIndex_ = -1;
    // The list of the Part at partIndex_ while a run lasts (the Parts do not change under a modal
    // run); outside a run, and in a run without a Part, an empty list of the dialog's own.
    InitialMessageList unattached_;
    InitialMessageList* messages_ = &unattached_;
    int channel_ = 0;

    bool hexMode_ = true;
    bool running_ = false;
    int pendingRow_ = -1;
    bool controllerShown_ = false;
    bool typeComboWasVisible_ = false;
    int editRow_ = -1;
    int editColumn_ = -1;
    bool forwardingDelete_ = false;

    CChInitListCtrl* list_ = nullptr;
    CCellComboBox* typeCombo_ = nullptr;
    CCellComboBox* controllerCombo_ = nullptr;
    CInEdit* edit_ = nullptr;
    QCheckBox* hexCheck_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QPushButton* upButton_ = nullptr;
    QPushButton* downButton_ = nullptr;
};

}  // namespace tarvelo::ui
