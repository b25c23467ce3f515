#include "midi/synth/audio_logs.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <glib.h>

#include <mutex>

namespace tarvelo::synth {

namespace {
void discardAlsa(const char*, int, const char*, int, const char*, ...) {}
void discardGlib(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
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
        // libinstpatch, which FluidSynth asks about every SoundFont first, logs through GLib
        // without a domain (a damaged file gives a CRITICAL line).
        g_log_set_handler(
            nullptr,
            static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
            discardGlib, nullptr);
    });
}

}  // namespace tarvelo::synth
