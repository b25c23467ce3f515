#pragma once

namespace tarvelo {

// The devices the program brings itself, listed by every MIDI system under these names (which
// arrangement files store like any other device name).
inline constexpr const char* kSynthDeviceName = "Tarvelo GM Synth";
inline constexpr const char* kVirtualInputName = "Tarvelo Virtual In";

}  // namespace tarvelo
