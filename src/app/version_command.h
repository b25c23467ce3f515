#pragma once

namespace tarvelo::app {

// Prints "Tarvelo <version>" and the licence, one line each, on standard output. Returns the
// exit status, 0.
int runVersion();

}  // namespace tarvelo::app
