#pragma once

#include "midi/backend.h"
#include "midi/synth/synth_engine.h"

namespace tarvelo::synth {

// The built-in synthesizer opened as an output device. Long messages are copied into the
// synthesizer's queue at once and reported done through the system backend, on the thread that
// backend reports its own completions on.
class SynthOutputPort final : public MidiOutputPort {
  public:
    // clock: where the input thread's messages lie within the period being rendered; null when
    // the input thread is not the render thread (they then apply at the next period).
    SynthOutputPort(SynthEngine& engine, MidiBackend& system, LongMessageListener& listener,
                    const EventFrameClock* clock)
        : engine_(engine), system_(system), listener_(listener), clock_(clock) {}

    void sendFromInput(PackedMessage message) noexcept override {
        engine_.sendFromInput(message, clock_ != nullptr ? clock_->eventFrame() : 0);
    }
    void sendShort(PackedMessage message) override { engine_.sendFromOwner(message); }
    void sendLong(std::span<const std::uint8_t> bytes, LongMessageToken token) override {
        engine_.sendExclusive(bytes);
        system_.reportLongMessageDone(listener_, token);
    }

  private:
    SynthEngine& engine_;
    MidiBackend& system_;
    LongMessageListener& listener_;
    const EventFrameClock* clock_;
};

}  // namespace tarvelo::synth
