#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "midi/routing_table.h"

namespace tarvelo {

// One arrangement of a show as the input callback routes it: its key routes and its channel
// routing (target, followers, panic controller, set-up). Both belong to the live session.
struct SongRouting {
    const RoutingTable* routes = nullptr;
    const ChannelRoutingPublisher* channels = nullptr;
};

// How the input selects songs while a set list plays.
struct SongSelection {
    static constexpr int kAnyChannel = -1;
    static constexpr int kOff = -1;
    static constexpr int kNoSong = -1;

    int channel = kAnyChannel;      // the channel (0..15) whose program changes select songs
    int nextController = kOff;      // 0..127: a value of 64 or more selects the next song
    int previousController = kOff;  // 0..127: ... the previous song
    // The song each program number selects, or kNoSong.
    std::array<std::int16_t, 128> songOfProgram = [] {
        std::array<std::int16_t, 128> none{};
        none.fill(kNoSong);
        return none;
    }();
};

// The songs the input callback can route by: one for a single arrangement, every song of a set
// list. A value, published whole (SongBookPublisher).
struct SongBook {
    static constexpr int kMaxSongs = 128;

    std::array<SongRouting, kMaxSongs> songs{};
    int count = 0;
    // False for a single arrangement: nothing on the input selects songs, and program changes
    // go to the target as ever.
    bool selectable = false;
    SongSelection selection;
};

// Hands the song book to the input callback whole (two copies, as ChannelRoutingPublisher), and
// holds which song is played now. The song played now changes with one store, from the MIDI input
// thread (a program change, a footswitch) or from the user-interface thread (the window's list,
// a signal); the last store wins.
class SongBookPublisher {
  public:
    SongBookPublisher() { current_.store(&copies_[0], std::memory_order_seq_cst); }
    SongBookPublisher(const SongBookPublisher&) = delete;
    SongBookPublisher& operator=(const SongBookPublisher&) = delete;

    // The MIDI input thread, inside the gated callback: valid until the callback returns.
    const SongBook& current() const noexcept { return *current_.load(std::memory_order_seq_cst); }

    // User-interface thread; waitForCallback waits until the callback running now, if any, has
    // returned, after which the old copy may be written again.
    template <typename WaitForCallback>
    void publish(const SongBook& next, WaitForCallback&& waitForCallback) {
        SongBook* spare =
            current_.load(std::memory_order_relaxed) == &copies_[0] ? &copies_[1] : &copies_[0];
        *spare = next;
        current_.store(spare, std::memory_order_seq_cst);
        waitForCallback();
    }

    // Any thread: the song played now (an index into the book).
    int active() const noexcept { return active_.load(std::memory_order_acquire); }
    // Any thread: plays song index from now on. Release: whoever reads the index after it also
    // sees what was done before the switch (the set-up sent).
    void setActive(int index) noexcept { active_.store(index, std::memory_order_release); }

  private:
    std::array<SongBook, 2> copies_{};
    std::atomic<SongBook*> current_{nullptr};
    std::atomic<int> active_{0};
};

}  // namespace tarvelo
