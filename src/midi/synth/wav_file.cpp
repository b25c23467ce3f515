#include "midi/synth/wav_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace tarvelo::synth {

namespace {
constexpr int kChannels = 2;
}  // namespace

std::int16_t toPcm16(float sample) noexcept {
    const float scaled = std::nearbyint(std::clamp(sample, -1.0f, 1.0f) * 32767.0f);
    return static_cast<std::int16_t>(scaled);
}

WavFile::~WavFile() {
    close(false);
}

bool WavFile::open(const std::string& path, std::uint32_t sampleRate) {
    close(false);
    target_ = path;
    frames_ = 0;
    held_ = 0;
    failed_ = false;
    error_.clear();
    if (auto reason = file_.open(path, OutputFile::Pending::Partial)) {
        error_ = *reason;
        return false;
    }
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = kChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    // The descriptor stays ours: it is made durable and renamed after libsndfile lets go.
    sndfile_ = sf_open_fd(file_.fd(), SFM_WRITE, &info, SF_FALSE);
    if (sndfile_ == nullptr) {
        error_ = sf_strerror(nullptr);
        file_.abandon();
        ::unlink(file_.path().c_str());
        return false;
    }
    // Every block written rewrites the header from the file's length; so does this, now, since
    // the header written on opening does not count itself.
    sf_command(sndfile_, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
    sf_command(sndfile_, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    return true;
}

bool WavFile::write(const float* left, const float* right, std::uint32_t frames) {
    if (sndfile_ == nullptr || failed_)
        return false;
    for (std::uint32_t done = 0; done < frames;) {
        const std::uint32_t chunk = std::min(frames - done, kBlockFrames - held_);
        for (std::uint32_t i = 0; i < chunk; ++i) {
            block_[2 * (held_ + i)] = toPcm16(left[done + i]);
            block_[2 * (held_ + i) + 1] = toPcm16(right[done + i]);
        }
        held_ += chunk;
        done += chunk;
        if (held_ == kBlockFrames && !flush())
            return false;
    }
    return true;
}

bool WavFile::flush() {
    if (held_ == 0)
        return true;
    errno = 0;
    const sf_count_t written = sf_writef_short(sndfile_, block_.data(), held_);
    const int error = errno;
    if (written > 0)
        frames_ += static_cast<std::uint64_t>(written);
    if (written == static_cast<sf_count_t>(held_)) {
        held_ = 0;
        return true;
    }
    // A block that went half-way leaves part of a frame: cut back to the last whole one, so
    // that the header (rewritten from the file's length) and the audio agree.
    sf_count_t whole = static_cast<sf_count_t>(frames_);
    sf_command(sndfile_, SFC_FILE_TRUNCATE, &whole, sizeof whole);
    sf_command(sndfile_, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    fail(error != 0 ? std::strerror(error) : sf_strerror(sndfile_));
    return false;
}

void WavFile::fail(const std::string& reason) {
    failed_ = true;
    held_ = 0;
    if (error_.empty())
        error_ = reason;
}

bool WavFile::close(bool complete) {
    if (sndfile_ == nullptr)
        return !failed_;
    flush();
    if (sf_close(sndfile_) != 0 && !failed_)
        fail(sf_strerror(nullptr));
    sndfile_ = nullptr;
    if (complete && !failed_) {
        if (auto reason = file_.commit())
            fail(*reason);
    } else {
        file_.abandon();
    }
    return !failed_;
}

std::string WavFile::partialPath() const {
    return file_.isOpen() ? std::string() : file_.path();
}

}  // namespace tarvelo::synth
