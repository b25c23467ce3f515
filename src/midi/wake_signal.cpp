#include "midi/wake_signal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace tarvelo {

WakeSignal::WakeSignal() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeSignal::~WakeSignal() {
    if (fd_ >= 0)
        ::close(fd_);
}

void WakeSignal::notify() noexcept {
    if (pending_.exchange(true, std::memory_order_acq_rel))
        return;
    if (fd_ < 0)
        return;
    const std::uint64_t one = 1;
    // Non-blocking: a full counter (never reached here) would only drop a redundant wake-up.
    [[maybe_unused]] const auto written = ::write(fd_, &one, sizeof one);
}

void WakeSignal::clear(Woken woken) noexcept {
    if (woken == Woken::OnItsOwn && !pending_.load(std::memory_order_acquire))
        return;
    // Consume the descriptor first, then re-arm: a notify that lands in between is not written to
    // the descriptor, but its item was queued before it and the drain that follows sees it.
    if (fd_ >= 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto read = ::read(fd_, &count, sizeof count);
    }
    pending_.store(false, std::memory_order_release);
}

bool WakeSignal::wait(int timeoutMs) const noexcept {
    if (fd_ < 0)
        return pending_.load(std::memory_order_acquire);
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

}  // namespace tarvelo
