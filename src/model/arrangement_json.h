#pragma once

#include <string>

#include "model/arrangement_codec.h"
#include "model/companion_file.h"

namespace tarvelo {

// The arrangement as one JSON object (UTF-8, two-space indents, ending in a newline): the
// header fields, the input device's name, every Part with all its fields and initial messages
// (exclusive bytes as upper-case hexadecimal pairs separated by spaces), and the target. With
// `companion` (one entry per Part), each Part also shows its two switches and the object ends
// with the panic trigger, as the companion file spells them. A byte that is not UTF-8 is shown as
// U+FFFD.
std::string arrangementToJson(const StoredArrangement& arrangement,
                              const CompanionSettings* companion = nullptr);

}  // namespace tarvelo
