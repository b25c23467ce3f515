#include "app/reference_files_command.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "reference/midi_reference.h"

namespace tarvelo::app {

namespace {

std::string shown(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path.string() : full.lexically_normal().string();
}

// One line about one file; false when it cannot be loaded.
template <typename Load, typename Count>
bool report(const char* name, Load load, Count count) {
    const std::filesystem::path path = findReferenceFile(name);
    MidiReference reference;
    if ((reference.*load)(path)) {
        std::printf("%s: %s (%d entries)\n", name, shown(path).c_str(), (reference.*count)());
        return true;
    }
    std::string searched;
    for (const std::filesystem::path& directory : referenceDirectories()) {
        searched += searched.empty() ? "" : ", ";
        searched += directory.empty() ? std::string("the current directory") : directory.string();
    }
    std::printf("%s: cannot be loaded (looked in %s)\n", name, searched.c_str());
    return false;
}

}  // namespace

int runReferenceFiles() {
    const bool messages = report("midi_msg.mdr", &MidiReference::LoadMidiMessageReference,
                                 &MidiReference::messageCount);
    const bool controllers = report("cc.mdr", &MidiReference::LoadControlChangeReference,
                                    &MidiReference::controllerCount);
    return messages && controllers ? 0 : 1;
}

}  // namespace tarvelo::app
