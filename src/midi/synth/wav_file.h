#pragma once

#include <sndfile.h>

#include <array>
#include <cstdint>
#include <string>

#include "reference/output_file.h"

namespace tarvelo::synth {

// A 16-bit PCM stereo WAV recording being written. Samples are rounded to the nearest step and
// clipped, with no dither, so the same audio always gives the same bytes.
//
// The recording is written beside the file it is for ("take.partial.wav" for "take.wav") and
// takes that name only when it is closed complete: an earlier file of the name stays untouched
// until then, and a failed or killed recording is left playable under the partial name.
// libsndfile rewrites the header after every block it writes (at most kBlockFrames frames), so
// the header follows the audio on disk, not the clock: after a kill it says what is there (or one
// block less, when the kill came between the two writes), and after a failed write (a full disk)
// the file is cut back to its last whole frame and the header says exactly that.
//
// One thread at a time; not for the real-time path (it writes to a file).
class WavFile {
  public:
    // Frames held before they go to the file.
    static constexpr std::uint32_t kBlockFrames = 4096;

    WavFile() = default;
    // Closes an open recording as incomplete.
    ~WavFile();
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    // Creates the partial file for path. On failure returns false, error() says why and nothing
    // has been created.
    bool open(const std::string& path, std::uint32_t sampleRate);
    // Appends frames samples of each channel. False once a write has failed (what follows is
    // not written).
    bool write(const float* left, const float* right, std::uint32_t frames);
    // Writes what is held, completes the header and closes the file; complete: the recording
    // takes its name. False when a write failed on the way (the file then keeps its partial
    // name).
    bool close(bool complete);

    bool isOpen() const { return sndfile_ != nullptr; }
    bool failed() const { return failed_; }
    std::uint64_t framesWritten() const { return frames_; }
    // Why the file could not be created or written: the reason in a few words, without its name.
    const std::string& error() const { return error_; }
    // Where an incomplete recording was left; empty when it took its name (or none was made).
    std::string partialPath() const;

  private:
    bool flush();
    void fail(const std::string& reason);

    OutputFile file_;
    SNDFILE* sndfile_ = nullptr;
    std::string target_;
    std::array<std::int16_t, 2 * kBlockFrames> block_{};
    std::uint32_t held_ = 0;    // frames in block_
    std::uint64_t frames_ = 0;  // frames on disk
    bool failed_ = false;
    std::string error_;
};

// One sample as the file stores it.
std::int16_t toPcm16(float sample) noexcept;

}  // namespace tarvelo::synth
