#include "midi/backends/alsa/alsa_sequencer.h"

#include <alsa/asoundlib.h>

#include <mutex>

namespace tarvelo::rtmidi {

namespace {

void quiet(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

bool alsaSequencerAvailable() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(quiet); });
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0)
        return false;
    snd_seq_close(seq);
    return true;
}

}  // namespace tarvelo::rtmidi
