// Feeds arbitrary bytes to the arrangement file parser and checks what every accepted file must
// satisfy: its texts are valid UTF-8, its sizes fit in the input, and writing it out and reading
// that back gives the same arrangement.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "model/arrangement_file.h"
#include "reference/cp932.h"

namespace {

bool validTexts(const tarvelo::StoredArrangement& a) {
    if (!tarvelo::isValidUtf8(a.inputDeviceName) || !tarvelo::isValidUtf8(a.targetDeviceName)) {
        return false;
    }
    for (const tarvelo::StoredPart& p : a.parts) {
        if (!tarvelo::isValidUtf8(p.part.name) || !tarvelo::isValidUtf8(p.outputDeviceName)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tarvelo::ArrangementReadResult read = tarvelo::decodeArrangement(std::span(data, size));
    if (!read.ok()) {
        if (read.error.detail.empty()) {
            std::abort();
        }
        return 0;
    }
    const tarvelo::StoredArrangement& a = *read.arrangement;
    // Every Part and message takes bytes of the file, so none can be made up.
    if (a.parts.empty() || a.parts.size() > size) {
        std::abort();
    }
    std::size_t exclusiveBytes = 0;
    for (const tarvelo::StoredPart& p : a.parts) {
        for (const tarvelo::InitialMessage& m : p.messages.messages()) {
            if (!m.sysexData.empty() &&
                static_cast<std::size_t>(m.sysexLength) != m.sysexData.size()) {
                std::abort();
            }
            exclusiveBytes += m.sysexData.size();
        }
    }
    if (exclusiveBytes > size || !validTexts(a)) {
        std::abort();
    }
    const std::vector<std::uint8_t> again = tarvelo::encodeArrangement(a);
    const tarvelo::ArrangementReadResult reread = tarvelo::decodeArrangement(again);
    if (!reread.ok() || !(*reread.arrangement == a)) {
        std::abort();
    }
    return 0;
}
