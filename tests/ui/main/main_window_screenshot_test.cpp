// Pictures of the main window for looking at, written only when TARVELO_SCREENSHOT_DIR names a
// directory (scripts/screenshots.sh does that).

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <thread>

#include "main_window_fixture.h"
#include "model/arrangement_file.h"
#include "ui/main/band_strip_view.h"
#include "ui/main/keyboard_view.h"
#include "ui/main/midi_note_pump.h"

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

    // Four parts: 0..47 on Out0, 48..59 on Out1, 60..83 on Out2, 84..127 on Out0.
    void loadFourParts() {
        PartList& parts = rig.window->partList();
        parts.splitPart(0, 48);
        parts.splitPart(1, 60);
        parts.splitPart(2, 84);
        const char* names[] = {"Bass", "ピアノ", "Strings", "Lead synthesizer with a long name"};
        for (int i = 0; i < 4; ++i)
            parts.partAt(i).name = names[i];
        for (int i : {1, 2}) {
            parts.devices().releaseOutput(parts.partAt(i).outputDevice);
            parts.partAt(i).outputDevice = i;
            parts.devices().acquireOutput(i);
        }
        parts.partAt(2).noteShift = -12;
        const std::string file = rig.files.file("four.trv");
        ASSERT_FALSE(saveArrangement(file, parts).has_value());
        ASSERT_TRUE(rig.window->fileCommands().openPath(file));
    }

    QString dir;
    MainWindowRig rig;
};

TEST_F(MainWindowScreenshot, StartUpFourPartsAndHeldKeys) {
    save("main_start.png");

    loadFourParts();
    BandSelection& selection = rig.window->selection();
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
    while (rig.window->notePump().stats().notes < 6 && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_TRUE(rig.window->keyboardView()->keyPressed(70));
    save("main_keys_held.png");

    // The strip and the keyboard around middle C, four times enlarged, to check single pixels.
    const QImage zoom = rig.window->grab(QRect(380, 136, 140, 126))
                            .toImage()
                            .scaled(560, 504, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    ASSERT_TRUE(zoom.save(QDir(dir).filePath("main_keys_held_zoom.png")));
}

}  // namespace
}  // namespace tarvelo::ui
