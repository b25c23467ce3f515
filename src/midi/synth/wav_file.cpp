#include "midi/synth/wav_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace tarvelo::synth {

namespace {

constexpr std::uint16_t kChannels = 2;
constexpr std::uint16_t kBitsPerSample = 16;
constexpr std::uint32_t kHeaderSize = 44;

void put16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::uint8_t* at, std::uint32_t value) {
    put16(at, static_cast<std::uint16_t>(value));
    put16(at + 2, static_cast<std::uint16_t>(value >> 16));
}

std::array<std::uint8_t, kHeaderSize> header(std::uint32_t sampleRate, std::uint32_t dataBytes) {
    std::array<std::uint8_t, kHeaderSize> h{};
    std::memcpy(h.data(), "RIFF", 4);
    put32(h.data() + 4, 36 + dataBytes);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    put32(h.data() + 16, 16);
    put16(h.data() + 20, 1);  // PCM
    put16(h.data() + 22, kChannels);
    put32(h.data() + 24, sampleRate);
    put32(h.data() + 28, sampleRate * kChannels * kBitsPerSample / 8);
    put16(h.data() + 32, kChannels * kBitsPerSample / 8);
    put16(h.data() + 34, kBitsPerSample);
    std::memcpy(h.data() + 36, "data", 4);
    put32(h.data() + 40, dataBytes);
    return h;
}

}  // namespace

std::int16_t toPcm16(float sample) noexcept {
    const float scaled = std::nearbyint(std::clamp(sample, -1.0f, 1.0f) * 32767.0f);
    return static_cast<std::int16_t>(scaled);
}

WavFile::~WavFile() {
    close();
}

bool WavFile::open(const std::string& path, std::uint32_t sampleRate) {
    close();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        error_ = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    path_ = path;
    sampleRate_ = sampleRate;
    frames_ = 0;
    failed_ = false;
    const auto h = header(sampleRate, 0);
    if (std::fwrite(h.data(), 1, h.size(), file_) != h.size())
        failed_ = true;
    return true;
}

bool WavFile::write(const float* left, const float* right, std::uint32_t frames) {
    if (file_ == nullptr)
        return false;
    std::array<std::uint8_t, 4 * 256> bytes;
    std::uint32_t done = 0;
    while (done < frames) {
        const std::uint32_t chunk = std::min<std::uint32_t>(frames - done, 256);
        for (std::uint32_t i = 0; i < chunk; ++i) {
            put16(bytes.data() + 4 * i, static_cast<std::uint16_t>(toPcm16(left[done + i])));
            put16(bytes.data() + 4 * i + 2, static_cast<std::uint16_t>(toPcm16(right[done + i])));
        }
        if (std::fwrite(bytes.data(), 4, chunk, file_) != chunk)
            failed_ = true;
        done += chunk;
    }
    frames_ += frames;
    return !failed_;
}

bool WavFile::updateHeader() {
    if (file_ == nullptr)
        return false;
    const std::uint64_t dataBytes = frames_ * 4;
    // Files past 4 GiB cannot say their size; the size fields then stay at their maximum.
    const auto size = static_cast<std::uint32_t>(std::min<std::uint64_t>(dataBytes, 0xFFFFFFDBu));
    const auto h = header(sampleRate_, size);
    if (std::fseek(file_, 0, SEEK_SET) != 0 ||
        std::fwrite(h.data(), 1, h.size(), file_) != h.size() ||
        std::fseek(file_, 0, SEEK_END) != 0 || std::fflush(file_) != 0) {
        failed_ = true;
    }
    return !failed_;
}

bool WavFile::close() {
    if (file_ == nullptr)
        return !failed_;
    updateHeader();
    if (std::fclose(file_) != 0)
        failed_ = true;
    file_ = nullptr;
    if (failed_ && error_.empty())
        error_ = "writing '" + path_ + "' failed";
    return !failed_;
}

}  // namespace tarvelo::synth
