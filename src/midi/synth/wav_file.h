#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace tarvelo::synth {

// A 16-bit PCM stereo WAV file being written. Samples are rounded to the nearest step and
// clipped, with no dither, so the same audio always gives the same bytes. The sizes in the
// header are filled in by close() (and by the destructor).
//
// One thread at a time; not for the real-time path (it writes to a file).
class WavFile {
  public:
    WavFile() = default;
    ~WavFile();
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    // Creates (or truncates) path. On failure returns false and error() says why.
    bool open(const std::string& path, std::uint32_t sampleRate);
    // Appends frames samples of each channel.
    bool write(const float* left, const float* right, std::uint32_t frames);
    // Writes the sizes of what has been written so far into the header, so that the file is
    // complete even if the program never gets to close() (killed while recording).
    bool updateHeader();
    // Completes the header and closes the file; false when a write failed on the way.
    bool close();

    bool isOpen() const { return file_ != nullptr; }
    std::uint64_t framesWritten() const { return frames_; }
    const std::string& error() const { return error_; }

  private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::uint32_t sampleRate_ = 0;
    std::uint64_t frames_ = 0;
    bool failed_ = false;
    std::string error_;
};

// One sample as the file stores it.
std::int16_t toPcm16(float sample) noexcept;

}  // namespace tarvelo::synth
