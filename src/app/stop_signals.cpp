#include "app/stop_signals.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>

namespace tarvelo::app {

namespace {

// The descriptor each signal's handler writes to, by signal number, plus one (0: none). Set before
// the handler is installed and cleared after the old action is back; the handler may run on any
// thread. Lock-free, so reading it in a handler is async-signal-safe.
constinit std::array<std::atomic<int>, NSIG> descriptorOf{};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onSignal(int number) {
    const int saved = errno;
    const int fd =
        descriptorOf[static_cast<std::size_t>(number)].load(std::memory_order_acquire) - 1;
    if (fd >= 0) {
        const std::uint64_t one = 1;
        // write() is async-signal-safe; an eventfd counter cannot fill with one write per signal.
        [[maybe_unused]] const auto written = ::write(fd, &one, sizeof one);
    }
    errno = saved;
}

}  // namespace

SignalDescriptor::SignalDescriptor(std::vector<int> numbers)
    : signals_(std::move(numbers)),
      old_(signals_.size()),
      fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd_ < 0)
        return;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < signals_.size(); ++i) {
        descriptorOf[static_cast<std::size_t>(signals_[i])].store(fd_ + 1,
                                                                  std::memory_order_release);
        ::sigaction(signals_[i], &action, &old_[i]);
    }
}

SignalDescriptor::~SignalDescriptor() {
    if (fd_ < 0)
        return;
    for (std::size_t i = 0; i < signals_.size(); ++i) {
        ::sigaction(signals_[i], &old_[i], nullptr);
        descriptorOf[static_cast<std::size_t>(signals_[i])].store(0, std::memory_order_release);
    }
    ::close(fd_);
}

bool SignalDescriptor::take() const {
    std::uint64_t count = 0;
    return fd_ >= 0 && ::read(fd_, &count, sizeof count) == sizeof count && count > 0;
}

}  // namespace tarvelo::app
