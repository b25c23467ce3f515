#pragma once

#include <string>

#include "model/arrangement_codec.h"

namespace tarvelo {

// The arrangement as one JSON object (UTF-8, two-space indents, ending in a newline): the
// header fields, the input device's name, every Part with all its fields and initial messages
// (exclusive bytes as upper-case hexadecimal pairs separated by spaces), and the target.
std::string arrangementToJson(const StoredArrangement& arrangement);

}  // namespace tarvelo
