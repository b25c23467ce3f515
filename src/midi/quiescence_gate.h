#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace tarvelo {

// Lets one thread wait until a callback no longer uses something it has just unpublished (an
// output handle, a slot table, a port, a listener), without ever making the callback wait.
//
// The callback (one at a time: an input callback, a process callback, a notification thread)
// bumps a counter on entry and on exit, so the counter is odd while it is inside and also counts
// the passes it has completed. To retire something, the waiting thread unpublishes it with a
// seq_cst store and then calls waitForQuiescence(), which returns once the pass that was under
// way at the call, if any, has left. The callback reads what is published with seq_cst loads
// after its seq_cst entry; with the store and the waiter's seq_cst read of the counter, all four
// fall in one total order, so either the callback entered after the waiter read the counter and
// sees the thing gone, or the waiter saw the odd counter and waits for that pass to end. Weaker
// orders on either side would let a weakly ordered processor break this.
//
// Every wait has a time limit, so a callback that stopped being called (a server that hangs)
// never hangs the waiting thread; on a timeout the caller must keep what it unpublished alive.
class QuiescenceGate {
  public:
    using Clock = std::chrono::steady_clock;
    // Long enough that a callback still inside is stuck rather than busy.
    static constexpr std::chrono::milliseconds kDefaultTimeout{2000};

    // The callback's thread.
    void enter() noexcept { phase_.fetch_add(1, std::memory_order_seq_cst); }
    void leave() noexcept { phase_.fetch_add(1, std::memory_order_seq_cst); }

    // Any thread: passes the callback has completed so far.
    std::uint64_t completedPasses() const noexcept {
        return phase_.load(std::memory_order_acquire) / 2;
    }

    // The waiting thread (may block up to the timeout): true once no pass that was under way at
    // the call still runs; false when one still runs after the timeout.
    bool waitForQuiescence(std::chrono::milliseconds timeout = kDefaultTimeout) const noexcept {
        const std::uint64_t seen = phase_.load(std::memory_order_seq_cst);
        if ((seen & 1U) == 0)
            return true;
        const auto deadline = Clock::now() + timeout;
        while (phase_.load(std::memory_order_acquire) == seen) {
            if (Clock::now() >= deadline)
                return false;
            pause();
        }
        return true;
    }

    // The waiting thread (may block up to the timeout): true once `passes` more passes have
    // completed after the call; false on timeout or as soon as giveUp() turns true.
    template <typename GiveUp>
    bool waitForPasses(std::uint64_t passes, std::chrono::milliseconds timeout,
                       GiveUp&& giveUp) const {
        // A pass running at the call counts only from its end, so count whole ones after it.
        const std::uint64_t seen = phase_.load(std::memory_order_acquire);
        const std::uint64_t target = (seen + 1) / 2 + passes;
        const auto deadline = Clock::now() + timeout;
        while (completedPasses() < target) {
            if (giveUp() || Clock::now() >= deadline)
                return false;
            pause();
        }
        return true;
    }

  private:
    // Short sleeps rather than a spin: the callback's thread may share a core with this one.
    static void pause() { std::this_thread::sleep_for(std::chrono::microseconds(100)); }

    std::atomic<std::uint64_t> phase_{0};
};

}  // namespace tarvelo
