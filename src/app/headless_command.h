#pragma once

#include <string_view>

#include "app/midi_system.h"

namespace tarvelo::app {

// Plays the arrangement file at path without a window on the MIDI system options ask for: loads
// it (missing devices are reported on standard error and replaced by device 0), waits for the
// built-in synthesizer's SoundFont, sends every Part's initial messages, and routes the input
// until SIGINT or SIGTERM; then silences and closes every device.
//
// With a MIDI file to play (options.play), the file is played into "Tarvelo Virtual In", which
// becomes the input, and the run ends once the file has ended and the synthesizer has fallen
// silent. On the internal system with a recording, that happens faster than real time.
//
// Returns the exit status: 0, or 2 when the file is missing, unreadable or not an arrangement
// (one line on standard error says why), the API is unknown or the MIDI file unreadable, 1 when
// the recording could not be written. Must run on the process's main thread.
int runHeadless(std::string_view path, const MidiOptions& options);

}  // namespace tarvelo::app
