#pragma once

#include "app/midi_system.h"
#include "session/headless_runner.h"

namespace tarvelo::app {

// Renders the synthesizer on this thread as fast as it goes, with the MIDI file playing into the
// internal system's virtual input, until the file has ended and the sound has died away (or
// stopFd becomes readable). The recording is written as it is rendered, so the same inputs
// always give the same bytes. The session's own notices (completions, posted notes) are handled
// between periods. Main thread.
void renderOffline(MidiSystem& system, HeadlessRunner& session, int stopFd);

}  // namespace tarvelo::app
