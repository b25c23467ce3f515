#pragma once

#include <string_view>

namespace tarvelo::app {

// Opens the main window on the MIDI API named by api ("" for the automatic choice) and returns
// the process's exit status once it closes. Must run on the process's main thread.
int runGui(int argc, char** argv, std::string_view api);

}  // namespace tarvelo::app
