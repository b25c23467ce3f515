#include "midi/synth/fluid_log.h"

#include <fluidsynth.h>

#include <mutex>

namespace tarvelo::synth {

namespace {
void discard(int, const char*, void*) {}
}  // namespace

void silenceFluidSynthLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, discard, nullptr);
    });
}

}  // namespace tarvelo::synth
