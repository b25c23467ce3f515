// The set list in the window: the show below the controls, switching by click, buttons and keys,
// the marks on keys an earlier song still sounds, building a list, opening one by its content.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <functional>

#include "model/set_list_file.h"
#include "support/show_files.h"
#include "ui/controls/in_edit.h"
#include "ui/main/set_list_view.h"
#include "window_input_fixture.h"

namespace tarvelo::ui {
namespace {

using tarvelo::testing::ShowFiles;
using testing::MainWindowRig;

class SetListWindow : public testing::WindowInputTest {
  protected:
    SetListView* view() { return control<SetListView>(w(), control_id::kSetListView); }
    template <typename T>
    T* in(const char* name) {
        return view()->findChild<T*>(QString::fromLatin1(name));
    }
    std::string label(const char* name) { return in<QLabel>(name)->text().toStdString(); }
    void click(const char* name) { in<QAbstractButton>(name)->click(); }
    void clickSong(int row) {
        auto* list = in<QListWidget>(SetListView::kListName);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    // Opens path through the Open button; true when a set list plays then.
    bool openList(const std::string& path) {
        rig.dialogs.answers.push_back(path);
        openButton(w())->click();
        return session().playingSetList();
    }
    // Lets the note pump and the window's timers run until done() or two seconds have passed.
    static bool waitFor(const std::function<bool()>& done) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    }

    ShowFiles show{rig.files.path(), "In0"};
};

TEST_F(SetListWindow, TheShowAppearsBelowTheUnmovedControlsOnlyWhileAListPlays) {
    const QSize alone = w().size();
    const QRect keyboardAt = keyboard()->geometry();
    EXPECT_FALSE(view()->isVisible());
    ASSERT_TRUE(openList(show.list));
    EXPECT_TRUE(view()->isVisible());
    EXPECT_EQ(w().size(), alone + QSize(0, SetListView::kHeight));
    EXPECT_EQ(view()->y(), alone.height());
    EXPECT_EQ(keyboard()->geometry(), keyboardAt);
    newButton(w())->click();
    EXPECT_FALSE(view()->isVisible());
    EXPECT_EQ(w().size(), alone);
}

TEST_F(SetListWindow, ClicksButtonsAndPageKeysSwitchSongsAndTheWindowFollows) {
    ASSERT_TRUE(openList(show.list));
    struct Step {
        std::function<void()> act;
        int song;
        const char* next;
    };
    const Step steps[] = {
        {[] {}, 0, "次の曲: Ballad"},
        {[this] { clickSong(2); }, 2, "次の曲: なし (最後の曲)"},
        {[this] { QTest::keyClick(&w(), Qt::Key_PageUp); }, 1, "次の曲: Encore"},
        {[this] { click(SetListView::kPreviousButtonName); }, 0, "次の曲: Ballad"},
        {[this] { click(SetListView::kPreviousButtonName); }, 0, "次の曲: Ballad"},
        {[this] { click(SetListView::kNextButtonName); }, 1, "次の曲: Encore"},
        {[this] {
             keyboardHookBox(w())->setChecked(true);  // keyboard play leaves the song keys
             QTest::keyClick(&w(), Qt::Key_PageDown);
             keyboardHookBox(w())->setChecked(false);
         },
         2, "次の曲: なし (最後の曲)"},
    };
    const char* const highKeyOfPart0[] = {"7Fh", "3Fh", "2Fh"};
    for (const Step& step : steps) {
        step.act();
        const int song = step.song;
        ASSERT_EQ(session().currentSong(), song);
        EXPECT_EQ(label(SetListView::kNumberName), std::to_string(song + 1) + " / 3");
        EXPECT_EQ(label(SetListView::kSongName), ShowFiles::kNames[song]);
        EXPECT_EQ(label(SetListView::kNextName), step.next);
        EXPECT_EQ(in<QListWidget>(SetListView::kListName)->currentRow(), song);
        EXPECT_EQ(panel(w())->rangeHighEdit()->text(), highKeyOfPart0[song]);
        EXPECT_EQ(rig.shownFileName(), std::string(1, static_cast<char>('a' + song)) + ".trv");
    }
    EXPECT_TRUE(rig.boxes.shown.empty());
}

// Held on the input and switched by a program change, or held with the mouse and switched by
// a key: the note ends where it began, and the key is marked until then.
TEST_F(SetListWindow, AKeyHeldThroughASwitchIsMarkedUntilItsNoteEnds) {
    ASSERT_TRUE(openList(show.list));
    struct Case {
        std::function<void()> press, switchSong, release;
    };
    const Case cases[] = {
        {[this] { rig.backend.inject(0, packMessage(0x90, 70, 100)); },
         [this] { rig.backend.inject(0, packMessage(0xC0, 2, 0)); },
         [this] { rig.backend.inject(0, packMessage(0x80, 70, 0)); }},
        {[this] { pressKey(70); }, [this] { QTest::keyClick(&w(), Qt::Key_PageDown); },
         [this] { releaseKey(70); }},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(session().selectSong(0));
        c.press();  // song 0 plays key 70 on Out0
        c.switchSong();
        EXPECT_TRUE(waitFor([this] { return keyboardView(w())->lingering().test(70); }));
        EXPECT_EQ(keyboardView(w())->lingering().count(), 1u);
        EXPECT_NE(session().currentSong(), 0);
        rig.backend.clearRecords();
        c.release();
        EXPECT_TRUE(waitFor([this] { return keyboardView(w())->lingering().none(); }));
        const std::vector<PackedMessage> out = sent("Out0");
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(statusOf(out[0]), 0x80);
        EXPECT_EQ(data1Of(out[0]), 70);
    }
}

TEST_F(SetListWindow, AListBuiltInTheWindowIsSavedAndReadsBackEqual) {
    ASSERT_TRUE(rig.open(show.songs[0]));
    for (int song : {1, 2}) {
        rig.dialogs.answers.push_back(show.songs[static_cast<std::size_t>(song)]);
        control<QPushButton>(w(), control_id::kAddToSetList)->click();
    }
    ASSERT_EQ(session().songCount(), 3);
    EXPECT_TRUE(view()->isVisible());
    EXPECT_EQ(label(SetListView::kListFileName), "セットリスト: NewSetList.trvset*");
    in<QCheckBox>(SetListView::kEditModeName)->setChecked(true);
    clickSong(2);
    EXPECT_EQ(session().currentSong(), 0) << "picked, not switched to";
    click(SetListView::kUpName);
    in<CInEdit>(SetListView::kRenameEditName)->setText(QStringLiteral(" 終曲 "));
    click(SetListView::kRenameName);
    clickSong(2);
    click(SetListView::kRemoveName);
    const std::string saved = rig.files.file("built.trvset");
    rig.dialogs.answers.push_back(saved);
    click(SetListView::kSaveName);

    const SetListReadResult read = readSetList(saved);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(*read.setList, session().setList());
    ASSERT_EQ(read.setList->songs.size(), 2u);
    EXPECT_EQ(read.setList->songs[0].path, show.songs[0]);
    EXPECT_EQ(read.setList->songs[1].path, show.songs[2]);
    EXPECT_EQ(read.setList->songs[1].name, "終曲");
    EXPECT_EQ(label(SetListView::kListFileName), "セットリスト: built.trvset");
    EXPECT_TRUE(rig.boxes.shown.empty());
}

TEST_F(SetListWindow, OpenTellsAListByItsContentAndABrokenOneChangesNothing) {
    const std::string named = rig.files.file("show-list.trv");
    std::filesystem::copy_file(show.list, named);
    ASSERT_TRUE(openList(named));
    EXPECT_EQ(rig.dialogs.calls.back().options.filterPattern, "*.trv *.trvset");
    EXPECT_EQ(session().songCount(), 3);
    EXPECT_EQ(rig.shownFileName(), "a.trv");

    const std::string broken = rig.files.file("broken.trvset");
    std::ofstream(broken) << "a.trv\nmissing.trv\n@channel 17\na.trv | | 0\n";
    openList(broken);
    ASSERT_EQ(rig.boxes.shown.size(), 1u);
    const auto& box = rig.boxes.shown[0];
    EXPECT_EQ(box.caption, "セットリスト");
    EXPECT_EQ(box.text.rfind("セットリストを読み込めませんでした。", 0), 0u);
    for (const char* line : {"\nline 2: ", "\nline 3: ", "\nline 4: "})
        EXPECT_NE(box.text.find(line), std::string::npos) << line;
    EXPECT_EQ(session().songCount(), 3);
    EXPECT_EQ(session().setListPath(), named);
    EXPECT_EQ(rig.shownFileName(), "a.trv");
}

}  // namespace
}  // namespace tarvelo::ui
