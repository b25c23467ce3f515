#pragma once

#include <QWidget>

#include "ui/main/set_list_show.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace tarvelo::ui {

class CInEdit;

// The show seen from a few steps away, below the main window's controls while a set list plays:
// the song number and name in large type, the next song, the list of songs, the buttons for the
// previous and next song and the panic, and a row for building the list.
//
// Views paint, handlers decide: showState() only shows a SetListShow, and every click becomes a
// signal the window acts on. A click on a song switches to it; with "リスト編集" on, a click
// only picks the song that remove, move and rename act on. Children are named for tests (see
// the k…Name constants). User-interface thread only.
class SetListView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kHeight = 232;  // pixels, the window's width wide

    static constexpr const char* kNumberName = "songNumber";
    static constexpr const char* kSongName = "songName";
    static constexpr const char* kNextName = "nextSong";
    static constexpr const char* kListFileName = "setListName";
    static constexpr const char* kListName = "songList";
    static constexpr const char* kPreviousButtonName = "previousSong";
    static constexpr const char* kNextButtonName = "nextSongButton";
    static constexpr const char* kPanicButtonName = "showPanic";
    static constexpr const char* kEditModeName = "editSetList";
    static constexpr const char* kAddName = "addSong";
    static constexpr const char* kRemoveName = "removeSong";
    static constexpr const char* kUpName = "moveSongUp";
    static constexpr const char* kDownName = "moveSongDown";
    static constexpr const char* kRenameEditName = "songNameEdit";
    static constexpr const char* kRenameName = "renameSong";
    static constexpr const char* kSaveName = "saveSetList";
    static constexpr const char* kSaveAsName = "saveSetListAs";

    explicit SetListView(QWidget* parent = nullptr);

    // Shows the state; the song picked for editing stays picked where it still exists.
    void showState(const SetListShow& show);

  signals:
    void songClicked(int index);
    void previousClicked();
    void nextClicked();
    void panicClicked();
    void addClicked();
    void removeClicked(int index);
    // by: -1 up, +1 down.
    void moveClicked(int index, int by);
    void renameClicked(int index, const QString& name);
    void saveClicked();
    void saveAsClicked();

  private:
    void createControls();
    void connectControls();
    // The picked song's name into the edit, and the edit buttons enabled for it.
    void showPicked();
    int picked() const;

    QLabel* number_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* next_ = nullptr;
    QLabel* listFile_ = nullptr;
    QListWidget* list_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* nextButton_ = nullptr;
    QPushButton* panic_ = nullptr;
    QCheckBox* editMode_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    CInEdit* renameEdit_ = nullptr;
    QPushButton* rename_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* saveAs_ = nullptr;
    SetListShow shown_;
};

}  // namespace tarvelo::ui
