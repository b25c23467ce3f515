// The window on the program's own MIDI system: the built-in synthesizer and the virtual input
// are devices like any other, and the start-up warnings appear only where they still apply.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QPainter>
#include <QPixmap>

#include <QElapsedTimer>
#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "main_window_fixture.h"
#include "midi/backends/internal/internal_backend.h"
#include "midi/synth/synth_backend.h"
#include "ui/main/keyboard_view.h"
#include "ui/main/property_panel.h"

namespace tarvelo::ui {
namespace {

QStringList items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// Saves a picture of the box with its list open, when TARVELO_SCREENSHOT_DIR names a directory.
void savePopup(QComboBox* box, const QString& name) {
    const QString dir = qEnvironmentVariable("TARVELO_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    box->window()->show();
    box->showPopup();
    testing::MainWindowRig::settle();
    QWidget* popup = box->view()->window();
    QPixmap picture(box->window()->width(), box->window()->height() + popup->height());
    picture.fill(Qt::white);
    QPainter painter(&picture);
    box->window()->render(&painter);
    const QPoint below = box->mapTo(box->window(), QPoint(0, box->height()));
    popup->render(&painter, below);
    painter.end();
    box->hidePopup();
    ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_TRUE(picture.save(QDir(dir).filePath(name)));
}

struct StartUp {
    const char* soundFont;
    std::vector<std::string> warnings;
    QStringList outputs;
};

TEST(BuiltInDevicesWindow, InternalSystemListsOurDevicesAndWarnsOnlyWithoutASoundFont) {
    const StartUp runs[] = {
        {"/usr/share/sounds/sf2/TimGM6mb.sf2", {}, {"Tarvelo GM Synth"}},
        {"", {"有効なMIDI OUTデバイスが一つもありません"}, {}},
    };
    for (const StartUp& run : runs) {
        synth::SynthOptions options;
        options.soundFont = run.soundFont;
        // Nothing needs to sound here: no audio thread.
        options.offline = true;
        synth::SynthBackend backend(std::make_unique<InternalBackend>(), options);
        testing::MainWindowRig rig;
        MainDialogServices services;
        services.messageBoxes = &rig.boxes;
        services.fileDialogs = &rig.dialogs;
        services.referenceFile = [dir = rig.references.path()](std::string_view name) {
            return dir / std::string(name);
        };
        MainWindowModel model(backend);
        CMainDialog window(model, services);
        const bool opened = window.initialize();
        EXPECT_EQ(opened, run.warnings.empty()) << run.soundFont;
        EXPECT_EQ(rig.boxes.texts(), run.warnings) << run.soundFont;
        EXPECT_EQ(items(inputDeviceBox(window)), QStringList{"Tarvelo Virtual In"});
        EXPECT_EQ(items(panel(window)->outputBox()), run.outputs);
        if (opened) {
            savePopup(inputDeviceBox(window), "devices_input.png");
            savePopup(panel(window)->outputBox(), "devices_output.png");
        }
    }
}

TEST(BuiltInDevicesWindow, AFilePlayedIntoTheVirtualInputLightsItsKeysAndSounds) {
    synth::SynthOptions options;
    options.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    options.offline = true;  // this test renders, as the audio thread would
    auto internal = std::make_unique<InternalBackend>();
    InternalBackend& system = *internal;
    synth::SynthBackend backend(std::move(internal), options);
    backend.setRenderThreadInput(system, system);
    synth::FilePlayback playback(synth::MidiFileSchedule{
        {{0, packMessage(0x90, 64, 100)}, {48000, packMessage(0x80, 64, 0)}}, 48000});
    system.setPlayback(&playback);

    testing::MainWindowRig rig;
    MainDialogServices services;
    services.messageBoxes = &rig.boxes;
    services.referenceFile = [dir = rig.references.path()](std::string_view name) {
        return dir / std::string(name);
    };
    MainWindowModel model(backend);
    CMainDialog window(model, services);
    ASSERT_TRUE(window.initialize());
    window.show();
    ASSERT_EQ(backend.engine()->waitUntilLoaded(), synth::SynthEngine::State::Ready);
    playback.start();

    std::atomic<bool> rendering{true};
    std::thread audio([&] {
        std::array<float, 256> left{};
        std::array<float, 256> right{};
        for (int period = 0; rendering.load() && period < 48000 / 256; ++period) {
            backend.engine()->renderAudio(left.data(), right.data(), 256);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const KeyboardView& keyboard = *keyboardView(window);
    QElapsedTimer timer;
    timer.start();
    // The key may light before the period that plays it has finished rendering: wait for both.
    const auto sounding = [&] { return backend.engine()->activeVoices() > 0; };
    while (!(keyboard.keyPressed(64) && sounding()) && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_TRUE(keyboard.keyPressed(64));
    EXPECT_TRUE(sounding());
    rendering.store(false);
    audio.join();
    system.setPlayback(nullptr);
}

}  // namespace
}  // namespace tarvelo::ui
