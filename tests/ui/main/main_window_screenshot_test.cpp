// Pictures of the main window for looking at, written only when TARVELO_SCREENSHOT_DIR names a
// directory (scripts/screenshots.sh does that).

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <functional>
#include <thread>

#include "main_window_fixture.h"
#include "model/arrangement_file.h"
#include "model/set_list_file.h"
#include "support/show_files.h"
#include "ui/controls/stylish_check_button.h"
#include "ui/controls/ui_look.h"
#include "ui/main/band_editing.h"
#include "ui/main/band_strip_view.h"
#include "ui/main/keyboard_view.h"
#include "ui/main/midi_note_pump.h"
#include "ui/main/property_panel.h"
#include "ui/main/qt_file_dialogs.h"
#include "ui/main/qt_message_boxes.h"
#include "ui/main/set_list_view.h"

namespace tarvelo::ui {
namespace {

using testing::MainWindowRig;

class MainWindowScreenshot : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = qEnvironmentVariable("TARVELO_SCREENSHOT_DIR");
        if (dir.isEmpty())
            GTEST_SKIP() << "TARVELO_SCREENSHOT_DIR is not set";
        ASSERT_TRUE(QDir().mkpath(dir));
        ASSERT_TRUE(rig.start());
        rig.window->show();
        MainWindowRig::settle();
    }

    void save(const QString& name) {
        MainWindowRig::settle();
        const QString file = QDir(dir).filePath(name);
        ASSERT_TRUE(rig.window->grab().save(file)) << file.toStdString();
    }

    // Runs open, which shows a modal window and waits for it, saves a picture of that window as
    // name and closes it by its cancel path.
    void saveModal(const QString& name, const std::function<void()>& open) {
        const QString file = QDir(dir).filePath(name);
        bool saved = false;
        QTimer::singleShot(200, [&] {
            auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (modal == nullptr)
                return;
            saved = modal->grab().save(file);
            modal->reject();
        });
        open();
        EXPECT_TRUE(saved) << file.toStdString();
    }

    // Four parts: 0..47 on Out0, 48..59 on Out1, 60..83 on Out2, 84..127 on Out0.
    void loadFourParts() {
        LiveSession& session = rig.model.session;
        session.split(0, 48);
        session.split(1, 60);
        session.split(2, 84);
        const char* names[] = {"Bass", "ピアノ", "Strings", "Lead synthesizer with a long name"};
        for (int i = 0; i < 4; ++i)
            session.setName(i, names[i]);
        for (int i : {1, 2})
            session.setOutputDevice(i, i);
        session.setNoteShift(2, -12);
        const std::string file = rig.files.file("four.trv");
        ASSERT_FALSE(session.save(file).has_value());
        ASSERT_TRUE(rig.open(file));
    }

    // The band strip at the boundary column before key, with the left button held or not.
    void moveOverStrip(int key, bool held) {
        QWidget* strip = bandStrip(*rig.window);
        const QPoint pos(bandEdge(rig.window->viewOriginX(), key) + 1, 17);
        QMouseEvent event(QEvent::MouseMove, pos, strip->mapToGlobal(pos), Qt::NoButton,
                          held ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(strip, &event);
    }
    QPoint stripPointAt(int key) {
        return QPoint(bandEdge(rig.window->viewOriginX(), key) + 1, 17);
    }

    QString dir;
    MainWindowRig rig;
};

TEST_F(MainWindowScreenshot, StartUpFourPartsAndHeldKeys) {
    save("main_start.png");

    loadFourParts();
    rig.model.session.setFollowsPedals(2, true);
    BandSelection& selection = rig.model.selection;
    selection.clear();
    selection.toggle(2);
    rig.window->showBand(2);
    rig.window->drawBands();
    save("main_four_parts.png");

    // A chord and a bass note played on the input device.
    std::thread midi([&] {
        for (std::uint8_t key : {36, 60, 64, 67, 70, 85})
            rig.backend.inject(0, packMessage(0x90, key, 100));
    });
    midi.join();
    QElapsedTimer timer;
    timer.start();
    while (notePump(*rig.window).stats().notes < 6 && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_TRUE(keyboardView(*rig.window)->keyPressed(70));
    save("main_keys_held.png");

    // The strip and the keyboard around middle C, four times enlarged, to check single pixels.
    const QImage zoom = rig.window->grab(QRect(380, 136, 140, 126))
                            .toImage()
                            .scaled(560, 504, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    ASSERT_TRUE(zoom.save(QDir(dir).filePath("main_keys_held_zoom.png")));
}

TEST_F(MainWindowScreenshot, LongNameAndQtsOwnDialogs) {
    loadFourParts();
    BandSelection& selection = rig.model.selection;
    selection.clear();
    selection.toggle(3);
    rig.window->showBand(3);
    rig.window->drawBands();
    save("main_long_name.png");

    // The real boxes and dialogs, with Qt's own texts in Japanese as the program shows them.
    QTranslator* translator = installQtJapaneseTranslations(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr);
    QtMessageBoxes boxes(rig.window.get());
    saveModal("main_save_prompt.png", [&] {
        const std::string text = "four.trv\n" + std::string(FileCommands::kSaveChangesQuestion);
        boxes.show(text, FileCommands::kPromptCaption, MessageButtons::YesNoCancel,
                   MessageIcon::Information);
    });
    QtFileDialogs dialogs(rig.window.get());
    saveModal("main_open_dialog.png", [&] { dialogs.openFile(FileDialogOptions{}); });
    saveModal("main_panic_trigger.png",
              [&] { control<QPushButton>(*rig.window, control_id::kPanicTrigger)->click(); });
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

TEST_F(MainWindowScreenshot, AbsentDeviceInTheBoxes) {
    loadFourParts();
    // The synthesizer of "Strings" is switched off while the program runs.
    rig.backend.removeOutput("Out2");
    MainWindowRig::settle();
    BandSelection& selection = rig.model.selection;
    selection.clear();
    selection.toggle(2);
    rig.window->showBand(2);
    rig.window->drawBands();
    save("main_absent_device.png");
    QComboBox* output = control<QComboBox>(*rig.window, control_id::kOutputDevice);
    output->showPopup();
    MainWindowRig::settle();
    QWidget* popup = output->view()->window();
    const QPixmap list = popup->grab();
    EXPECT_TRUE(list.save(QDir(dir).filePath("main_absent_device_list.png")));
    output->hidePopup();
}

TEST_F(MainWindowScreenshot, BoundaryDragAndSplitPreview) {
    loadFourParts();
    BandSelection& selection = rig.model.selection;
    selection.clear();
    selection.toggle(2);
    rig.window->showBand(2);
    rig.window->drawBands();

    // The boundary between "ピアノ" and "Strings" (key 60) dragged down to key 53 (F).
    QTest::mousePress(bandStrip(*rig.window), Qt::LeftButton, {}, stripPointAt(60));
    moveOverStrip(56, true);
    moveOverStrip(53, true);
    ASSERT_FALSE(keyboardView(*rig.window)->markers().empty()) << "the drag is under way";
    save("main_drag.png");
    const QImage dragZoom = rig.window->grab(QRect(300, 136, 160, 126))
                                .toImage()
                                .scaled(640, 504, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    ASSERT_TRUE(dragZoom.save(QDir(dir).filePath("main_drag_zoom.png")));
    QTest::mouseRelease(bandStrip(*rig.window), Qt::LeftButton, {}, stripPointAt(53));

    // Split mode over the boundary before key 75 (D#), inside "Strings".
    QTest::mouseClick(splitButton(*rig.window), Qt::LeftButton);
    ASSERT_TRUE(splitButton(*rig.window)->checked());
    moveOverStrip(75, false);
    save("main_split_preview.png");
    const QImage splitZoom = rig.window->grab(QRect(480, 136, 160, 126))
                                 .toImage()
                                 .scaled(640, 504, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    ASSERT_TRUE(splitZoom.save(QDir(dir).filePath("main_split_preview_zoom.png")));
}

// A show of five songs, the third one playing, with the chord held from the first still
// sounding; the list being built; a set list with many problems.
TEST_F(MainWindowScreenshot, SetList) {
    const tarvelo::testing::ShowFiles show(rig.files.path(), "In0");
    const std::string list = rig.files.file("live.trvset");
    std::ofstream(list)
        << "@next 80\na.trv | オープニング\nb.trv | 夜明けのブルース\nc.trv | Slow Dance\n"
           "a.trv | Encore with a name far too long for its place on the screen\n"
           "b.trv\n";
    rig.dialogs.answers.push_back(list);
    control<CStylishButton>(*rig.window, control_id::kOpen)->click();
    ASSERT_EQ(rig.model.session.songCount(), 5);
    save("main_set_list_first.png");

    std::thread midi([&] {
        for (std::uint8_t key : {48, 60, 64, 67})
            rig.backend.inject(0, packMessage(0x90, key, 100));
        rig.backend.inject(0, packMessage(0xC0, 2, 0));
    });
    midi.join();
    QElapsedTimer timer;
    timer.start();
    while (keyboardView(*rig.window)->lingering().count() < 4 && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_EQ(keyboardView(*rig.window)->lingering().count(), 4u);
    save("main_set_list_lingering.png");
    const QImage zoom = rig.window->grab(QRect(290, 140, 210, 112))
                            .toImage()
                            .scaled(840, 448, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    ASSERT_TRUE(zoom.save(QDir(dir).filePath("main_set_list_lingering_zoom.png")));

    rig.model.session.selectSong(3);
    auto* view = control<SetListView>(*rig.window, control_id::kSetListView);
    view->findChild<QCheckBox*>(QString::fromLatin1(SetListView::kEditModeName))->setChecked(true);
    auto* songs = view->findChild<QListWidget*>(QString::fromLatin1(SetListView::kListName));
    QTest::mouseClick(songs->viewport(), Qt::LeftButton, {},
                      songs->visualItemRect(songs->item(1)).center());
    save("main_set_list_editing.png");

    const std::string broken = rig.files.file("broken.trvset");
    std::ofstream(broken) << "a.trv\nmissing.trv\n@channel 17\na.trv | | 0\n@next\nx.trv | | 300\n";
    QtMessageBoxes boxes(rig.window.get());
    saveModal("main_set_list_problems.png", [&] {
        boxes.show(describeSetListProblems(broken, readSetList(broken).problems),
                   FileCommands::kSetListCaption, MessageButtons::Ok, MessageIcon::Error);
    });
    std::ofstream many(broken);
    for (int i = 0; i < 40; ++i)
        many << "song" << i << ".trv\n";
    many.close();
    saveModal("main_set_list_many_problems.png", [&] {
        boxes.show(describeSetListProblems(broken, readSetList(broken).problems),
                   FileCommands::kSetListCaption, MessageButtons::Ok, MessageIcon::Error);
    });
}

}  // namespace
}  // namespace tarvelo::ui
