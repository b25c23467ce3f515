#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace tarvelo::jack {

// Lets the user-interface thread wait for the process callback without ever making the callback
// wait. The callback bumps a counter on entry and exit (odd while inside), which also counts the
// cycles it has completed.
//
// To retire something the callback reads, the user-interface thread unpublishes it with a seq_cst
// store and then waits until the callback that was running at that moment, if any, has left: the
// seq_cst order of that store, the entry bump and the callback's seq_cst load guarantees that any
// later callback sees the thing gone.
//
// Every wait has a timeout, so a server that stops calling never hangs the user-interface thread.
class ProcessGate {
  public:
    using Clock = std::chrono::steady_clock;

    // Process thread.
    void enter() noexcept { phase_.fetch_add(1, std::memory_order_seq_cst); }
    void leave() noexcept { phase_.fetch_add(1, std::memory_order_release); }

    // Any thread: callbacks completed so far.
    std::uint64_t completedCycles() const noexcept {
        return phase_.load(std::memory_order_acquire) / 2;
    }

    // User-interface thread: true once no callback that was running at the call still runs;
    // false when one still runs after the timeout.
    bool waitForQuiescence(std::chrono::milliseconds timeout) const noexcept {
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

    // User-interface thread: true once `cycles` more callbacks have completed after the call;
    // false on timeout or as soon as giveUp() turns true (the server went away).
    template <typename GiveUp>
    bool waitForCycles(std::uint64_t cycles, std::chrono::milliseconds timeout,
                       GiveUp&& giveUp) const {
        // A callback running at the call counts only from its end, so count whole ones after it.
        const std::uint64_t seen = phase_.load(std::memory_order_acquire);
        const std::uint64_t target = (seen + 1) / 2 + cycles;
        const auto deadline = Clock::now() + timeout;
        while (completedCycles() < target) {
            if (giveUp() || Clock::now() >= deadline)
                return false;
            pause();
        }
        return true;
    }

  private:
    // Short sleeps rather than a spin: the process thread may share a core with this one.
    static void pause() { std::this_thread::sleep_for(std::chrono::microseconds(200)); }

    std::atomic<std::uint64_t> phase_{0};
};

}  // namespace tarvelo::jack
