#pragma once

#include <string_view>

namespace tarvelo::app {

// Prints the arrangement file at path as JSON on standard output without opening any device.
// Returns the exit status: 0, or 2 when the file is missing, unreadable or not an arrangement
// (one line on standard error says why).
int runDump(std::string_view path);

}  // namespace tarvelo::app
