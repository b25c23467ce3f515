// Feeds arbitrary bytes to the companion file parser: a file it accepts holds one entry per Part
// it was asked for and a panic trigger within range, and writing it out and reading that back
// gives the same settings; one it refuses says why.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "model/companion_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The part count asked for comes from the input too, so that matching counts are reached (a
    // file that starts with a line break asks for two Parts).
    const int partCount = size > 0 ? data[0] % 8 : 0;
    const tarvelo::CompanionReadResult read =
        tarvelo::decodeCompanion(std::span(data, size), partCount);
    if (read.settings.has_value() == read.fault.has_value()) {
        std::abort();
    }
    if (read.fault) {
        if (read.fault->detail.empty()) {
            std::abort();
        }
        return 0;
    }
    const tarvelo::CompanionSettings& s = *read.settings;
    const tarvelo::PanicTrigger& panic = s.panic;
    if (s.parts.size() != static_cast<std::size_t>(partCount) || panic.value < 0 ||
        panic.value > 127 ||
        (panic.controller != tarvelo::PanicTrigger::kOff && !panic.enabled())) {
        std::abort();
    }
    const std::string again = tarvelo::encodeCompanion(s);
    const tarvelo::CompanionReadResult reread = tarvelo::decodeCompanion(
        std::span(reinterpret_cast<const std::uint8_t*>(again.data()), again.size()), partCount);
    if (!reread.settings || !(*reread.settings == s)) {
        std::abort();
    }
    return 0;
}
