#include "app/stop_signals.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace tarvelo::app {

namespace {

// Written by the handler; set before the handlers are installed, cleared after they are restored.
int signalFd = -1;

extern "C" void onStopSignal(int) {
    const int saved = errno;
    const std::uint64_t one = 1;
    // write() is async-signal-safe; an eventfd counter cannot fill with one write per signal.
    [[maybe_unused]] const auto written = ::write(signalFd, &one, sizeof one);
    errno = saved;
}

}  // namespace

StopSignals::StopSignals() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd_ < 0)
        return;
    signalFd = fd_;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &action, &old_[i]);
}

StopSignals::~StopSignals() {
    if (fd_ < 0)
        return;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &old_[i], nullptr);
    signalFd = -1;
    ::close(fd_);
}

}  // namespace tarvelo::app
