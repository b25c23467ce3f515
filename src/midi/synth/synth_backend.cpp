#include "midi/synth/synth_backend.h"

#include "midi/built_in_devices.h"
#include "midi/synth/synth_output_port.h"

namespace tarvelo::synth {

namespace {
// The rate of the synthesizer's own audio output and of offline renders.
constexpr std::uint32_t kSampleRate = 48000;
}  // namespace

SynthBackend::SynthBackend(std::unique_ptr<MidiBackend> system, const SynthOptions& options)
    : system_(std::move(system)) {
    if (options.soundFont.empty())
        return;
    AudioHost* host = options.offline ? nullptr : system_->audioHost();
    const std::uint32_t hostRate = host != nullptr ? host->sampleRate() : 0;
    const std::uint32_t rate = hostRate != 0 ? hostRate : kSampleRate;
    engine_ = std::make_unique<SynthEngine>(options.soundFont, rate);

    if (options.offline)
        return;
    if (hostRate != 0 && host->attachAudioSource(*engine_, options.connectAudio)) {
        attachedToHost_ = true;
        return;
    }
    output_ = std::make_unique<AudioOutput>(*engine_, rate);
    if (!output_->note().empty())
        notes_.push_back(output_->note());
}

SynthBackend::~SynthBackend() {
    finish();
}

void SynthBackend::finish() {
    if (attachedToHost_) {
        if (AudioHost* host = system_->audioHost())
            host->detachAudioSource();
        attachedToHost_ = false;
    }
    output_.reset();
}

void SynthBackend::setRenderThreadInput(PeriodListener& listener, const EventFrameClock& clock) {
    frameClock_ = &clock;
    if (engine_)
        engine_->setPeriodListener(&listener);
}

std::vector<std::string> SynthBackend::outputNames() {
    std::vector<std::string> names = system_->outputNames();
    if (engine_)
        names.emplace_back(kSynthDeviceName);
    return names;
}

std::unique_ptr<MidiOutputPort> SynthBackend::openOutput(const std::string& name,
                                                         LongMessageListener& listener) {
    if (engine_ && name == kSynthDeviceName) {
        AudioHost* host = attachedToHost_ ? system_->audioHost() : nullptr;
        const EventFrameClock* clock = host != nullptr ? host->eventFrameClock() : nullptr;
        if (clock == nullptr)
            clock = frameClock_;
        return std::make_unique<SynthOutputPort>(*engine_, *system_, listener, clock);
    }
    return system_->openOutput(name, listener);
}

}  // namespace tarvelo::synth
