#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "midi/synth/midi_file_schedule.h"

namespace tarvelo::synth {

// Plays a timed MIDI file one audio period at a time, on the thread that renders the periods.
// The first period after start() is frame 0 of the file.
class FilePlayback {
  public:
    // User-interface thread, before the playback is handed to the render thread.
    explicit FilePlayback(MidiFileSchedule schedule) : schedule_(std::move(schedule)) {}

    // User-interface thread: play from the next period on (release).
    void start() noexcept { started_.store(true, std::memory_order_release); }

    // Render thread: calls emit(frameInPeriod, message) for every message due in the next
    // `frames` frames, in order, and moves on by that much (also past the end, which counts the
    // frames since). No allocation, no lock.
    template <typename Emit>
    void playPeriod(std::uint32_t frames, Emit&& emit) noexcept {
        if (!started_.load(std::memory_order_acquire))
            return;
        const auto& messages = schedule_.messages;
        const std::uint64_t end = played_ + frames;
        while (next_ < messages.size() && messages[next_].frame < end) {
            const std::uint64_t frame = messages[next_].frame;
            emit(static_cast<std::uint32_t>(frame > played_ ? frame - played_ : 0),
                 messages[next_].message);
            ++next_;
        }
        played_ = end;
        if (next_ == messages.size() && played_ > schedule_.endFrame) {
            pastEnd_.store(played_ - schedule_.endFrame, std::memory_order_relaxed);
            finished_.store(true, std::memory_order_release);
        }
    }

    // Any thread: every message has been played (acquire).
    bool finished() const noexcept { return finished_.load(std::memory_order_acquire); }
    // Any thread: frames played since the file's last event; 0 until finished() (relaxed: a
    // count that only grows, read by a poll).
    std::uint64_t framesPastEnd() const noexcept {
        return pastEnd_.load(std::memory_order_relaxed);
    }
    const MidiFileSchedule& schedule() const { return schedule_; }

  private:
    const MidiFileSchedule schedule_;
    // Render thread only.
    std::size_t next_ = 0;
    std::uint64_t played_ = 0;
    std::atomic<bool> started_{false};
    std::atomic<bool> finished_{false};
    std::atomic<std::uint64_t> pastEnd_{0};
};

}  // namespace tarvelo::synth
