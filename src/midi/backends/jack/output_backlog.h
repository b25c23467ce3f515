#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "midi/packed_message.h"

namespace tarvelo::jack {

// The routed messages one output port could not write in their own cycle (its buffer was full),
// waiting in order to go out at the start of the following cycles. Fixed size, allocated with the
// port: the process thread never allocates.
//
// When it is full, note ons give way: a note on that does not fit is dropped, and a note off or
// any other message takes the place of the newest note on still waiting. A note on lost that way
// may leave a stray note off behind it, which is harmless; a lost release would hang a note.
//
// Process thread only, except pending(), which any thread may read.
class OutputBacklog {
  public:
    static constexpr std::size_t kCapacity = 4096;  // over one whole buffer's worth of messages

    bool empty() const noexcept { return count_ == 0; }

    // Any thread: messages waiting. Release, so that once it reads 0 (acquire) the process
    // thread has written the last of them.
    std::size_t pending() const noexcept { return published_.load(std::memory_order_acquire); }

    const PackedMessage& front() const noexcept { return items_[head_]; }
    void popFront() noexcept {
        head_ = (head_ + 1) & (kCapacity - 1);
        --count_;
        publish();
    }

    enum class Push : std::uint8_t {
        Queued,
        QueuedForANoteOn,  // queued; the newest waiting note on was dropped to make room
        Dropped,           // full, and the message is a note on, or no note on waits
    };

    // Queues message behind the others, making room when full as described above.
    Push push(PackedMessage message) noexcept {
        if (count_ == kCapacity) {
            if (isNoteOnPress(message) || !dropNewestNoteOn())
                return Push::Dropped;
            append(message);
            return Push::QueuedForANoteOn;
        }
        append(message);
        return Push::Queued;
    }

    // Process thread, once the port is retired: forgets everything.
    void clear() noexcept {
        head_ = 0;
        count_ = 0;
        publish();
    }

  private:
    void append(PackedMessage message) noexcept {
        items_[(head_ + count_) & (kCapacity - 1)] = message;
        ++count_;
        publish();
    }

    // Closes the gap left by the newest note on; false when none waits. The newest is nearest
    // the back, so the search and the shift are short in the usual case.
    bool dropNewestNoteOn() noexcept {
        for (std::size_t i = count_; i-- > 0;) {
            if (!isNoteOnPress(items_[(head_ + i) & (kCapacity - 1)]))
                continue;
            for (std::size_t j = i; j + 1 < count_; ++j)
                items_[(head_ + j) & (kCapacity - 1)] = items_[(head_ + j + 1) & (kCapacity - 1)];
            --count_;
            return true;
        }
        return false;
    }

    void publish() noexcept { published_.store(count_, std::memory_order_release); }

    std::array<PackedMessage, kCapacity> items_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::atomic<std::size_t> published_{0};
};

}  // namespace tarvelo::jack
