#pragma once

#include <QDialog>
#include <QFont>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

#include "reference/midi_reference.h"
#include "session/file_commands.h"
#include "session/live_session.h"
#include "session/session_host.h"
#include "session/set_list_commands.h"
#include "ui/main/band_selection.h"
#include "ui/main/computer_keyboard_play.h"
#include "ui/main/keyboard_geometry.h"
#include "ui/main/lingering_keys.h"
#include "ui/main/main_window_model.h"
#include "ui/main/panel_editing.h"
#include "ui/main/picture_mouse.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QScrollBar;
class QShortcut;
class QTimer;

namespace tarvelo::ui {

class BandEditing;
class BandStripView;
class CChInitDialog;
class CStylishButton;
class CStylishCheckButton;
class KeyPlayFilter;
class KeyboardView;
class MidiNotePump;
class PropertyPanel;
class SetListView;

// What the main window uses from outside; tests answer the boxes and dialogs themselves.
struct MainDialogServices {
    MessageBoxes* messageBoxes = nullptr;  // null: real message boxes over the window
    FileDialogs* fileDialogs = nullptr;    // null: real file dialogs
    // Where a reference file is read from; null: findReferenceFile.
    std::function<std::filesystem::path(std::string_view)> referenceFile;
    // Where an arrangement left unsaved by a stop signal is kept and found again at start-up
    // (see recovery_file.h); empty: nowhere.
    std::filesystem::path recoveryDirectory;
};

// The main window: one fixed-size dialog with the file buttons, the panic button and the panic
// controller's button, the input device box, the part property panel, the band strip over the
// keyboard picture and the keyboard scroll bar. It shows and edits a model its caller owns (the
// live session, the reference tables, the band selection), is the session's host while it
// exists, runs the file commands and drains the session's hand-off from the MIDI threads on the
// user-interface thread.
//
// The window only wires pieces together: drawing lives in the two picture views, the panel in
// PropertyPanel and its handlers in PanelEditing, the file commands in FileCommands, mouse editing
// and mouse play in BandEditing, computer-keyboard play in ComputerKeyboardPlay (fed by
// KeyPlayFilter), the initial-message editor in CChInitDialog. Every change the user makes marks
// the arrangement modified. While a set list plays, the window grows by the set-list view below
// everything else (see main_dialog_set_list.cpp); without one it is exactly as it was.
// User-interface thread only.
class CMainDialog : public QDialog,
                    private SessionHost,
                    private FileWindowHooks,
                    private PanelEditingView {
    Q_OBJECT

  public:
    using Services = MainDialogServices;

    // model outlives the window.
    explicit CMainDialog(MainWindowModel& model, Services services = {}, QWidget* parent = nullptr);
    ~CMainDialog() override;

    // The start-up: reference files, controls, the device check, the device boxes and a new
    // arrangement, in that order. False when start-up ended by closing the window (no MIDI
    // input or output device); the window is then not to be shown.
    bool initialize();

    // After a successful start-up: shows the window and opens the arrangement or set list at path
    // (the one named on the command line) as Open does once a file is chosen, so that the boxes
    // about missing devices or a file that cannot be read stand over the window. A file that
    // cannot be read leaves the new arrangement. True when the file was loaded. A set list then
    // plays its song `song` (0-based; -1: the first); a song it does not have, or a song asked of
    // an arrangement, is said in a box and the first song plays.
    bool openAtStartUp(const std::string& path, int song = -1);

    // The controls that band editing reaches.
    BandStripView* bandStrip() const { return strip_; }
    CStylishButton* joinButton() const { return join_; }

    // The view origin.
    int viewOriginX() const { return scroll_.originX; }
    int viewOriginY() const { return kViewOriginY; }

    // Which picture a point of the window lies on, with the point in that picture's client
    // coordinates in *local when it is given.
    PictureArea areaAt(QPoint windowPos, QPoint* local = nullptr) const;

    // Drawing: the whole keyboard released; the band strip from the model (or from Parts that
    // preview a change) and the selection; the split preview's guide line; one key from a note
    // message; one boundary marker on the keyboard.
    void drawKeyboard();
    void drawBands() override;
    void drawBands(const std::vector<Part>& parts);
    void drawGuideLine(int stripX);
    void showKey(PackedMessage message);
    void drawBoundaryMarker(int x, BoundaryShape shape, bool visible);

    // Fills the property panel from Part index; or only its range fields, from keys that may
    // not be in the model yet (a boundary drag).
    void showBand(int index) override;
    void showBandRange(int lowKey, int highKey);

    // Every change the user makes to the arrangement calls this with true.
    void setModified(bool modified);

    // A keyboard scroll bar action; target is the thumb position for the thumb codes.
    void scrollKeyboard(ScrollCode code, int target = 0);

    // Band editing and mouse play; null for none. Not owned.
    void setPictureMouseHandler(PictureMouseHandler* handler) { mouseHandler_ = handler; }

    // Shows the About box modally.
    void openAboutBox();

    // Button "ﾊﾟｰﾄ初期情報": runs the initial-message editor on the current band, then sends that
    // band's list to its device however the editor was closed.
    void editInitialMessages();

    // The panic button "パニック", the panic key (kPanicKey) and SIGUSR1: silences every output a
    // Part or the target uses (LiveSession::panic). Changes nothing in the arrangement.
    void panic();

    // The panic-controller button: sets, in a small dialog, which control change on the input
    // asks for the panic; a change marks the arrangement modified.
    void editPanicTrigger();

    // The program was told to stop (SIGINT, SIGTERM, SIGHUP): closes as the close box does, but
    // without the prompt. A modified arrangement (the song played now, with a set list) is first
    // written to the recovery file (its path goes to standard error, with the files of the other
    // songs whose changes are lost); then every device is reset and closed and the window ends.
    void stopBySignal();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    // SessionHost: the device threads' notices, drained on this thread.
    void noteReceived(PackedMessage message) override;
    void notePlayed(PackedMessage message) override { showKey(message); }
    void serverLost() override;
    void serverBack() override;
    void devicesChanged(const DeviceListChanges& changes) override;
    void followUpWanted(std::chrono::milliseconds) override { scheduleRelisting(); }
    void songChanged(int index, std::chrono::microseconds took) override;
    void postInitSent(int part) override;
    MessageBoxes& messageBoxes() override { return boxes_; }
    // FileWindowHooks
    void setTitle(std::string_view title) override;
    void showNewArrangement() override;

    void createControls();
    void createEditing();
    void connectControls();
    // The set list: the view and its keys, the entry point that exists without a list.
    void createSetListControls();
    void connectSetList();
    // The song played now, after a load or a switch: the device boxes, band 0 selected and
    // shown, the set-list view.
    void showSong();
    // Shows or hides the set-list view, as the session plays a set list or not, with the window's
    // size, the song keys and the view's state.
    void showSetList();
    // Runs one of the set list's building commands, then shows the list as it is.
    void editSetList(const std::function<void()>& command);
    // Marks the keys that still sound from an earlier song; polls while there are some.
    void showLingeringKeys();
    void loadReferenceFiles();
    void checkDevices();
    void fillDeviceBoxes();
    // Runs the session's listing of devices on its relist interval while it has one.
    void scheduleRelisting();
    // Shows a box once the drain that brought the notice has ended, so that the box's own event
    // loop goes on draining (completions, notes) underneath it.
    void showNoticeLater(const char* text, const char* caption, MessageIcon icon);
    void setUpToolTips();
    // The panic-controller button's caption, from the arrangement.
    void showPanicTrigger();
    void offerRecoveredArrangement();
    bool forwardMouse(QWidget* source, QEvent* event);

    Services services_;
    std::unique_ptr<MessageBoxes> ownBoxes_;
    MessageBoxes& boxes_;
    std::unique_ptr<FileDialogs> ownDialogs_;
    FileDialogs& dialogs_;
    // The model's parts.
    LiveSession& session_;
    MidiReference& reference_;
    BandSelection& selection_;
    KeyboardScroll scroll_;
    int stripWidth_ = 0;
    int startKey_ = 0;
    FileCommands files_;
    SetListCommands setListCommands_{session_, files_, boxes_, dialogs_};
    MidiNotePump* pump_ = nullptr;  // a child, deleted first
    QTimer* relistTimer_ = nullptr;
    ComputerKeyboardPlay keyPlay_{session_};
    PictureMouseHandler* mouseHandler_ = nullptr;
    // The song the window shows: the one a switch left, whose notes may still sound.
    int shownSong_ = 0;
    LingeringKeys lingering_;
    QTimer* lingerPoll_ = nullptr;
    bool closedAtStartUp_ = false;

    CStylishButton* new_ = nullptr;
    CStylishButton* open_ = nullptr;
    CStylishButton* save_ = nullptr;
    CStylishButton* saveAs_ = nullptr;
    QPushButton* panic_ = nullptr;
    QPushButton* panicTrigger_ = nullptr;
    QComboBox* inputBox_ = nullptr;
    QPushButton* exit_ = nullptr;
    PropertyPanel* panel_ = nullptr;
    CStylishButton* join_ = nullptr;
    CStylishCheckButton* split_ = nullptr;
    BandStripView* strip_ = nullptr;
    KeyboardView* keyboard_ = nullptr;
    QCheckBox* hook_ = nullptr;
    QScrollBar* scrollBar_ = nullptr;
    QPushButton* addToSetList_ = nullptr;
    SetListView* setListView_ = nullptr;
    QShortcut* previousSongKey_ = nullptr;
    QShortcut* nextSongKey_ = nullptr;

    // After the controls they work on, so they go first.
    std::unique_ptr<CChInitDialog> initEditor_;
    std::unique_ptr<BandEditing> bandEditing_;
    std::unique_ptr<PanelEditing> panelEditing_;
    std::unique_ptr<KeyPlayFilter> keyFilter_;
};

}  // namespace tarvelo::ui
