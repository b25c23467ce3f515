#include "midi/synth/audio_logs.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <mutex>

namespace tarvelo::synth {

namespace {
void discard(int, const char*, void*) {}
void discardAlsa(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

void silenceAudioLogs() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, discard, nullptr);
        snd_lib_error_set_handler(discardAlsa);
    });
}

}  // namespace tarvelo::synth
