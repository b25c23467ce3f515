#include "app/gui_command.h"

// Built into the program only with the user interface.
#if TARVELO_WITH_GUI

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/stop_signals.h"
#include "model/recovery_file.h"
#include "ui/controls/ui_look.h"
#include "ui/main/main_dialog.h"

namespace tarvelo::app {

namespace {
// How often the window looks whether the SoundFont has loaded, to start the file.
constexpr int kSynthPollMs = 20;
}  // namespace

int runGui(int argc, char** argv, const MidiOptions& options, const std::string& file, int song) {
    QApplication application(argc, argv);
    // Ties the windows to the installed desktop entry (its icon and name in docks and panels).
    QGuiApplication::setDesktopFileName(QStringLiteral(TARVELO_APP_ID));
    if (!ui::installQtJapaneseTranslations(application))
        std::fprintf(stderr,
                     "tarvelo: Qt's Japanese translations were not found; its own "
                     "buttons and dialogs stay English\n");
    // The MIDI system outlives the window, whose arrangement holds its devices.
    std::unique_ptr<MidiSystem> system = MidiSystem::open(options, false);
    if (!system)
        return 2;
    int status = 0;
    {
        const StopSignals stopSignals;
        const PanicSignal panicSignal;
        // A recording that fails (a full disk) stops the program as a signal does.
        if (!system->startRecording(stopSignals.fd()))
            return 2;
        ui::MainDialogServices services;
        services.recoveryDirectory = defaultRecoveryDirectory();
        ui::MainWindowModel model(system->backend());
        ui::CMainDialog window(model, std::move(services));
        // SIGUSR1 silences every output, as the window's panic button does.
        std::unique_ptr<QSocketNotifier> panic;
        if (panicSignal.fd() >= 0) {
            panic = std::make_unique<QSocketNotifier>(panicSignal.fd(), QSocketNotifier::Read);
            QObject::connect(panic.get(), &QSocketNotifier::activated, &window,
                             [&window, &panicSignal] {
                                 if (panicSignal.take())
                                     window.panic();
                             });
        }
        std::unique_ptr<QSocketNotifier> stop;
        if (stopSignals.fd() >= 0) {
            stop = std::make_unique<QSocketNotifier>(stopSignals.fd(), QSocketNotifier::Read);
            QObject::connect(stop.get(), &QSocketNotifier::activated, &window, [&window, &stop] {
                stop->setEnabled(false);
                window.stopBySignal();
                // Also ends the loop of a box or of the editor that may be open over the window.
                QCoreApplication::exit(0);
            });
        }
        QTimer startPlayback;
        if (system->playback() != nullptr) {
            QObject::connect(&startPlayback, &QTimer::timeout, [&system, &startPlayback] {
                // On JACK a file plays without the synthesizer too.
                const synth::SynthEngine* engine = system->engine();
                if (engine != nullptr && engine->state() == synth::SynthEngine::State::Loading)
                    return;
                startPlayback.stop();
                system->startPlayback();
            });
            startPlayback.start(kSynthPollMs);
        }
        if (window.initialize()) {
            if (!file.empty())
                window.openAtStartUp(file, song);
            window.exec();
        }
    }
    if (!system->finish(true))
        status = 1;
    return status;
}

}  // namespace tarvelo::app

#endif  // TARVELO_WITH_GUI
