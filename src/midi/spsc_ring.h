#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <type_traits>

namespace tarvelo {

// Bounded single-producer single-consumer ring. One thread pushes, one thread pops; neither
// blocks, locks or allocates. Capacity is a power of two; one push fails when the ring is full,
// and the caller decides what is lost (it counts the loss).
template <typename T, std::size_t Capacity>
class SpscRing {
    static_assert(std::is_trivially_copyable_v<T>, "ring elements cross threads by copy");
    static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "capacity: a power of two");

  public:
    // Producer thread only.
    bool push(const T& value) noexcept {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head - tail_.load(std::memory_order_acquire) == Capacity)
            return false;
        items_[head & (Capacity - 1)] = value;
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

    // Consumer thread only.
    bool pop(T& out) noexcept {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail == head_.load(std::memory_order_acquire))
            return false;
        out = items_[tail & (Capacity - 1)];
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer thread only: copies the oldest value without taking it out.
    bool peek(T& out) const noexcept {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail == head_.load(std::memory_order_acquire))
            return false;
        out = items_[tail & (Capacity - 1)];
        return true;
    }

    // Consumer thread only: drops everything queued so far.
    void clear() noexcept {
        tail_.store(head_.load(std::memory_order_acquire), std::memory_order_release);
    }

    // Either thread; a snapshot that may be stale by the time it is used.
    bool empty() const noexcept {
        return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire);
    }

    static constexpr std::size_t capacity() { return Capacity; }

  private:
    alignas(64) std::atomic<std::size_t> head_{0};  // written by the producer
    alignas(64) std::atomic<std::size_t> tail_{0};  // written by the consumer
    std::array<T, Capacity> items_{};
};

}  // namespace tarvelo
