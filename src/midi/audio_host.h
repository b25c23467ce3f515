#pragma once

#include <cstdint>

namespace tarvelo {

// Something that produces stereo audio one period at a time (the built-in synthesizer).
class AudioSource {
  public:
    virtual ~AudioSource() = default;
    // Thread: the audio thread that drives it (a JACK process callback, an audio driver's
    // thread, or an offline render loop), one call at a time. Writes `frames` samples to each
    // buffer (overwriting them). No lock, no allocation, no blocking call.
    virtual void renderAudio(float* left, float* right, std::uint32_t frames) noexcept = 0;

    // User-interface thread: the host plays at this many frames per second from now on (a JACK
    // server that came back at another rate). Never blocks.
    virtual void changeSampleRate(std::uint32_t rate) { (void)rate; }
};

// Where, within the audio period being processed, the input message now being handled lies.
// A system that delivers input inside its audio callback (JACK) offers one, so that the sound of
// a note starts at the note's own frame.
class EventFrameClock {
  public:
    virtual ~EventFrameClock() = default;
    // Thread: the MIDI input thread, inside an input callback.
    virtual std::uint32_t eventFrame() const noexcept = 0;
};

// A MIDI system's own audio output (JACK's audio ports), which plays an AudioSource inside the
// same callback that delivers MIDI input. All functions run on the user-interface thread.
class AudioHost {
  public:
    virtual ~AudioHost() = default;
    // Frames per second of the audio the host plays; 0 while it cannot play any (no server).
    virtual std::uint32_t sampleRate() = 0;
    // Starts playing source through two audio outputs of our own, connected to the first two
    // physical playback ports when connectToPlayback. False when the ports cannot be made.
    virtual bool attachAudioSource(AudioSource& source, bool connectToPlayback) = 0;
    // Stops playing the source; once this returns the source is not called any more.
    virtual void detachAudioSource() = 0;
    virtual const EventFrameClock* eventFrameClock() const = 0;
};

}  // namespace tarvelo
