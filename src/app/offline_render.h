#pragma once

#include "app/midi_system.h"
#include "session/headless_runner.h"

namespace tarvelo::app {

// How an offline render ended.
enum class RenderEnd {
    Played,   // the file has played and its sound has died away (MidiSystem::playedOut)
    Stopped,  // stopFd became readable first
    Failed,   // the recording could not be written
};

// Renders the synthesizer on this thread as fast as it goes, with the MIDI file playing into the
// internal system's virtual input, until the file has played out. The recording is written as
// it is rendered, so the same inputs always give the same bytes. The session's own notices
// (completions, posted notes) are handled between periods. Main thread.
RenderEnd renderOffline(MidiSystem& system, HeadlessRunner& session, int stopFd);

}  // namespace tarvelo::app
