#pragma once

#include "midi/backend.h"
#include "reference/midi_reference.h"
#include "session/live_session.h"
#include "ui/main/band_selection.h"

namespace tarvelo::ui {

// What the main window shows and edits, apart from its controls: the live session (the
// arrangement and the MIDI devices), the reference tables the initial-message editor names
// messages by, and the selection of bands. Whoever runs the window owns it, builds the window
// over it and may look into it; it outlives the window, which is the session's host while it
// exists. User-interface thread only.
struct MainWindowModel {
    explicit MainWindowModel(MidiBackend& backend) : session(backend) {}

    LiveSession session;
    MidiReference reference;
    BandSelection selection;
};

}  // namespace tarvelo::ui
