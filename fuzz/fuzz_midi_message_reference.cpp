// Feeds arbitrary bytes to the message-file reader as if they were "midi_msg.mdr" and checks
// what every loaded table must satisfy whatever the file held.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reference/cp932.h"
#include "reference/midi_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tarvelo::MidiReference reference;
    const bool loaded = reference.LoadMidiMessageReferenceFromText(bytes);
    if (!loaded && reference.messageCount() != 0) {
        std::abort();
    }
    // A line takes at least one byte of the file, so the table can never outgrow it.
    if (static_cast<std::size_t>(reference.messageCount()) > size) {
        std::abort();
    }
    for (int i = 0; i < reference.messageCount(); ++i) {
        const tarvelo::MessageReferenceEntry& entry = reference.message(i);
        if (entry.name.size() > tarvelo::MidiReference::kMaxNameBytes ||
            !tarvelo::isValidUtf8(entry.name)) {
            std::abort();
        }
        const std::string name = reference.GetMessageName(entry.type, entry.status, entry.data1);
        if (!tarvelo::isValidUtf8(name)) {
            std::abort();
        }
    }
    return 0;
}
