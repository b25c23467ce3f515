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
// The other threads hand their messages over through single-producer rings. One thread at a time
// calls FluidSynth's API (notes, controllers, system-exclusive), so its own API lock is switched
// off: the render thread, which applies the messages as it renders, or the engine's worker, which
// borrows the instance between two periods for what FluidSynth does only with the heap: a MIDI
// Tuning Standard message makes it allocate a tuning and free the one it replaces. The render
// thread reaches for the instance without waiting (see tryTakeInstance); in the rare period the
// worker holds it, the period is rendered all the same (FluidSynth renders apart from its API)
// and the period's messages apply at the next one.
//
// The worker first loads the SoundFont; until it has loaded, the synthesizer renders silence and
// drops the notes that reach it, while the owner's other messages (programs, controllers,
// system-exclusive: a part's initial messages) wait in their ring and set the sound up as soon as
// it has loaded, so that nothing sent at start-up is lost.
//
// FluidSynth preallocates its voices (polyphony) when the instance is created and keeps every
// sample of the SoundFont in memory (no dynamic sample loading), and the loading creates the
// equal-tempered tunings of tuning bank 0, which a tuning program change (RPN 3) would otherwise
// create on first use; so notes, controllers and program changes allocate nothing. A tuning
// program change to a tuning that no tuning message has defined in banks 1 to 127 still makes
// FluidSynth create it where it is applied. FluidSynth's log is off (silenceAudioLogs), so
// nothing is formatted on the render thread either. What no setting avoids: FluidSynth as Debian
// builds it mixes reverb and chorus in an OpenMP region, and libgomp allocates and frees a small
// team for each such region on the rendering thread, once per render call.
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
    // Any thread but the worker: waits until loading has finished, either way. Returns the state.
    State waitUntilLoaded();
    // Any thread but the worker, outside renderAudio: waits until every tuning message sent so
    // far has been applied (at once when none waits or loading failed). For renders that must
    // come out the same every time (offline), before they start.
    void waitForTuning();
    // After a failed load: why, in one line.
    std::string loadError() const;
    const std::string& soundFontPath() const { return soundFontPath_; }
    // Any thread: the rate the engine renders at (or will, once a change has been applied).
    std::uint32_t sampleRate() const { return sampleRate_.load(std::memory_order_relaxed); }

    // User-interface thread (AudioSource): the host plays at a new rate, as a JACK server that
    // came back at another one does. The worker retunes the instance between two periods; until
    // then the engine renders silence rather than sound at the wrong pitch.
    void changeSampleRate(std::uint32_t rate) override;

    // User-interface thread: a short message, applied at the start of the next period (the first
    // after loading; a note sent while loading is dropped).
    void sendFromOwner(PackedMessage message) noexcept;
    // User-interface thread: a system-exclusive message (with its F0 and F7), copied; applied at
    // the start of the next period, or by the worker when it is a MIDI Tuning Standard message
    // (as soon as it is its turn: the messages sent after it wait for it). False when it cannot
    // be taken (too long, queue full). May block briefly, to wake the worker.
    bool sendExclusive(std::span<const std::uint8_t> bytes);
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
    // One message of the owner's stream. A system-exclusive one waits in exclusives_ under its
    // sequence number and takes its turn here.
    struct OwnerMessage {
        enum class Kind : std::uint8_t {
            Short,      // `message` itself
            Exclusive,  // `sequence`, applied by whoever holds the instance
            Tuning,     // `sequence`, a MIDI Tuning Standard message: applied by the worker only
        };
        Kind kind;
        PackedMessage message;
        std::uint32_t sequence;
    };
    struct Exclusive {
        std::uint32_t sequence;
        std::uint32_t size;
        std::uint8_t bytes[kMaxExclusiveBytes];
    };
    static_assert(std::is_trivially_copyable_v<TimedMessage>);
    static_assert(std::is_trivially_copyable_v<OwnerMessage>);
    static_assert(std::is_trivially_copyable_v<Exclusive>);

    // Worker thread: loads the SoundFont, then applies tuning messages until the engine goes.
    void runWorker();
    bool load();
    void applyTuning();
    void applySampleRate();
    // Worker thread: takes the instance between two periods; false when the engine goes first.
    bool takeInstanceBetweenPeriods();

    // The FluidSynth instance's API, held by one thread at a time (the render thread for a
    // period, or the worker). Never waits: false when the other one holds it. Acquire on taking
    // and release on handing back order everything the holders do to the instance one after the
    // other.
    bool tryTakeInstance() noexcept {
        return !instanceTaken_.exchange(true, std::memory_order_acquire);
    }
    void releaseInstance() noexcept { instanceTaken_.store(false, std::memory_order_release); }

    // Holder of the instance: applies the owner's messages in order; the render thread stops
    // before a tuning message (and so before everything sent after it), which the worker applies.
    enum class Applier { RenderThread, Worker };
    void applyOwnerMessages(Applier applier) noexcept;
    void apply(PackedMessage message) noexcept;
    void applyExclusive(std::uint32_t sequence) noexcept;
    void renderSpan(float* left, float* right, std::uint32_t from, std::uint32_t to) noexcept;
    void dropPending() noexcept;
    void noteSilence(const float* left, const float* right, std::uint32_t frames) noexcept;
    // The end of every period, rendered or not: silence counted, the tap fed.
    void finishPeriod(const float* left, const float* right, std::uint32_t frames) noexcept;

    const std::string soundFontPath_;
    std::atomic<std::uint32_t> sampleRate_;  // written by the user-interface thread
    // A rate change waits for the worker; the render thread renders silence meanwhile (written
    // by the user-interface thread and the worker, release; read by the render thread, acquire).
    std::atomic<bool> rateChanging_{false};
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;

    std::atomic<State> state_{State::Loading};  // written by the worker (release)
    std::atomic<bool> instanceTaken_{false};    // see tryTakeInstance

    // Guards what the worker and the threads that wait for it share; never taken by rendering.
    mutable std::mutex workerMutex_;
    std::condition_variable workToDo_;    // wakes the worker
    std::condition_variable workerDone_;  // wakes those waiting for loading or tuning
    std::string loadError_;
    bool tuningWaits_ = false;  // a tuning message was sent that the worker has not taken on
    bool tuningBusy_ = false;   // the worker is applying tuning messages
    bool rateWaits_ = false;    // a rate change was asked for that the worker has not applied
    bool stopping_ = false;     // the engine goes: the worker ends
    std::thread worker_;

    // Producer: the user-interface thread; consumer: whoever holds the instance. When full the
    // message is dropped and counted.
    SpscRing<OwnerMessage, 4096> fromOwner_;
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
