#include "midi/synth/audio_logs.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <mutex>

namespace tarvelo::synth {

namespace {
void discardAlsa(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

void silenceAudioLogs() {
    static std::once_flag once;
    std::call_once(once, [] {
        // No function at all rather than one that discards: FluidSynth formats each line (with
        // vsnprintf) before it calls the function, on whatever thread logs, the render thread
        // included.
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
        snd_lib_error_set_handler(discardAlsa);
    });
}

}  // namespace tarvelo::synth
