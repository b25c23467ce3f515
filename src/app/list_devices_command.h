#pragma once

#include <string_view>

namespace tarvelo::app {

// Prints the MIDI API in use and its input and output devices, numbered as the program numbers
// them, on standard output. api: "alsa", "jack", or "" for the automatic choice. Returns the exit
// status: 0, or 2 when the API is unknown (one line on standard error says so).
int runListDevices(std::string_view api);

}  // namespace tarvelo::app
