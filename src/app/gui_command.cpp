#include "app/gui_command.h"

// Built into the program only with the user interface.
#if TARVELO_WITH_GUI

#include <QApplication>
#include <cstdio>
#include <memory>

#include "midi/backends/backend_factory.h"
#include "ui/controls/ui_look.h"
#include "ui/main/main_dialog.h"

namespace tarvelo::app {

int runGui(int argc, char** argv, std::string_view api, const std::string& file) {
    QApplication application(argc, argv);
    // Ties the windows to the installed desktop entry (its icon and name in docks and panels).
    QGuiApplication::setDesktopFileName(QStringLiteral(TARVELO_APP_ID));
    if (!ui::installQtJapaneseTranslations(application))
        std::fprintf(stderr,
                     "tarvelo: Qt's Japanese translations were not found; its own "
                     "buttons and dialogs stay English\n");
    // The backend outlives the window, whose arrangement holds its devices.
    std::unique_ptr<MidiBackend> backend = createBackend(api);
    if (!backend) {
        std::fprintf(stderr, "tarvelo: unknown MIDI API '%s'\n", requestedMidiApi(api).c_str());
        return 2;
    }
    ui::CMainDialog window(*backend);
    if (!window.initialize())
        return 0;
    if (!file.empty())
        window.openAtStartUp(file);
    window.exec();
    return 0;
}

}  // namespace tarvelo::app

#endif  // TARVELO_WITH_GUI
