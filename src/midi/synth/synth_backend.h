#pragma once

#include <memory>
#include <string>
#include <vector>

#include "midi/backend.h"
#include "midi/synth/audio_output.h"
#include "midi/synth/synth_engine.h"

namespace tarvelo::synth {

// How the built-in synthesizer is set up.
struct SynthOptions {
    std::string soundFont;  // the file to load; empty: no synthesizer
    bool connectAudio = true;
    // The caller renders (SynthBackend::engine()->renderAudio) as fast as it likes; no audio
    // output is opened.
    bool offline = false;
};

// A system's MIDI devices plus the built-in synthesizer, listed after the system's outputs as
// "Tarvelo GM Synth". The synthesizer is listed from the start, while its SoundFont still loads.
//
// Its sound goes where the system plays audio in step with its MIDI (JACK: two audio ports of
// our client, rendered inside the process callback), else through an audio output of its own,
// or, offline, to whoever renders it.
//
// All functions run on the user-interface thread.
class SynthBackend final : public MidiBackend {
  public:
    SynthBackend(std::unique_ptr<MidiBackend> system, const SynthOptions& options);
    ~SynthBackend() override;

    std::string_view apiName() const override { return system_->apiName(); }
    std::vector<std::string> inputNames() override { return system_->inputNames(); }
    std::vector<std::string> outputNames() override;
    std::unique_ptr<MidiInputPort> openInput(const std::string& name,
                                             InputHandler& handler) override {
        return system_->openInput(name, handler);
    }
    std::unique_ptr<MidiOutputPort> openOutput(const std::string& name,
                                               LongMessageListener& listener) override;
    bool serverLost() const override { return system_->serverLost(); }
    void setServerLostListener(ServerLostListener* listener) override {
        system_->setServerLostListener(listener);
    }
    // The synthesizer never leaves; the system's devices are announced by the system.
    void setDeviceChangeListener(DeviceChangeListener* listener) override {
        system_->setDeviceChangeListener(listener);
    }
    std::chrono::milliseconds relistInterval() const override { return system_->relistInterval(); }
    void awaitConnections(std::chrono::milliseconds limit) override {
        system_->awaitConnections(limit);
    }
    AudioHost* audioHost() override { return system_->audioHost(); }
    std::uint64_t droppedMessages() const override {
        return system_->droppedMessages() + (engine_ ? engine_->droppedMessages() : 0);
    }
    void reportLongMessageDone(LongMessageListener& listener, LongMessageToken token) override {
        system_->reportLongMessageDone(listener, token);
    }

    // An input of the system that delivers on the synthesizer's render thread (the internal
    // system's virtual input): it hears of every period first, and its clock places the
    // messages it delivers within the period. Set before the synthesizer is opened.
    void setRenderThreadInput(PeriodListener& listener, const EventFrameClock& clock);

    MidiBackend& system() { return *system_; }
    // Null when there is no synthesizer (no SoundFont, or FluidSynth would not start).
    SynthEngine* engine() { return engine_.get(); }
    // Lines for the user about the synthesizer's set-up (no audio output), each complete in
    // itself; empty when all is well.
    const std::vector<std::string>& notes() const { return notes_; }

    // Stops the sound: once it returns the synthesizer is not rendered any more (its tap may go).
    // Also done by the destructor.
    void finish();

  private:
    std::unique_ptr<MidiBackend> system_;
    std::unique_ptr<SynthEngine> engine_;
    std::unique_ptr<AudioOutput> output_;
    bool attachedToHost_ = false;
    const EventFrameClock* frameClock_ = nullptr;
    std::vector<std::string> notes_;
};

}  // namespace tarvelo::synth
