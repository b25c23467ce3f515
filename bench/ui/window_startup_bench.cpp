// Start-up time to the window with the built-in synthesizer, with the small and the large General
// MIDI SoundFont: from the MIDI system's creation to the window painted (offscreen), and to the
// SoundFont loaded. The SoundFont loads beside the window, so the first figure should not depend
// on its size. Prints the median of several starts.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <thread>
#include <vector>

#include "midi/backends/backend_factory.h"
#include "ui/main/main_dialog.h"

namespace {

constexpr int kStarts = 5;

struct Times {
    double windowMs;
    double soundFontMs;
};

Times startOnce(const char* soundFont) {
    QElapsedTimer clock;
    clock.start();
    tarvelo::synth::SynthOptions options;
    options.soundFont = soundFont;
    auto backend = tarvelo::addSynth(tarvelo::createBackend("internal"), options);
    tarvelo::ui::MainWindowModel model(*backend);
    // The reference files from the source tree, wherever the benchmark is started: a file not
    // found would stop the start-up at its message box.
    tarvelo::ui::MainDialogServices services;
    services.referenceFile = [](std::string_view name) {
        return std::filesystem::path(TARVELO_DATA_SOURCE_DIR) / name;
    };
    tarvelo::ui::CMainDialog window(model, std::move(services));
    window.initialize();
    window.show();
    QApplication::processEvents();
    const double windowMs = clock.nsecsElapsed() / 1e6;
    backend->engine()->waitUntilLoaded();
    const double soundFontMs = clock.nsecsElapsed() / 1e6;
    window.hide();
    return {windowMs, soundFontMs};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    for (const char* soundFont :
         {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2"}) {
        std::vector<double> window;
        std::vector<double> loaded;
        for (int i = 0; i < kStarts; ++i) {
            const Times t = startOnce(soundFont);
            window.push_back(t.windowMs);
            loaded.push_back(t.soundFontMs);
        }
        std::printf(
            "%s: window shown after %.1f ms, SoundFont loaded after %.1f ms (median of %d)\n",
            soundFont, median(window), median(loaded), kStarts);
    }
    return 0;
}
