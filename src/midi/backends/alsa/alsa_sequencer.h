#pragma once

namespace tarvelo::rtmidi {

// True when the ALSA sequencer can be opened now; a machine without sound hardware or without the
// sequencer module has none. From the first call on, the ALSA library prints no errors of its own
// (the program keeps no log, and a missing sequencer is not an error to it).
bool alsaSequencerAvailable();

}  // namespace tarvelo::rtmidi
