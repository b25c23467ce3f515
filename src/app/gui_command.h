#pragma once

#include <string>

#include "app/midi_system.h"

namespace tarvelo::app {

// Opens the main window on the MIDI system options ask for and returns the process's exit
// status once it closes. With a file, the window opens it as Open does once the file is chosen
// (missing devices and an unreadable file are reported in message boxes; the latter leaves the
// new arrangement). A MIDI file given to play starts once the synthesizer's SoundFont has
// loaded. Must run on the process's main thread.
int runGui(int argc, char** argv, const MidiOptions& options, const std::string& file,
           int song = -1);

}  // namespace tarvelo::app
