#pragma once

#include <signal.h>

#include <vector>

namespace tarvelo::app {

// Turns signals into a readable descriptor (an eventfd counter) for as long as it lives: the
// handler only writes to the descriptor, and the owner's loop waits on it and acts. So a signal
// never runs program code on whichever thread it lands on (a MIDI or audio thread among them).
// Each signal is watched by one object at a time. Main thread.
class SignalDescriptor {
  public:
    explicit SignalDescriptor(std::vector<int> numbers);
    ~SignalDescriptor();
    SignalDescriptor(const SignalDescriptor&) = delete;
    SignalDescriptor& operator=(const SignalDescriptor&) = delete;

    // Readable once one of the signals has come; -1 when no descriptor could be made (the
    // signals then keep their default action).
    int fd() const { return fd_; }

    // Empties the descriptor; true when a signal came since the last call. Never blocks.
    bool take() const;

  private:
    std::vector<int> signals_;
    std::vector<struct sigaction> old_;
    int fd_ = -1;
};

// SIGINT, SIGTERM and SIGHUP (Ctrl-C, kill, a closed terminal or a logout), so that the program
// stops through its own shutdown (every device reset and closed) instead of dying with notes
// left sounding.
class StopSignals : public SignalDescriptor {
  public:
    StopSignals() : SignalDescriptor({SIGINT, SIGTERM, SIGHUP}) {}
};

// SIGUSR1, which asks for the panic action (every output silenced) from outside the program: a
// foot switch script, a remote shell. The program goes on.
class PanicSignal : public SignalDescriptor {
  public:
    PanicSignal() : SignalDescriptor({SIGUSR1}) {}
};

// SIGUSR2, which selects the next song of the set list played (as its footswitch would).
class NextSongSignal : public SignalDescriptor {
  public:
    NextSongSignal() : SignalDescriptor({SIGUSR2}) {}
};

}  // namespace tarvelo::app
