#pragma once

#include <string_view>

namespace tarvelo::app {

// Prints the arrangement file at path as JSON on standard output without opening any device,
// with the settings of its companion file when that is there and can be used (when it cannot, one
// line on standard error says why, and the status stays 0).
// Returns the exit status: 0, or 2 when the file is missing, unreadable or not an arrangement
// (one line on standard error says why).
int runDump(std::string_view path);

}  // namespace tarvelo::app
