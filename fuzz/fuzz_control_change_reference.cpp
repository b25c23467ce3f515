// Feeds arbitrary bytes to the controller-file reader as if they were "cc.mdr" and checks what
// every loaded table must satisfy whatever the file held.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reference/cp932.h"
#include "reference/midi_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tarvelo::MidiReference reference;
    if (!reference.LoadControlChangeReferenceFromText(bytes) ||
        reference.controllerCount() != tarvelo::MidiReference::kControllerCount) {
        std::abort();
    }
    for (int n = 0; n < reference.controllerCount(); ++n) {
        const tarvelo::ControllerReferenceEntry& entry = reference.controller(n);
        if (entry.name.size() > tarvelo::MidiReference::kMaxNameBytes ||
            entry.extraText.size() > tarvelo::MidiReference::kMaxExtraTextBytes ||
            !tarvelo::isValidUtf8(entry.name) || !tarvelo::isValidUtf8(entry.extraText)) {
            std::abort();
        }
    }
    return 0;
}
