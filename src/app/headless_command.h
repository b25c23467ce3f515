#pragma once

#include <string_view>

namespace tarvelo::app {

// Plays the arrangement file at path without a window on the MIDI API named by api ("" for the
// automatic choice): loads it (missing devices are reported on standard error and replaced by
// device 0), sends every Part's initial messages, and routes the input until SIGINT or SIGTERM;
// then silences and closes every device. Returns the exit status: 0, or 2 when the file is
// missing, unreadable or not an arrangement (one line on standard error says why) or the API is
// unknown. Must run on the process's main thread.
int runHeadless(std::string_view path, std::string_view api);

}  // namespace tarvelo::app
