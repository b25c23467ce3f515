#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace tarvelo {

// Lets the user-interface thread wait until the input callback no longer uses something it has
// just unpublished (an output handle about to be closed). The callback never waits: it bumps a
// counter on entry and exit (odd while inside). The user-interface thread unpublishes with a
// seq_cst store and then waits for the counter to leave the odd value it saw; the seq_cst order
// of the store, the entry bump and the callback's seq_cst load guarantees that a callback that
// entered after the wait began sees the unpublished value.
class CallbackGate {
  public:
    // MIDI input thread.
    void enter() noexcept { phase_.fetch_add(1, std::memory_order_seq_cst); }
    void leave() noexcept { phase_.fetch_add(1, std::memory_order_release); }

    // User-interface thread: returns once any callback that was running at the call has left.
    void waitForQuiescence() const noexcept {
        const std::uint64_t seen = phase_.load(std::memory_order_seq_cst);
        if ((seen & 1U) == 0)
            return;
        while (phase_.load(std::memory_order_acquire) == seen)
            std::this_thread::yield();
    }

  private:
    std::atomic<std::uint64_t> phase_{0};
};

}  // namespace tarvelo
