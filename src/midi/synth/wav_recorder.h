#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "midi/spsc_ring.h"
#include "midi/synth/synth_engine.h"
#include "midi/synth/wav_file.h"

namespace tarvelo::synth {

// Writes everything the synthesizer renders to a WAV file (see WavFile: it takes its name only
// when finished complete).
//
// Live: the render thread copies each period into a ring and a writer thread of the recorder's
// own empties it into the file, so the audio thread never touches the file; when the writer
// falls more than the ring behind, frames are lost and counted. Offline: the render loop is not
// real-time, so each period is written as it comes, and nothing is ever lost.
//
// A write that fails (a full disk) ends the recording: nothing more is written, failed() turns
// true and onFailure is called once, on the thread that wrote (the writer thread when live).
class WavRecorder final : public AudioTap {
  public:
    enum class Mode { Live, Offline };

    WavRecorder(Mode mode, std::uint32_t sampleRate, std::function<void()> onFailure = {});
    ~WavRecorder() override;
    WavRecorder(const WavRecorder&) = delete;
    WavRecorder& operator=(const WavRecorder&) = delete;

    // User-interface thread, before the recorder is tapped in. False (and error()) when the file
    // cannot be created.
    bool open(const std::string& path);
    // User-interface thread, after the recorder has been untapped: writes what is left and
    // completes the file; complete: the recording takes its name. False when a write failed.
    bool finish(bool complete);
    // After a failed open() or finish(), or once failed(): why, in a few words (see WavFile);
    // and where an incomplete recording was left (empty when it took its name).
    const std::string& error() const { return file_.error(); }
    std::string partialPath() const { return file_.partialPath(); }

    // Render thread.
    void onAudio(const float* left, const float* right, std::uint32_t frames) noexcept override;

    // Any thread: a write has failed and the recording has ended (acquire).
    bool failed() const noexcept { return failed_.load(std::memory_order_acquire); }
    std::uint64_t lostFrames() const noexcept { return lost_.load(std::memory_order_relaxed); }

  private:
    struct Frame {
        float left;
        float right;
    };
    void drain();
    void write(const float* left, const float* right, std::uint32_t frames);

    const Mode mode_;
    const std::uint32_t sampleRate_;
    const std::function<void()> onFailure_;
    WavFile file_;  // the writer thread's while it runs (live), else the caller's
    // About 2.7 s at 48 kHz: room for a writer held up by a slow disk.
    SpscRing<Frame, std::size_t{1} << 17> ring_;
    std::thread writer_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> failed_{false};  // written by whoever writes the file (release)
    std::atomic<std::uint64_t> lost_{0};
};

}  // namespace tarvelo::synth
