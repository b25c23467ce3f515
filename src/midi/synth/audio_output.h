#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include <fluidsynth/types.h>

#include "midi/audio_host.h"

namespace tarvelo::synth {

// Plays an AudioSource through FluidSynth's own audio driver (PulseAudio, which PipeWire also
// serves, then ALSA) with a short period. On a machine with no audio output at all it keeps the
// source running at the pace of real time into nothing, so that recording and file playback go
// on; note() then says why nothing is heard.
class AudioOutput {
  public:
    static constexpr std::uint32_t kPeriodFrames = 128;

    // User-interface thread: starts rendering source at sampleRate at once.
    AudioOutput(AudioSource& source, std::uint32_t sampleRate);
    // Stops the driver (or the paced thread); once it returns the source is not called any more.
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // The driver in use ("pulseaudio", "alsa"), or empty when there is none.
    const std::string& driverName() const { return driverName_; }
    // One line for the user when nothing is heard; empty otherwise.
    const std::string& note() const { return note_; }

  private:
    static int onDriverPeriod(void* self, int frames, int nfx, float* fx[], int nout, float* out[]);
    void runPaced();

    AudioSource& source_;
    const std::uint32_t sampleRate_;
    fluid_settings_t* settings_ = nullptr;
    fluid_audio_driver_t* driver_ = nullptr;
    std::string driverName_;
    std::string note_;
    std::thread paced_;
    std::atomic<bool> stopping_{false};
};

}  // namespace tarvelo::synth
