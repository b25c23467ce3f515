#pragma once

namespace tarvelo::app {

// Prints the command-line usage on standard output. Returns the exit status, 0.
int runHelp();

}  // namespace tarvelo::app
