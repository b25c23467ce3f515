#pragma once

#include "app/midi_system.h"

namespace tarvelo::app {

// Prints the MIDI system that options.api chooses and its input and output devices, the
// built-in ones included (the synthesizer when a SoundFont is found, without loading it).
// Returns 0, or 2 for an unknown API.
int runListDevices(const MidiOptions& options);

}  // namespace tarvelo::app
