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

    // User-interface thread: consumes the wake-up before the queues are drained, so a notify that
    // races with the drain makes the descriptor readable again.
    void clear() noexcept;

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
