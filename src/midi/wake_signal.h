#pragma once

#include <atomic>

namespace tarvelo {

// Wakes the user-interface thread from any thread without blocking: the first notify() after a
// drain makes the descriptor readable; further notifies until the next clear() cost one atomic
// exchange each. The user-interface thread watches fd() (a QSocketNotifier, or poll()).
class WakeSignal {
  public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    // Any thread, real-time safe: a non-blocking eventfd write at most once per drain.
    void notify() noexcept;

    // How the user-interface thread came to drain: woken by the descriptor, which is readable and
    // stays so until read; or on its own (a timer), when the descriptor is read only if a
    // notify() has come since the last clear, sparing a failed read per paced drain.
    enum class Woken { ByDescriptor, OnItsOwn };

    // User-interface thread: consumes the wake-up before the queues are drained, so a notify that
    // races with the drain makes the descriptor readable again. A notify whose write lands only
    // after an OnItsOwn clear leaves the descriptor readable; the ByDescriptor clear that wakes
    // the owner next reads it, so the descriptor never stays readable unread.
    void clear(Woken woken = Woken::ByDescriptor) noexcept;

    // Readable while a wake-up is pending; -1 when the platform gave none (then poll the queues).
    int fd() const noexcept { return fd_; }

    // User-interface thread: waits up to timeoutMs (-1: forever) for a wake-up. Returns true when
    // one is pending. Used by the headless runner and tests.
    bool wait(int timeoutMs) const noexcept;

  private:
    int fd_ = -1;
    std::atomic<bool> pending_{false};  // set by notify (acq_rel exchange), reset by clear
};

}  // namespace tarvelo
