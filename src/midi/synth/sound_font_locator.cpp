#include "midi/synth/sound_font_locator.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tarvelo::synth {

namespace {

bool isReadableFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

SoundFontChoice named(std::string path, std::string_view source) {
    if (isReadableFile(path))
        return {std::move(path), {}};
    return {{}, "the SoundFont '" + path + "' given by " + std::string(source) + " is not a file"};
}

}  // namespace

std::vector<std::string> systemSoundFonts() {
    return {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf3/FluidR3_GM.sf3",
            "/usr/share/sounds/sf2/TimGM6mb.sf2"};
}

SoundFontChoice chooseSoundFont(std::string_view fromCommandLine,
                                const std::vector<std::string>& candidates) {
    if (!fromCommandLine.empty())
        return named(std::string(fromCommandLine), "--soundfont");
    if (const char* fromEnvironment = std::getenv(kSoundFontVariable);
        fromEnvironment != nullptr && *fromEnvironment != '\0') {
        return named(fromEnvironment, kSoundFontVariable);
    }
    for (const std::string& candidate : candidates) {
        if (isReadableFile(candidate))
            return {candidate, {}};
    }
    std::string looked;
    for (const std::string& candidate : candidates)
        looked += (looked.empty() ? "" : ", ") + candidate;
    return {{},
            "no SoundFont found (none given with --soundfont or " +
                std::string(kSoundFontVariable) + ", none of " + looked + ")"};
}

}  // namespace tarvelo::synth
