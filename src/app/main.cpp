// The program's entry: reads the command line and hands over to one command, each in a file of
// its own.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

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

enum class Command { None, Help, Version, ListDevices, ReferenceFiles, Headless, Dump };

struct CommandLine {
    Command command = Command::None;
    tarvelo::app::MidiOptions midi;
    std::string file;      // the arrangement file of --headless and --dump
    std::string openFile;  // the arrangement the window opens with; empty for a new one
    std::string error;     // why the line cannot be used; empty when it can
};

// The options that take a file, and where each one's file goes.
struct FileOption {
    std::string_view name;
    std::string tarvelo::app::MidiOptions::*field;
};
constexpr FileOption kFileOptions[] = {
    {"--soundfont", &tarvelo::app::MidiOptions::soundFont},
    {"--record", &tarvelo::app::MidiOptions::record},
    {"--play", &tarvelo::app::MidiOptions::play},
};

const FileOption* findFileOption(std::string_view arg) {
    for (const FileOption& option : kFileOptions) {
        if (option.name == arg)
            return &option;
    }
    return nullptr;
}

// Options: one command at most, plus --midi-api API (also written --midi-api=API) and the
// options of the MIDI side (--soundfont, --record, --play, --no-audio-connect); without a
// command, one arrangement file for the window (after "--" a name may start with '-').
CommandLine parse(int argc, char** argv) {
    CommandLine line;
    bool optionsEnded = false;
    const auto setCommand = [&line](Command command, std::string_view option) {
        if (line.command != Command::None && line.command != command) {
            line.error = "'" + std::string(option) + "' cannot be combined with another command";
        }
        line.command = command;
    };
    constexpr std::string_view kApiOption = "--midi-api";
    for (int i = 1; i < argc && line.error.empty(); ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || !arg.starts_with('-')) {
            if (!line.openFile.empty()) {
                line.error = "only one arrangement file can be opened";
                break;
            }
            line.openFile = arg;
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            setCommand(Command::Help, arg);
        } else if (arg == "--version") {
            setCommand(Command::Version, arg);
        } else if (arg == "--list-devices") {
            setCommand(Command::ListDevices, arg);
        } else if (arg == "--reference-files") {
            setCommand(Command::ReferenceFiles, arg);
        } else if (arg == "--headless" || arg == "--dump") {
            setCommand(arg == "--dump" ? Command::Dump : Command::Headless, arg);
            if (i + 1 == argc) {
                line.error = "option '" + std::string(arg) + "' needs a file";
                break;
            }
            line.file = argv[++i];
        } else if (arg == "--no-audio-connect") {
            line.midi.connectAudio = false;
        } else if (const FileOption* option = findFileOption(arg)) {
            if (i + 1 == argc) {
                line.error = "option '" + std::string(arg) + "' needs a file";
                break;
            }
            line.midi.*option->field = argv[++i];
        } else if (arg == "--play-channels") {
            if (i + 1 == argc) {
                line.error = "option '--play-channels' needs a list of channels, such as 1,2";
                break;
            }
            const std::string_view list = argv[++i];
            const auto channels = tarvelo::app::parseChannelList(list);
            if (!channels) {
                line.error = "'" + std::string(list) +
                             "' is not a list of channels 1 to 16 separated by commas";
                break;
            }
            line.midi.playChannels = *channels;
        } else if (arg == kApiOption || arg.starts_with("--midi-api=")) {
            std::string_view value;
            if (arg == kApiOption) {
                if (i + 1 == argc) {
                    line.error = "option '--midi-api' needs a value: alsa, jack or internal";
                    break;
                }
                value = argv[++i];
            } else {
                value = arg.substr(kApiOption.size() + 1);
            }
            if (value != "alsa" && value != "jack" && value != "internal") {
                line.error =
                    "unknown MIDI API '" + std::string(value) + "' (alsa, jack or internal)";
                break;
            }
            line.midi.api = value;
        } else {
            line.error = "unknown option '" + std::string(arg) + "'";
        }
    }
    if (line.error.empty() && line.midi.playChannels != tarvelo::synth::kAllChannels &&
        line.midi.play.empty())
        line.error = "option '--play-channels' needs --play";
    if (line.error.empty() && !line.openFile.empty() && line.command != Command::None)
        line.error = "a file to open cannot be combined with a command: '" + line.openFile + "'";
    return line;
}

int run(int argc, char** argv) {
    const CommandLine line = parse(argc, argv);
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
            return tarvelo::app::runHeadless(line.file, line.midi);
        case Command::Dump:
            return tarvelo::app::runDump(line.file);
        case Command::None:
            break;
    }
#if TARVELO_WITH_GUI
    // No command: the main window, on the chosen MIDI API, with the file given or a new
    // arrangement.
    return tarvelo::app::runGui(argc, argv, line.midi, line.openFile);
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
