// The main window's set list: the view shown while one plays, its keys, the entry point that
// exists without one, and the marks on keys an earlier song still sounds.

#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include "ui/initmsg/ch_init_dialog.h"
#include "ui/main/band_editing.h"
#include "ui/main/dialog_layout.h"
#include "ui/main/key_codes.h"
#include "ui/main/keyboard_view.h"
#include "ui/main/main_dialog.h"
#include "ui/main/set_list_show.h"
#include "ui/main/set_list_view.h"

namespace tarvelo::ui {

namespace {

// How often the devices are asked which notes of an earlier song still sound, while any may:
// a few times a second is quick enough for an eye, and the look costs microseconds.
constexpr std::chrono::milliseconds kLingerPollInterval{50};

}  // namespace

void CMainDialog::createSetListControls() {
    // In the free room of the file buttons' row, so no control moves.
    addToSetList_ = new QPushButton(QStringLiteral("セットリストに追加..."), this);
    addToSetList_->setAutoDefault(false);
    placeControl(addToSetList_, dluRect(110, 7, 84, 16), control_id::kAddToSetList);
    addToSetList_->setToolTip(
        QStringLiteral("配置をセットリストに加える (セットリストがなければ、今の配置を 1 曲目に"
                       "して作る)"));

    setListView_ = new SetListView(this);
    placeControl(setListView_,
                 QRect(0, dluToPixels(kMainWindowHeight), dluToPixels(kMainWindowWidth),
                       SetListView::kHeight),
                 control_id::kSetListView);
    setListView_->hide();

    previousSongKey_ = new QShortcut(QKeySequence(kPreviousSongKey), this);
    nextSongKey_ = new QShortcut(QKeySequence(kNextSongKey), this);
    for (QShortcut* key : {previousSongKey_, nextSongKey_})
        key->setEnabled(false);

    lingerPoll_ = new QTimer(this);
    lingerPoll_->setInterval(kLingerPollInterval);
}

void CMainDialog::connectSetList() {
    connect(addToSetList_, &QPushButton::clicked, this,
            [this] { editSetList([this] { setListCommands_.addSong(); }); });
    connect(previousSongKey_, &QShortcut::activated, this, [this] { session_.previousSong(); });
    connect(nextSongKey_, &QShortcut::activated, this, [this] { session_.nextSong(); });
    connect(lingerPoll_, &QTimer::timeout, this, &CMainDialog::showLingeringKeys);

    SetListView* view = setListView_;
    connect(view, &SetListView::songClicked, this,
            [this](int index) { session_.selectSong(index); });
    connect(view, &SetListView::previousClicked, this, [this] { session_.previousSong(); });
    connect(view, &SetListView::nextClicked, this, [this] { session_.nextSong(); });
    connect(view, &SetListView::panicClicked, this, &CMainDialog::panic);
    connect(view, &SetListView::addClicked, this,
            [this] { editSetList([this] { setListCommands_.addSong(); }); });
    connect(view, &SetListView::removeClicked, this, [this](int index) {
        editSetList([this, index] { setListCommands_.removeSong(index); });
    });
    connect(view, &SetListView::moveClicked, this, [this](int index, int by) {
        editSetList([this, index, by] { setListCommands_.moveSong(index, by); });
    });
    connect(view, &SetListView::renameClicked, this, [this](int index, const QString& name) {
        editSetList(
            [this, index, name] { setListCommands_.renameSong(index, name.toStdString()); });
    });
    connect(view, &SetListView::saveClicked, this,
            [this] { editSetList([this] { files_.saveSetList(); }); });
    connect(view, &SetListView::saveAsClicked, this,
            [this] { editSetList([this] { files_.saveSetListAs(); }); });
}

void CMainDialog::editSetList(const std::function<void()>& command) {
    command();
    showSetList();
}

void CMainDialog::showSetList() {
    // Songs are only moved or removed here, so the index stays that of the song shown.
    shownSong_ = session_.currentSong();
    const SetListShow show =
        SetListShow::of(session_, files_.setListName(), files_.setListModified());
    if (show.playing)
        setListView_->showState(show);
    setListView_->setVisible(show.playing);
    setFixedSize(dluToPixels(kMainWindowWidth),
                 dluToPixels(kMainWindowHeight) + (show.playing ? SetListView::kHeight : 0));
    keyPlay_.setSongKeys(show.playing);
    previousSongKey_->setEnabled(show.playing);
    nextSongKey_->setEnabled(show.playing);
}

void CMainDialog::songChanged(int index, std::chrono::microseconds /*took*/) {
    if (shownSong_ != index && shownSong_ >= 0 && shownSong_ < session_.songCount())
        lingering_.songLeft(session_.songRoutes(shownSong_));
    // The editor shows a Part of the song left; what was edited stays with that song.
    if (initEditor_->isVisible())
        initEditor_->reject();
    showSong();
    files_.songChanged();
    showLingeringKeys();
}

void CMainDialog::showLingeringKeys() {
    keyboard_->showLingering(lingering_.poll(session_.devices(), session_.routes()));
    if (!lingering_.watching()) {
        lingerPoll_->stop();
    } else if (!lingerPoll_->isActive()) {
        lingerPoll_->start();
    }
}

}  // namespace tarvelo::ui
