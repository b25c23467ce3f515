#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include <fluidsynth/types.h>

#include "midi/audio_host.h"
#include "midi/packed_message.h"
#include "midi/spsc_ring.h"

namespace tarvelo::synth {

class AudioTap;

// Called on the render thread at the start of every period, before the period's MIDI is
// applied: lets an input that lives on the render thread (a file played into the internal
// system's virtual input) deliver the messages that fall in the period.
class PeriodListener {
  public:
    virtual ~PeriodListener() = default;
    // Thread: the render thread. No lock, no allocation, no blocking call.
    virtual void beforePeriod(std::uint32_t frames) noexcept = 0;
};

// The General MIDI synthesizer: one FluidSynth instance with one SoundFont, played by MIDI from
// the user-interface thread (initial messages, resets, mouse and computer-keyboard play) and
// from the MIDI input thread (routed notes), and rendered one period at a time by exactly one
// audio thread.
//
// Only the render thread touches the FluidSynth instance once loading has finished, so
// FluidSynth's own API lock is switched off; the other threads hand their messages over through
// single-producer rings. The SoundFont loads on a thread of its own; until it has loaded, the
// synthesizer renders silence and drops the notes that reach it, while the owner's other messages
// (programs, controllers, system-exclusive: a part's initial messages) wait in their ring and set
// the sound up as soon as it has loaded, so that nothing sent at start-up is lost.
//
// FluidSynth preallocates its voices (polyphony) when the instance is created and keeps every
// sample of the SoundFont in memory (no dynamic sample loading), so rendering, notes, controllers
// and program changes allocate nothing.
class SynthEngine final : public AudioSource {
  public:
    enum class State { Loading, Ready, Failed };

    // User-interface thread: sets the instance up and starts loading the SoundFont at
    // soundFontPath. sampleRate: frames per second the render thread will ask for.
    SynthEngine(std::string soundFontPath, std::uint32_t sampleRate);
    ~SynthEngine() override;
    SynthEngine(const SynthEngine&) = delete;
    SynthEngine& operator=(const SynthEngine&) = delete;

    // Any thread.
    State state() const noexcept { return state_.load(std::memory_order_acquire); }
    // Any thread but the loader: waits until loading has finished, either way. Returns the state.
    State waitUntilLoaded();
    // After a failed load: why, in one line.
    std::string loadError() const;
    const std::string& soundFontPath() const { return soundFontPath_; }
    std::uint32_t sampleRate() const { return sampleRate_; }

    // User-interface thread: a short message, applied at the start of the next period (the first
    // after loading; a note sent while loading is dropped).
    void sendFromOwner(PackedMessage message) noexcept;
    // User-interface thread: a system-exclusive message (with its F0 and F7), copied; applied at
    // the start of the next period. False when it cannot be taken (too long, queue full).
    bool sendExclusive(std::span<const std::uint8_t> bytes) noexcept;
    // Thread: the MIDI input thread (one at a time). Applied in the period being rendered when
    // the input thread is the render thread (JACK), at `frame` within it; else at the start of
    // the next period.
    // False when the queue was full (the message is lost and counted).
    bool sendFromInput(PackedMessage message, std::uint32_t frame) noexcept;

    // Render thread.
    void renderAudio(float* left, float* right, std::uint32_t frames) noexcept override;

    // User-interface thread, while nothing renders: who else hears each rendered period (the WAV
    // recorder), and who delivers input at the start of each period. Null for nobody.
    void setTap(AudioTap* tap) noexcept { tap_.store(tap, std::memory_order_release); }
    void setPeriodListener(PeriodListener* listener) noexcept {
        periodListener_.store(listener, std::memory_order_release);
    }

    // Any thread: voices sounding after the last period, and how many frames in a row have been
    // rendered as silence (every sample below -90 dBFS) up to now.
    int activeVoices() const noexcept { return activeVoices_.load(std::memory_order_relaxed); }
    std::uint64_t silentFrames() const noexcept {
        return silentFrames_.load(std::memory_order_relaxed);
    }
    // Messages lost because a ring was full or a system-exclusive message too long.
    std::uint64_t droppedMessages() const noexcept {
        return dropped_.load(std::memory_order_relaxed);
    }

    static constexpr std::size_t kMaxExclusiveBytes = 512;

  private:
    struct TimedMessage {
        PackedMessage message;
        std::uint32_t frame;
    };
    struct Exclusive {
        std::uint32_t sequence;
        std::uint32_t size;
        std::uint8_t bytes[kMaxExclusiveBytes];
    };
    static_assert(std::is_trivially_copyable_v<TimedMessage>);
    static_assert(std::is_trivially_copyable_v<Exclusive>);

    void load();
    void apply(PackedMessage message) noexcept;
    void applyExclusive(const Exclusive& exclusive) noexcept;
    void renderSpan(float* left, float* right, std::uint32_t from, std::uint32_t to) noexcept;
    void dropPending() noexcept;
    void noteSilence(const float* left, const float* right, std::uint32_t frames) noexcept;

    const std::string soundFontPath_;
    const std::uint32_t sampleRate_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;

    std::atomic<State> state_{State::Loading};  // written by the loader (release)
    mutable std::mutex loadMutex_;              // guards loadError_ and the wait, never rendering
    std::condition_variable loaded_;
    std::string loadError_;
    std::thread loader_;

    // Producer: the user-interface thread; consumer: the render thread. When full the message
    // is dropped and counted. A system-exclusive message waits in exclusives_ and takes its turn
    // in fromOwner_ as a marker: status 0xF0 (never a short message, as sends are well formed)
    // with its sequence number in the upper 24 bits.
    static constexpr std::uint8_t kExclusiveStatus = 0xF0;
    static constexpr std::uint32_t kSequenceMask = 0xFFFFFF;
    SpscRing<PackedMessage, 4096> fromOwner_;
    SpscRing<Exclusive, 64> exclusives_;
    std::uint32_t nextExclusive_ = 0;  // user-interface thread only
    // Producer: the MIDI input thread; consumer: the render thread.
    SpscRing<TimedMessage, 4096> fromInput_;

    std::atomic<AudioTap*> tap_{nullptr};
    std::atomic<PeriodListener*> periodListener_{nullptr};
    std::atomic<int> activeVoices_{0};
    std::atomic<std::uint64_t> silentFrames_{0};
    std::atomic<std::uint64_t> dropped_{0};
};

// Hears every period the synthesizer renders (the WAV recorder).
class AudioTap {
  public:
    virtual ~AudioTap() = default;
    // Thread: the render thread. No lock, no allocation, no blocking call.
    virtual void onAudio(const float* left, const float* right, std::uint32_t frames) noexcept = 0;
};

}  // namespace tarvelo::synth
