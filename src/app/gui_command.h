#pragma once

#include "app/midi_system.h"

namespace tarvelo::app {

// Opens the main window on the MIDI system options ask for and returns the process's exit
// status once it closes. A MIDI file given to play starts once the synthesizer's SoundFont has
// loaded. Must run on the process's main thread.
int runGui(int argc, char** argv, const MidiOptions& options);

}  // namespace tarvelo::app
