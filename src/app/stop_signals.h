#pragma once

#include <signal.h>

namespace tarvelo::app {

// Turns SIGINT, SIGTERM and SIGHUP (Ctrl-C, kill, a closed terminal or a logout) into a readable
// descriptor for as long as it lives, so that the program stops through its own shutdown (every
// device reset and closed) instead of dying with notes left sounding. One at a time per process.
// Main thread.
class StopSignals {
  public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Readable once a stop signal has come; -1 when no descriptor could be made (the signals
    // then keep their default action).
    int fd() const { return fd_; }

  private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    int fd_ = -1;
    struct sigaction old_[3]{};
};

}  // namespace tarvelo::app
