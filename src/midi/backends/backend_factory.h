#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "midi/backend.h"

namespace tarvelo {

// Environment variable that picks the MIDI API when the caller leaves the choice open.
inline constexpr const char* kMidiApiVariable = "TARVELO_MIDI_API";

// The API name createBackend(api) goes by: api itself, or when it is empty the environment
// variable's value (empty when that is unset too). Lets a caller name a value it was refused.
std::string requestedMidiApi(std::string_view api);

// The system MIDI backend for api: "alsa" (the ALSA sequencer), "jack" (a JACK server), "virtual"
// (an in-process system with no devices), or "" for the environment variable's choice and, when
// that is unset or empty, automatic: ALSA when the sequencer can be opened, else JACK (which
// lists no devices while no server runs and connects once one does).
//
// A backend whose system cannot be reached is still returned; it lists no devices. Null only for
// an API name not listed above. User-interface thread.
std::unique_ptr<MidiBackend> createBackend(std::string_view api);

}  // namespace tarvelo
