// The program's entry: reads the command line and hands over to one command, each in a file of
// its own.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "app/command_line.h"
#include "app/dump_command.h"
#include "app/headless_command.h"
#include "app/help_command.h"
#include "app/list_devices_command.h"
#include "app/reference_files_command.h"
#include "app/version_command.h"

#if TARVELO_WITH_GUI
#include "app/gui_command.h"
#endif

namespace {

using tarvelo::app::Command;

int run(int argc, char** argv) {
    const tarvelo::app::CommandLine line = tarvelo::app::parseCommandLine(argc, argv);
    if (!line.error.empty()) {
        std::fprintf(stderr, "tarvelo: %s\nTry 'tarvelo --help'.\n", line.error.c_str());
        return 2;
    }
    switch (line.command) {
        case Command::Help:
            return tarvelo::app::runHelp();
        case Command::Version:
            return tarvelo::app::runVersion();
        case Command::ListDevices:
            return tarvelo::app::runListDevices(line.midi);
        case Command::ReferenceFiles:
            return tarvelo::app::runReferenceFiles();
        case Command::Headless:
            return tarvelo::app::runHeadless(line.file, line.midi, line.song);
        case Command::Dump:
            return tarvelo::app::runDump(line.file);
        case Command::None:
            break;
    }
#if TARVELO_WITH_GUI
    // No command: the main window, on the chosen MIDI API, with the file given or a new
    // arrangement.
    return tarvelo::app::runGui(argc, argv, line.midi, line.openFile, line.song);
#else
    if (!line.openFile.empty()) {
        std::fputs("tarvelo: built without its window; play a file with --headless FILE\n", stderr);
        return 2;
    }
    return tarvelo::app::runHelp();
#endif
}

// One line for an error nothing else caught, however its text is laid out.
void reportUncaught(std::string what) {
    std::replace(what.begin(), what.end(), '\n', ' ');
    std::fprintf(stderr, "tarvelo: stopped by an unexpected error: %s\n", what.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    // Every expected failure is reported where it happens; this is the guard for the rest, so
    // that no exception ends the program with an abort and a core dump.
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        reportUncaught(error.what());
    } catch (...) {
        reportUncaught("not a standard exception");
    }
    return 1;
}
