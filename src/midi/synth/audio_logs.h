#pragma once

namespace tarvelo::synth {

// Keeps FluidSynth, the ALSA library under its audio driver and libinstpatch under its SoundFont
// loader from printing on their own: the program reports what matters in its own words (one line
// each), and their logs would also format and write on the audio thread. After it, none formats a
// line at all. Any thread; takes effect once for the process.
void silenceAudioLogs();

}  // namespace tarvelo::synth
