#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "midi/audio_host.h"
#include "midi/backend.h"
#include "midi/quiescence_gate.h"
#include "midi/synth/file_playback.h"
#include "midi/synth/synth_engine.h"

namespace tarvelo {

// The program's own MIDI system, for a machine with no ALSA sequencer and no JACK server: one
// input, "Tarvelo Virtual In", into which a MIDI file can be played; its outputs are the built-in
// devices added on top of it (the synthesizer).
//
// Input is delivered on the synthesizer's render thread at the start of each period, message by
// message at its frame within the period, so what is played into the virtual input sounds
// sample-exactly where the file puts it, in real time or offline alike.
//
// All functions run on the user-interface thread unless they say otherwise.
class InternalBackend final : public MidiBackend,
                              public synth::PeriodListener,
                              public EventFrameClock {
  public:
    InternalBackend();
    ~InternalBackend() override;

    std::string_view apiName() const override { return "internal"; }
    std::vector<std::string> inputNames() override;
    std::vector<std::string> outputNames() override { return {}; }
    std::unique_ptr<MidiInputPort> openInput(const std::string& name,
                                             InputHandler& handler) override;
    std::unique_ptr<MidiOutputPort> openOutput(const std::string& name,
                                               LongMessageListener& listener) override;

    // What plays into the virtual input; null for nothing. The playback must outlive its use
    // here (until replaced, or the backend goes).
    void setPlayback(synth::FilePlayback* playback);

    // Render thread.
    void beforePeriod(std::uint32_t frames) noexcept override;
    std::uint32_t eventFrame() const noexcept override { return eventFrame_; }

  private:
    class VirtualInputPort;
    // The open virtual input's handler, published once it has started (seq_cst, see
    // QuiescenceGate); null while closed.
    std::atomic<InputHandler*> handler_{nullptr};
    std::atomic<synth::FilePlayback*> playback_{nullptr};
    QuiescenceGate gate_;
    std::uint32_t eventFrame_ = 0;  // render thread only
};

}  // namespace tarvelo
