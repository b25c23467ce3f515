#include "midi/synth/synth_engine.h"

#include <fluidsynth.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "midi/synth/audio_logs.h"

namespace tarvelo::synth {

namespace {

// Voices FluidSynth allocates up front; a note beyond them steals the quietest voice.
constexpr int kPolyphony = 256;
// FluidSynth's own default (0.2) leaves a piano part some 20 dB below full scale; this still
// leaves room for both hands, reverb and chorus without clipping.
constexpr double kGain = 0.4;
constexpr int kExclusiveDeviceId = 0x10;
// Sound below -90 dBFS (10^(-90/20)) counts as silence: a render ends after a second of it.
constexpr float kSilence = 3.1623e-5f;
// How long the worker sleeps before it reaches for the instance again while the render thread
// holds it: a fraction of the shortest period, so a tuning waits a period or two at most.
constexpr std::chrono::microseconds kRetryInstance{250};

// A MIDI Tuning Standard message: universal system exclusive (real time or not) with sub-ID 08h,
// from F0 to F7. FluidSynth applies one by allocating a tuning.
bool isTuningMessage(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 5 && bytes[0] == 0xF0 && (bytes[1] == 0x7E || bytes[1] == 0x7F) &&
           bytes[3] == 0x08;
}

}  // namespace

SynthEngine::SynthEngine(std::string soundFontPath, std::uint32_t sampleRate)
    : soundFontPath_(std::move(soundFontPath)), sampleRate_(sampleRate) {
    silenceAudioLogs();
    settings_ = new_fluid_settings();
    fluid_settings_setnum(settings_, "synth.sample-rate", static_cast<double>(sampleRate));
    fluid_settings_setint(settings_, "synth.polyphony", kPolyphony);
    fluid_settings_setnum(settings_, "synth.gain", kGain);
    // Answer to the device number GS and XG set-up messages carry by default (0x10, shown as
    // device 17 on those instruments); GM messages go to every device anyway.
    fluid_settings_setint(settings_, "synth.device-id", kExclusiveDeviceId);
    // One thread at a time calls the instance (see tryTakeInstance).
    fluid_settings_setint(settings_, "synth.threadsafe-api", 0);
    fluid_settings_setint(settings_, "synth.cpu-cores", 1);
    fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 0);
    synth_ = new_fluid_synth(settings_);
    if (synth_ == nullptr) {
        loadError_ = "FluidSynth could not be started";
        state_.store(State::Failed, std::memory_order_release);
        return;
    }
    worker_ = std::thread([this] { runWorker(); });
}

SynthEngine::~SynthEngine() {
    if (worker_.joinable()) {
        {
            std::lock_guard lock(workerMutex_);
            stopping_ = true;
        }
        workToDo_.notify_all();
        worker_.join();
    }
    if (synth_ != nullptr)
        delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
}

void SynthEngine::runWorker() {
    const bool loaded = load();
    std::unique_lock lock(workerMutex_);
    state_.store(loaded ? State::Ready : State::Failed, std::memory_order_release);
    workerDone_.notify_all();
    if (!loaded)
        return;
    for (;;) {
        workToDo_.wait(lock, [this] { return stopping_ || tuningWaits_ || rateWaits_; });
        if (stopping_)
            return;
        if (rateWaits_) {
            rateWaits_ = false;
            lock.unlock();
            applySampleRate();
            lock.lock();
            continue;
        }
        // Tuning messages sent from now on wake the worker again.
        tuningWaits_ = false;
        tuningBusy_ = true;
        lock.unlock();
        applyTuning();
        lock.lock();
        tuningBusy_ = false;
        workerDone_.notify_all();
    }
}

void SynthEngine::changeSampleRate(std::uint32_t rate) {
    if (rate == 0 || rate == sampleRate())
        return;
    {
        std::lock_guard lock(workerMutex_);
        sampleRate_.store(rate, std::memory_order_relaxed);
        rateWaits_ = true;
        rateChanging_.store(true, std::memory_order_release);
    }
    workToDo_.notify_all();
}

bool SynthEngine::takeInstanceBetweenPeriods() {
    std::unique_lock lock(workerMutex_);
    // The render thread holds the instance for a period at a time; the worker waits for the gap
    // between two.
    while (!tryTakeInstance()) {
        if (workToDo_.wait_for(lock, kRetryInstance, [this] { return stopping_; }))
            return false;
    }
    return true;
}

void SynthEngine::applySampleRate() {
    if (!takeInstanceBetweenPeriods())
        return;
    const auto rate = static_cast<float>(sampleRate());
    // FluidSynth marks this deprecated in favour of a new instance, since it cuts the sound;
    // here nothing sounds (the server has just come back) and a new instance would mean loading
    // the SoundFont again and losing every part's set-up. It allocates: the worker does it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    fluid_synth_set_sample_rate(synth_, rate);
#pragma GCC diagnostic pop
    releaseInstance();
    // A second change asked for meanwhile keeps the render thread silent until it is applied.
    std::lock_guard lock(workerMutex_);
    if (!rateWaits_)
        rateChanging_.store(false, std::memory_order_release);
}

bool SynthEngine::load() {
    // The render thread leaves the instance alone until the state turns Ready (acquire), so the
    // load may use it without taking it.
    if (fluid_synth_sfload(synth_, soundFontPath_.c_str(), 1) == FLUID_FAILED) {
        std::lock_guard lock(workerMutex_);
        loadError_ = "cannot load the SoundFont '" + soundFontPath_ + "'";
        return false;
    }
    // What a tuning program change would create on the render thread: tuning bank 0's tunings,
    // equal-tempered, as FluidSynth makes them. Selecting one then only takes a reference.
    for (int program = 0; program < 128; ++program)
        fluid_synth_activate_key_tuning(synth_, 0, program, "Unnamed", nullptr, 0);
    return true;
}

void SynthEngine::applyTuning() {
    if (!takeInstanceBetweenPeriods())
        return;
    applyOwnerMessages(Applier::Worker);
    releaseInstance();
}

SynthEngine::State SynthEngine::waitUntilLoaded() {
    std::unique_lock lock(workerMutex_);
    workerDone_.wait(lock, [this] { return state() != State::Loading; });
    return state();
}

void SynthEngine::waitForTuning() {
    std::unique_lock lock(workerMutex_);
    workerDone_.wait(
        lock, [this] { return state() == State::Failed || (!tuningWaits_ && !tuningBusy_); });
}

std::string SynthEngine::loadError() const {
    std::lock_guard lock(workerMutex_);
    return loadError_;
}

void SynthEngine::sendFromOwner(PackedMessage message) noexcept {
    // A note played before there is a sound would only come out late; everything else waits.
    const std::uint8_t kind = statusOf(message) & 0xF0;
    if ((kind == 0x80 || kind == 0x90) && state() == State::Loading)
        return;
    if (!fromOwner_.push(OwnerMessage{OwnerMessage::Kind::Short, message, 0}))
        dropped_.fetch_add(1, std::memory_order_relaxed);
}

bool SynthEngine::sendExclusive(std::span<const std::uint8_t> bytes) {
    Exclusive exclusive{};
    if (bytes.size() > kMaxExclusiveBytes) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    exclusive.size = static_cast<std::uint32_t>(bytes.size());
    exclusive.sequence = nextExclusive_++;
    std::memcpy(exclusive.bytes, bytes.data(), bytes.size());
    const bool tuning = isTuningMessage(bytes);
    // The bytes go first, then their turn in the owner's stream: whoever applies the turn finds
    // them waiting, so short and exclusive messages keep their order.
    const OwnerMessage turn{tuning ? OwnerMessage::Kind::Tuning : OwnerMessage::Kind::Exclusive, 0,
                            exclusive.sequence};
    if (!exclusives_.push(exclusive) || !fromOwner_.push(turn)) {
        // Bytes left without a turn are skipped by the next turn, which names its own.
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    if (tuning) {
        {
            std::lock_guard lock(workerMutex_);
            tuningWaits_ = true;
        }
        workToDo_.notify_one();
    }
    return true;
}

bool SynthEngine::sendFromInput(PackedMessage message, std::uint32_t frame) noexcept {
    if (fromInput_.push(TimedMessage{message, frame}))
        return true;
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return false;
}

void SynthEngine::apply(PackedMessage message) noexcept {
    const std::uint8_t status = statusOf(message);
    const int channel = status & 0x0F;
    const int d1 = data1Of(message);
    const int d2 = data2Of(message);
    switch (status & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(synth_, channel, d1);
            break;
        case 0x90:
            // Velocity 0 is a release; FluidSynth treats it so.
            fluid_synth_noteon(synth_, channel, d1, d2);
            break;
        case 0xA0:
            fluid_synth_key_pressure(synth_, channel, d1, d2);
            break;
        case 0xB0:
            fluid_synth_cc(synth_, channel, d1, d2);
            break;
        case 0xC0:
            fluid_synth_program_change(synth_, channel, d1);
            break;
        case 0xD0:
            fluid_synth_channel_pressure(synth_, channel, d1);
            break;
        case 0xE0:
            fluid_synth_pitch_bend(synth_, channel, d1 | (d2 << 7));
            break;
        default:
            if (status == 0xFF)
                fluid_synth_system_reset(synth_);
            break;
    }
}

void SynthEngine::applyOwnerMessages(Applier applier) noexcept {
    OwnerMessage next{};
    while (fromOwner_.peek(next)) {
        if (next.kind == OwnerMessage::Kind::Tuning && applier == Applier::RenderThread)
            return;
        fromOwner_.pop(next);
        if (next.kind == OwnerMessage::Kind::Short) {
            apply(next.message);
        } else {
            applyExclusive(next.sequence);
        }
    }
}

void SynthEngine::applyExclusive(std::uint32_t sequence) noexcept {
    Exclusive exclusive;
    do {
        if (!exclusives_.pop(exclusive))
            return;
    } while (exclusive.sequence != sequence);
    // FluidSynth takes the bytes between F0 and F7 (GM, GS and XG resets, tuning, ...).
    std::uint32_t begin = 0;
    std::uint32_t end = exclusive.size;
    if (end > begin && exclusive.bytes[begin] == 0xF0)
        ++begin;
    if (end > begin && exclusive.bytes[end - 1] == 0xF7)
        --end;
    if (end > begin) {
        fluid_synth_sysex(synth_, reinterpret_cast<const char*>(exclusive.bytes + begin),
                          static_cast<int>(end - begin), nullptr, nullptr, nullptr, 0);
    }
}

void SynthEngine::renderSpan(float* left, float* right, std::uint32_t from,
                             std::uint32_t to) noexcept {
    if (to <= from)
        return;
    float* out[2] = {left + from, right + from};
    // Adds the dry sound and the effects into the buffers, which were cleared.
    fluid_synth_process(synth_, static_cast<int>(to - from), 0, nullptr, 2, out);
}

void SynthEngine::dropPending() noexcept {
    fromOwner_.clear();
    exclusives_.clear();
    fromInput_.clear();
}

void SynthEngine::noteSilence(const float* left, const float* right,
                              std::uint32_t frames) noexcept {
    bool silent = true;
    for (std::uint32_t i = 0; i < frames && silent; ++i)
        silent = std::fabs(left[i]) < kSilence && std::fabs(right[i]) < kSilence;
    if (silent) {
        silentFrames_.fetch_add(frames, std::memory_order_relaxed);
    } else {
        silentFrames_.store(0, std::memory_order_relaxed);
    }
}

void SynthEngine::renderAudio(float* left, float* right, std::uint32_t frames) noexcept {
    std::fill(left, left + frames, 0.0f);
    std::fill(right, right + frames, 0.0f);
    if (const State now = state(); now != State::Ready) {
        // Notes that reach the synthesizer before its SoundFont are dropped; the owner's set-up
        // waits for it (and goes when loading has failed), as does input that lives on this
        // thread.
        if (now == State::Loading) {
            fromInput_.clear();
        } else {
            dropPending();
        }
        finishPeriod(left, right, frames);
        return;
    }

    if (PeriodListener* listener = periodListener_.load(std::memory_order_acquire))
        listener->beforePeriod(frames);

    // While the worker holds the instance (applying a tuning or a new rate) it may not be
    // touched from here: the period stays silent and its messages wait for the next one. While
    // a new rate waits, sound at the old one would play at the wrong pitch.
    if (rateChanging_.load(std::memory_order_acquire) || !tryTakeInstance()) {
        finishPeriod(left, right, frames);
        return;
    }

    // The owner's messages first, in the order they were sent: they were sent before anything
    // of this period was played.
    applyOwnerMessages(Applier::RenderThread);

    // Render up to each input message's frame, apply it, go on: a note sounds from its frame
    // (FluidSynth starts voices on its own 64-frame block grid, so from the first block
    // boundary at or after the frame).
    std::uint32_t position = 0;
    TimedMessage timed{};
    while (fromInput_.pop(timed)) {
        const std::uint32_t frame = std::clamp(timed.frame, position, frames);
        renderSpan(left, right, position, frame);
        position = frame;
        apply(timed.message);
    }
    renderSpan(left, right, position, frames);
    activeVoices_.store(fluid_synth_get_active_voice_count(synth_), std::memory_order_relaxed);
    releaseInstance();
    finishPeriod(left, right, frames);
}

void SynthEngine::finishPeriod(const float* left, const float* right,
                               std::uint32_t frames) noexcept {
    noteSilence(left, right, frames);
    if (AudioTap* tap = tap_.load(std::memory_order_acquire))
        tap->onAudio(left, right, frames);
}

}  // namespace tarvelo::synth
