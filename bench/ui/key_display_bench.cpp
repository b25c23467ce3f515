// The window's own work for the notes of one display frame, without the wake-up that starts it:
// the notes played during about 16 ms at 2,800 messages a second (note on and note off pairs, one
// pair left open across the frame's end) are routed, drained by the note pump and painted on the
// keyboard picture. Also one key change painted alone. Prints the user-interface thread's CPU
// time per frame (the median of several runs of many frames), offscreen on the virtual backend.
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "midi/backends/virtual/virtual_backend.h"
#include "ui/main/dialog_layout.h"
#include "ui/main/keyboard_view.h"
#include "ui/main/main_dialog.h"
#include "ui/main/midi_note_pump.h"

namespace {

constexpr int kFrames = 3000;
constexpr int kRuns = 7;
constexpr int kMessagesPerFrame = 45;  // 2,800 a second over 16 ms

double threadCpuMicroseconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

template <typename Frame>
double medianMicrosecondsPerFrame(Frame frame) {
    std::vector<double> runs;
    for (int run = 0; run < kRuns; ++run) {
        const double start = threadCpuMicroseconds();
        for (int i = 0; i < kFrames; ++i)
            frame(i);
        runs.push_back((threadCpuMicroseconds() - start) / kFrames);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tarvelo::VirtualBackend backend(std::size_t{1} << 12);
    backend.addInput("Keyboard");
    backend.addOutput("Out");
    tarvelo::ui::MainDialogServices services;
    services.referenceFile = [](std::string_view name) {
        return std::filesystem::path(TARVELO_DATA_SOURCE_DIR) / name;
    };
    tarvelo::ui::MainWindowModel model(backend);
    tarvelo::ui::CMainDialog window(model, std::move(services));
    if (!window.initialize()) {
        std::fprintf(stderr, "the window did not start\n");
        return 1;
    }
    window.show();
    QApplication::processEvents();
    auto* keyboard = window.findChild<tarvelo::ui::KeyboardView*>(
        QString::fromLatin1(tarvelo::ui::controlName(tarvelo::ui::control_id::kKeyboard)));
    if (keyboard == nullptr) {
        std::fprintf(stderr, "no keyboard picture\n");
        return 1;
    }
    auto& pump = *window.findChild<tarvelo::ui::MidiNotePump*>(
        QString::fromLatin1(tarvelo::ui::MidiNotePump::kObjectName));

    // The probe's stream: pairs of note on and note off walking over four octaves.
    std::uint64_t next = 0;
    const double framePerDrain = medianMicrosecondsPerFrame([&](int) {
        for (int m = 0; m < kMessagesPerFrame; ++m, ++next) {
            const auto key = static_cast<std::uint8_t>(36 + (next / 2 * 7) % 48);
            const bool on = next % 2 == 0;
            backend.inject(0, tarvelo::packMessage(on ? 0x90 : 0x80, key, on ? 100 : 0));
        }
        pump.drain();
        backend.clearRecords();
    });

    const double keyPaint = medianMicrosecondsPerFrame([&](int i) {
        const auto key = static_cast<std::uint8_t>(36 + (i * 7) % 48);
        keyboard->showKey(tarvelo::packMessage(0x90, key, 100),
                          tarvelo::ui::KeyboardView::KeyRepaint::OnRequest);
        keyboard->paintChangedKeys();
        keyboard->showKey(tarvelo::packMessage(0x80, key, 0),
                          tarvelo::ui::KeyboardView::KeyRepaint::OnRequest);
    });

    std::printf("one display frame of notes (%d messages) routed, drained and painted: %.1f us\n",
                kMessagesPerFrame, framePerDrain);
    std::printf("one key change painted alone: %.1f us\n", keyPaint);
    return 0;
}
