#pragma once

#include <string>

#include "app/midi_system.h"

namespace tarvelo::app {

// What the program is asked to do: at most one command; without one, the window.
enum class Command { None, Help, Version, ListDevices, ReferenceFiles, Headless, Dump };

struct CommandLine {
    Command command = Command::None;
    MidiOptions midi;
    std::string file;      // the arrangement file of --headless and --dump
    std::string openFile;  // the arrangement or set list the window opens; empty for a new one
    int song = -1;         // --song: the set list's song to start with (0-based); -1: the first
    std::string error;     // why the line cannot be used (one line); empty when it can
};

// Reads the program's arguments (CLI11 does the parsing). Options: one command at most, the
// options of the MIDI side, and without a command one arrangement file for the window (after
// "--" a name may start with '-'). A value may follow its option as the next argument or after
// '='. An option given twice takes its last value.
CommandLine parseCommandLine(int argc, char** argv);

// The usage, made from the same table of options that parseCommandLine reads.
std::string usageText();

}  // namespace tarvelo::app
