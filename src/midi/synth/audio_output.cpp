#include "midi/synth/audio_output.h"

#include <fluidsynth.h>

#include <chrono>
#include <vector>

#include "midi/synth/audio_logs.h"

namespace tarvelo::synth {

namespace {
constexpr const char* kDrivers[] = {"pulseaudio", "alsa"};
}  // namespace

AudioOutput::AudioOutput(AudioSource& source, std::uint32_t sampleRate)
    : source_(source), sampleRate_(sampleRate) {
    silenceAudioLogs();
    settings_ = new_fluid_settings();
    fluid_settings_setnum(settings_, "synth.sample-rate", static_cast<double>(sampleRate));
    fluid_settings_setint(settings_, "audio.period-size", static_cast<int>(kPeriodFrames));
    fluid_settings_setint(settings_, "audio.periods", 2);
    fluid_settings_setstr(settings_, "audio.pulseaudio.media-role", "music");
    for (const char* driver : kDrivers) {
        if (fluid_settings_setstr(settings_, "audio.driver", driver) != FLUID_OK)
            continue;
        driver_ = new_fluid_audio_driver2(settings_, &AudioOutput::onDriverPeriod, this);
        if (driver_ != nullptr) {
            driverName_ = driver;
            return;
        }
    }
    note_ =
        "no audio output (neither PulseAudio nor ALSA answers): the built-in synthesizer plays "
        "silently";
    paced_ = std::thread([this] { runPaced(); });
}

AudioOutput::~AudioOutput() {
    if (driver_ != nullptr)
        delete_fluid_audio_driver(driver_);
    if (paced_.joinable()) {
        stopping_.store(true, std::memory_order_release);
        paced_.join();
    }
    delete_fluid_settings(settings_);
}

int AudioOutput::onDriverPeriod(void* self, int frames, int, float*[], int nout, float* out[]) {
    if (nout < 2 || frames <= 0)
        return FLUID_OK;
    static_cast<AudioOutput*>(self)->source_.renderAudio(out[0], out[1],
                                                         static_cast<std::uint32_t>(frames));
    return FLUID_OK;
}

void AudioOutput::runPaced() {
    using Clock = std::chrono::steady_clock;
    std::vector<float> left(kPeriodFrames);
    std::vector<float> right(kPeriodFrames);
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(double(kPeriodFrames) / sampleRate_));
    auto next = Clock::now();
    while (!stopping_.load(std::memory_order_acquire)) {
        source_.renderAudio(left.data(), right.data(), kPeriodFrames);
        next += period;
        std::this_thread::sleep_until(next);
    }
}

}  // namespace tarvelo::synth
