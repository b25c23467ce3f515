#include "midi/synth/wav_recorder.h"

#include <chrono>

namespace tarvelo::synth {

WavRecorder::WavRecorder(Mode mode, std::uint32_t sampleRate, std::function<void()> onFailure)
    : mode_(mode), sampleRate_(sampleRate), onFailure_(std::move(onFailure)) {}

WavRecorder::~WavRecorder() {
    finish(false);
}

bool WavRecorder::open(const std::string& path) {
    if (!file_.open(path, sampleRate_))
        return false;
    if (mode_ == Mode::Live) {
        stopping_.store(false, std::memory_order_relaxed);
        writer_ = std::thread([this] {
            using namespace std::chrono_literals;
            while (!stopping_.load(std::memory_order_acquire)) {
                drain();
                std::this_thread::sleep_for(20ms);
            }
        });
    }
    return true;
}

bool WavRecorder::finish(bool complete) {
    if (writer_.joinable()) {
        stopping_.store(true, std::memory_order_release);
        writer_.join();
    }
    drain();
    return file_.close(complete);
}

void WavRecorder::write(const float* left, const float* right, std::uint32_t frames) {
    if (file_.failed() || file_.write(left, right, frames))
        return;
    failed_.store(true, std::memory_order_release);
    if (onFailure_)
        onFailure_();
}

void WavRecorder::drain() {
    float left[512];
    float right[512];
    std::uint32_t count = 0;
    Frame frame{};
    while (ring_.pop(frame)) {
        left[count] = frame.left;
        right[count] = frame.right;
        if (++count == 512) {
            write(left, right, count);
            count = 0;
        }
    }
    if (count > 0)
        write(left, right, count);
}

void WavRecorder::onAudio(const float* left, const float* right, std::uint32_t frames) noexcept {
    if (mode_ == Mode::Offline) {
        write(left, right, frames);
        return;
    }
    for (std::uint32_t i = 0; i < frames; ++i) {
        if (!ring_.push(Frame{left[i], right[i]}))
            lost_.fetch_add(1, std::memory_order_relaxed);
    }
}

}  // namespace tarvelo::synth
