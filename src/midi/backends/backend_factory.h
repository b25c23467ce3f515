#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "midi/backend.h"
#include "midi/synth/synth_backend.h"

namespace tarvelo {

// Environment variable that picks the MIDI API when the caller leaves the choice open.
inline constexpr const char* kMidiApiVariable = "TARVELO_MIDI_API";

// The API name createBackend(api) goes by: api itself, or when it is empty the environment
// variable's value (empty when that is unset too). Lets a caller name a value it was refused.
std::string requestedMidiApi(std::string_view api);

// The system MIDI backend for api: "alsa" (the ALSA sequencer), "jack" (a JACK server),
// "internal" (the program's own system: the virtual input, and the built-in devices added on
// top), "virtual" (an in-process system with no devices, for tests), or "" for the environment
// variable's choice and, when that is unset or empty, automatic: ALSA when the sequencer can be
// opened, else JACK when a server answers, else the internal system.
//
// A backend whose system cannot be reached is still returned; it lists no devices. Null only for
// an API name not listed above. User-interface thread.
std::unique_ptr<MidiBackend> createBackend(std::string_view api);

// The system with the built-in synthesizer listed among its outputs (when options.soundFont
// names one) and its sound played as the system allows. User-interface thread.
std::unique_ptr<synth::SynthBackend> addSynth(std::unique_ptr<MidiBackend> system,
                                              const synth::SynthOptions& options);

}  // namespace tarvelo
