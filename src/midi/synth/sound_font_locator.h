#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvelo::synth {

// Environment variable naming the SoundFont when the command line does not.
inline constexpr const char* kSoundFontVariable = "TARVELO_SOUNDFONT";

// Where the built-in synthesizer's SoundFont comes from.
struct SoundFontChoice {
    std::string path;    // the file to load; empty when there is none
    std::string error;   // when path is empty: why, in one line (no program name)
    bool named = false;  // given by the command line or the environment
};

// The General MIDI SoundFonts of Debian, best first: fluid-soundfont-gm (large), then
// timgm6mb-soundfont (small, installed by the setup script).
std::vector<std::string> systemSoundFonts();

// fromCommandLine (--soundfont) when given, else the environment variable's file, else the first
// of candidates that is a regular file within input_limits::kSoundFontBytes. A file named
// explicitly must be one; it is not replaced by another.
SoundFontChoice chooseSoundFont(std::string_view fromCommandLine,
                                const std::vector<std::string>& candidates = systemSoundFonts());

}  // namespace tarvelo::synth
