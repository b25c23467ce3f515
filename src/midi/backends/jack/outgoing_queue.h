#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

#include "midi/backend.h"
#include "midi/packed_message.h"
#include "midi/spsc_ring.h"

namespace tarvelo::jack {

// One message the user-interface thread hands to the process thread.
struct QueuedMessage {
    const std::uint8_t* bytes = nullptr;  // long: the sender's bytes, valid until reported done
    LongMessageToken token = 0;           // long
    std::uint32_t size = 0;               // long: byte count
    PackedMessage message = 0;            // short
    bool isLong = false;

    static QueuedMessage shortMessage(PackedMessage m) {
        QueuedMessage q;
        q.message = m;
        return q;
    }
    static QueuedMessage longMessage(std::span<const std::uint8_t> bytes, LongMessageToken token) {
        QueuedMessage q;
        q.bytes = bytes.data();
        q.size = static_cast<std::uint32_t>(bytes.size());
        q.token = token;
        q.isLong = true;
        return q;
    }
};
static_assert(std::is_trivially_copyable_v<QueuedMessage>);

// What one cycle of writing queued messages did.
struct QueueWriteResult {
    int written = 0;  // events written
    int dropped = 0;  // messages that can never be written (malformed, or bigger than a buffer)
};

// The messages the user-interface thread sends to one output port, waiting for the next process
// cycle. Single producer (user-interface thread), single consumer (process thread; after the
// process thread has let go of the port, the user-interface thread may take over as consumer).
//
// A message that does not fit in this cycle's buffer is held back, in order, for the next cycle.
class OutgoingQueue {
  public:
    // About 100 KB per open port; enough for a full reset (16 x 128 note offs and 16 controller
    // messages) plus a list of initial messages, so the sender never has to wait in practice.
    static constexpr std::size_t kCapacity = 4096;

    // User-interface thread. False when the queue is full; nothing is queued then.
    bool push(const QueuedMessage& m) noexcept { return ring_.push(m); }

    // User-interface thread: nothing waits to be written. Acquire loads, so a true result also
    // means the process thread has finished with every message taken so far.
    bool idle() const noexcept {
        return ring_.empty() && !holding_.load(std::memory_order_acquire);
    }

    // Process thread, at the start of a cycle, on the port's freshly cleared buffer.
    //
    // Writes queued messages at frame 0, in order, while the buffer keeps `reserve` bytes free for
    // the events routed from the input later in the cycle; the first message of a cycle is
    // written whenever it fits at all, so the queue always moves. A message bigger than
    // `capacity` (an empty buffer) can never be written and is dropped.
    //
    // done(token) is called for every long message written or dropped, and must take it; it
    // returns whether it can take another this cycle; when not, the next long message is held
    // back.
    //
    // Sink: std::size_t room() const (largest event that fits now);
    //       bool write(std::uint32_t frame, const std::uint8_t* data, std::size_t size).
    template <typename Sink, typename Done>
    QueueWriteResult writeInto(Sink& sink, std::size_t capacity, std::size_t reserve,
                               Done&& done) noexcept {
        QueueWriteResult result;
        bool longsAccepted = true;
        for (;;) {
            if (!holding_.load(std::memory_order_relaxed)) {
                // Raised before the pop, whose release store publishes it: idle() never sees the
                // ring empty while the message taken from it is still unwritten.
                holding_.store(true, std::memory_order_relaxed);
                if (!ring_.pop(held_)) {
                    holding_.store(false, std::memory_order_relaxed);
                    break;
                }
            }
            std::uint8_t shortBytes[3];
            const std::uint8_t* data = held_.bytes;
            std::size_t size = held_.size;
            if (!held_.isLong) {
                size = static_cast<std::size_t>(shortMessageLength(statusOf(held_.message)));
                shortBytes[0] = statusOf(held_.message);
                shortBytes[1] = data1Of(held_.message);
                shortBytes[2] = data2Of(held_.message);
                data = shortBytes;
            }
            if (held_.isLong && !longsAccepted)
                break;
            if (size == 0 || size > capacity) {
                if (held_.isLong)
                    longsAccepted = done(held_.token);
                ++result.dropped;
                release();
                continue;
            }
            const std::size_t room = sink.room();
            const bool first = result.written == 0;
            if (size > room || (!first && room - size < reserve))
                break;
            if (!sink.write(0, data, size))
                break;
            ++result.written;
            if (held_.isLong)
                longsAccepted = done(held_.token);
            release();
        }
        return result;
    }

    // The only consumer left (the process thread has let go of the port): empties the queue and
    // passes the token of every long message in it to done, in order.
    template <typename Done>
    void discard(Done&& done) noexcept {
        if (holding_.load(std::memory_order_acquire)) {
            if (held_.isLong)
                done(held_.token);
            release();
        }
        QueuedMessage m;
        while (ring_.pop(m)) {
            if (m.isLong)
                done(m.token);
        }
    }

  private:
    // Release: the user-interface thread's idle() check must see the held message gone only
    // after the process thread has stopped reading its bytes.
    void release() noexcept { holding_.store(false, std::memory_order_release); }

    SpscRing<QueuedMessage, kCapacity> ring_;
    QueuedMessage held_{};              // consumer only: the message taken but not yet written
    std::atomic<bool> holding_{false};  // written by the consumer, read by idle()
};

}  // namespace tarvelo::jack
