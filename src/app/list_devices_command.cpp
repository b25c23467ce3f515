#include "app/list_devices_command.h"

#include <cstdio>
#include <string>
#include <vector>

#include "midi/backends/backend_factory.h"
#include "midi/built_in_devices.h"
#include "midi/synth/sound_font_locator.h"

namespace tarvelo::app {

namespace {

void printList(const char* title, const std::vector<std::string>& names) {
    std::printf("%s:\n", title);
    if (names.empty())
        std::puts("  (none)");
    for (std::size_t i = 0; i < names.size(); ++i)
        std::printf("  %zu: %s\n", i, names[i].c_str());
}

}  // namespace

int runListDevices(const MidiOptions& options) {
    const std::string_view api = options.api;
    const auto backend = createBackend(api);
    if (!backend) {
        // Only the environment can name an unknown one: the command line checks its own.
        std::fprintf(stderr, "tarvelo: unknown MIDI API '%s'\n", requestedMidiApi(api).c_str());
        return 2;
    }
    const std::string_view name = backend->apiName();
    std::printf("MIDI API: %.*s\n", static_cast<int>(name.size()), name.data());
    printList("Input devices", backend->inputNames());
    std::vector<std::string> outputs = backend->outputNames();
    const synth::SoundFontChoice soundFont = synth::chooseSoundFont(options.soundFont);
    if (!soundFont.path.empty())
        outputs.emplace_back(kSynthDeviceName);
    printList("Output devices", outputs);
    if (soundFont.path.empty()) {
        std::printf("SoundFont: none (%s)\n", soundFont.error.c_str());
    } else {
        std::printf("SoundFont: %s\n", soundFont.path.c_str());
    }
    return 0;
}

}  // namespace tarvelo::app
