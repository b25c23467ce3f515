#include "midi/synth/sound_font_locator.h"

#include <cstdlib>

#include "reference/input_file.h"

namespace tarvelo::synth {

namespace {

bool isUsableFile(const std::string& path) {
    return !checkInputFile(path, input_limits::kSoundFontBytes);
}

SoundFontChoice named(std::string path, std::string_view source) {
    const auto error = checkInputFile(path, input_limits::kSoundFontBytes);
    if (!error)
        return {std::move(path), {}, true};
    return {{},
            "the SoundFont '" + path + "' given by " + std::string(source) +
                " cannot be read: " + error->detail,
            true};
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
        if (isUsableFile(candidate))
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
