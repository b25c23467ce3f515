#pragma once

#include <string_view>

#include "app/midi_system.h"

namespace tarvelo::app {

// Plays the arrangement file at path without a window on the MIDI system options ask for: loads
// it (missing devices are reported on standard error and kept under their names), starts the
// recording, waits for the built-in synthesizer's SoundFont, sends every Part's initial
// messages, and routes the input until SIGINT or SIGTERM; then silences and closes every device.
//
// With a MIDI file to play (options.play), the file is played into "Tarvelo Virtual In", which
// becomes the input, and the run ends once the file has played out (MidiSystem::playedOut). On
// the internal system with a recording, that happens faster than real time.
//
// Returns the exit status: 0; 2 when something checked before the run starts is wrong (the
// arrangement file is missing, unreadable or not an arrangement, the API is unknown, the MIDI
// file cannot be played, the SoundFont does not load, the recording cannot be created), with
// one line on standard error saying why; 1 when the recording could not be written completely
// or a run that plays a file was stopped before its end. Must run on the process's main thread.
// A set list (told by the file's content) plays its song `song` (0-based; -1: the first), and
// SIGUSR2 selects the next song; each problem of a set list that cannot be used is one line.
int runHeadless(std::string_view path, const MidiOptions& options, int song = -1);

}  // namespace tarvelo::app
