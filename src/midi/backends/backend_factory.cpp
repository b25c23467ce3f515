#include "midi/backends/backend_factory.h"

#include <cstdlib>
#include <string>

#include "midi/backends/alsa/alsa_sequencer.h"
#include "midi/backends/alsa/rtmidi_backend.h"
#include "midi/backends/jack/jack_backend.h"
#include "midi/backends/virtual/virtual_backend.h"

namespace tarvelo {

std::unique_ptr<MidiBackend> createBackend(std::string_view api) {
    std::string chosen(api);
    if (chosen.empty()) {
        if (const char* fromEnvironment = std::getenv(kMidiApiVariable))
            chosen = fromEnvironment;
    }
    if (chosen == "alsa")
        return std::make_unique<RtMidiBackend>(RtMidi::LINUX_ALSA);
    if (chosen == "jack")
        return std::make_unique<JackBackend>();
    if (chosen == "virtual")
        return std::make_unique<VirtualBackend>(std::size_t{1} << 12);
    if (!chosen.empty())
        return nullptr;

    if (rtmidi::alsaSequencerAvailable())
        return std::make_unique<RtMidiBackend>(RtMidi::LINUX_ALSA);
    return std::make_unique<JackBackend>();
}

}  // namespace tarvelo
