#pragma once

#include <string>
#include <string_view>

namespace tarvelo::app {

// Opens the main window on the MIDI API named by api ("" for the automatic choice) and returns
// the process's exit status once it closes. With a file, the window opens it as Open does once
// the file is chosen (missing devices and an unreadable file are reported in message boxes; the
// latter leaves the new arrangement). Must run on the process's main thread.
int runGui(int argc, char** argv, std::string_view api, const std::string& file);

}  // namespace tarvelo::app
