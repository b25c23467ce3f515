#include "midi/backends/backend_factory.h"

#include <cstdlib>
#include <string>

#include "midi/backends/alsa/alsa_sequencer.h"
#include "midi/backends/alsa/rtmidi_backend.h"
#include "midi/backends/internal/internal_backend.h"
#include "midi/backends/jack/jack_backend.h"
#include "midi/backends/virtual/virtual_backend.h"

namespace tarvelo {

std::string requestedMidiApi(std::string_view api) {
    if (!api.empty())
        return std::string(api);
    const char* fromEnvironment = std::getenv(kMidiApiVariable);
    return fromEnvironment ? std::string(fromEnvironment) : std::string();
}

std::unique_ptr<MidiBackend> createBackend(std::string_view api) {
    const std::string chosen = requestedMidiApi(api);
    if (chosen == "alsa")
        return std::make_unique<RtMidiBackend>(RtMidi::LINUX_ALSA);
    if (chosen == "jack")
        return std::make_unique<JackBackend>();
    if (chosen == "internal")
        return std::make_unique<InternalBackend>();
    if (chosen == "virtual")
        return std::make_unique<VirtualBackend>(std::size_t{1} << 12);
    if (!chosen.empty())
        return nullptr;

    if (rtmidi::alsaSequencerAvailable())
        return std::make_unique<RtMidiBackend>(RtMidi::LINUX_ALSA);
    auto jack = std::make_unique<JackBackend>();
    if (jack->connected())
        return jack;
    return std::make_unique<InternalBackend>();
}

std::unique_ptr<synth::SynthBackend> addSynth(std::unique_ptr<MidiBackend> system,
                                              const synth::SynthOptions& options) {
    auto* internal = dynamic_cast<InternalBackend*>(system.get());
    auto backend = std::make_unique<synth::SynthBackend>(std::move(system), options);
    // The internal system's input lives on the synthesizer's render thread.
    if (internal != nullptr)
        backend->setRenderThreadInput(*internal, *internal);
    return backend;
}

}  // namespace tarvelo
