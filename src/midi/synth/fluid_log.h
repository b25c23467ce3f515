#pragma once

namespace tarvelo::synth {

// Keeps FluidSynth from printing on its own: the program reports what matters in its own words
// (one line each), and FluidSynth's log would also write from the audio thread. Any thread;
// takes effect once for the process.
void silenceFluidSynthLog();

}  // namespace tarvelo::synth
