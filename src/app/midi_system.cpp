#include "app/midi_system.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "midi/backends/backend_factory.h"
#include "midi/backends/internal/internal_backend.h"
#include "midi/backends/jack/jack_backend.h"
#include "midi/synth/sound_font_locator.h"

namespace tarvelo::app {

namespace {

void printLine(const std::string& text) {
    std::fprintf(stderr, "tarvelo: %s\n", text.c_str());
}

}  // namespace

std::optional<std::uint16_t> parseChannelList(std::string_view text) {
    std::uint16_t channels = 0;
    for (;;) {
        const std::string_view item = text.substr(0, text.find(','));
        int channel = 0;
        const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), channel);
        if (item.empty() || error != std::errc() || end != item.data() + item.size() ||
            channel < 1 || channel > 16)
            return std::nullopt;
        channels |= static_cast<std::uint16_t>(1u << (channel - 1));
        if (item.size() == text.size())
            return channels;
        text.remove_prefix(item.size() + 1);
    }
}

std::unique_ptr<MidiSystem> MidiSystem::open(const MidiOptions& options, bool offlineAllowed) {
    std::unique_ptr<MidiSystem> system(new MidiSystem());
    std::unique_ptr<MidiBackend> midi = createBackend(options.api);
    if (!midi) {
        printLine("unknown MIDI API '" + requestedMidiApi(options.api) + "'");
        return nullptr;
    }
    const bool internal = dynamic_cast<InternalBackend*>(midi.get()) != nullptr;

    // A recording, a file played on the internal system and a SoundFont the user named are
    // not started on a synthesizer that stays silent (a render would never end): its SoundFont
    // must be there and load, else the run is refused before anything starts.
    const char* needs = !options.record.empty() ? "--record"
                        : !options.play.empty() ? "--play"
                                                : nullptr;
    const synth::SoundFontChoice soundFont = synth::chooseSoundFont(options.soundFont);
    if (soundFont.path.empty()) {
        if (needs != nullptr && (soundFont.named || internal || !options.record.empty())) {
            printLine(soundFont.error + ": " + needs + " needs the built-in synthesizer");
            return nullptr;
        }
        printLine(soundFont.error + ": the built-in synthesizer is off");
    }

    synth::SynthOptions synthOptions;
    synthOptions.soundFont = soundFont.path;
    synthOptions.connectAudio = options.connectAudio;
    // Rendering faster than real time is only possible where nothing else keeps time.
    system->offline_ = offlineAllowed && !options.play.empty() && !options.record.empty() &&
                       internal && !soundFont.path.empty();
    synthOptions.offline = system->offline_;
    system->recordPath_ = options.record;
    system->backend_ = addSynth(std::move(midi), synthOptions);
    for (const std::string& note : system->backend_->notes())
        printLine(note);

    synth::SynthEngine* engine = system->engine();
    if (needs != nullptr && engine != nullptr &&
        engine->waitUntilLoaded() == synth::SynthEngine::State::Failed) {
        printLine(engine->loadError() + ": " + needs + " needs the built-in synthesizer");
        return nullptr;
    }

    if (!options.play.empty() && !system->preparePlayback(options.play, options.playChannels))
        return nullptr;
    return system;
}

MidiSystem::~MidiSystem() {
    finish(false);
    // The render thread has stopped: the playback may go.
    if (playback_ && backend_) {
        if (auto* internal = dynamic_cast<InternalBackend*>(&backend_->system()))
            internal->setPlayback(nullptr);
    }
}

void MidiSystem::waitForSynth() {
    synth::SynthEngine* engine = backend_->engine();
    if (engine == nullptr)
        return;
    if (engine->waitUntilLoaded() == synth::SynthEngine::State::Failed)
        printLine(engine->loadError() + ": the built-in synthesizer stays silent");
}

bool MidiSystem::preparePlayback(const std::string& path, std::uint16_t channels) {
    MidiBackend& midi = backend_->system();
    std::uint32_t rate = 0;
    if (dynamic_cast<InternalBackend*>(&midi) != nullptr) {
        // The internal system's input runs on the synthesizer's clock.
        if (engine() == nullptr) {
            printLine("--play on the internal MIDI system needs the built-in synthesizer");
            return false;
        }
        rate = engine()->sampleRate();
    } else if (dynamic_cast<JackBackend*>(&midi) != nullptr) {
        rate = midi.audioHost()->sampleRate();
        if (rate == 0) {
            printLine("the JACK server does not answer: '" + path + "' cannot be played");
            return false;
        }
    } else {
        printLine("--play plays into the internal MIDI system or a JACK server, not into " +
                  std::string(midi.apiName()));
        return false;
    }
    std::string error;
    auto schedule = synth::loadMidiFile(path, rate, error);
    if (!schedule) {
        printLine(error);
        return false;
    }
    if (channels != synth::kAllChannels && !synth::keepChannels(*schedule, channels)) {
        printLine("'" + path + "' has nothing to play on the channels of --play-channels");
        return false;
    }
    playback_ = std::make_unique<synth::FilePlayback>(std::move(*schedule));
    if (auto* internal = dynamic_cast<InternalBackend*>(&midi))
        internal->setPlayback(playback_.get());
    return true;
}

void MidiSystem::startPlayback() {
    if (!playback_)
        return;
    if (auto* jack = dynamic_cast<JackBackend*>(&backend_->system())) {
        std::string error;
        jackPlayer_ = JackFilePlayer::open({}, jack->ownInputPorts(), *playback_, error);
        if (!jackPlayer_) {
            printLine(error);
            playback_.reset();
            return;
        }
    }
    playback_->start();
}

bool MidiSystem::playedOut() const {
    if (!playback_)
        return true;
    if (!playback_->finished())
        return false;
    const synth::SynthEngine* engine = backend_->engine();
    if (engine == nullptr || engine->state() != synth::SynthEngine::State::Ready)
        return true;
    const std::uint64_t rate = engine->sampleRate();
    const std::uint64_t pastEnd = playback_->framesPastEnd();
    return pastEnd >= kLongestTailSeconds * rate ||
           std::min(engine->silentFrames(), pastEnd) >=
               static_cast<std::uint64_t>(kSilenceSeconds * static_cast<double>(rate));
}

bool MidiSystem::startRecording(int wakeFd) {
    synth::SynthEngine* engine = backend_->engine();
    if (recordPath_.empty() || engine == nullptr || recorder_)
        return true;
    wakeFd_ = wakeFd;
    recorder_ = std::make_unique<synth::WavRecorder>(
        offline_ ? synth::WavRecorder::Mode::Offline : synth::WavRecorder::Mode::Live,
        engine->sampleRate(), [this] {
            const std::uint64_t one = 1;
            if (wakeFd_ >= 0) {
                [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
            }
        });
    if (!recorder_->open(recordPath_)) {
        printLine("cannot write '" + recordPath_ + "': " + recorder_->error());
        recorder_.reset();
        return false;
    }
    engine->setTap(recorder_.get());
    return true;
}

bool MidiSystem::finish(bool complete) {
    if (finished_ || !backend_)
        return true;
    finished_ = true;
    jackPlayer_.reset();
    backend_->finish();
    if (!recorder_)
        return true;
    // Nothing renders any more: the recorder may go.
    backend_->engine()->setTap(nullptr);
    const bool written = recorder_->finish(complete);
    if (!written) {
        printLine("the recording '" + recordPath_ + "' could not be written completely (" +
                  recorder_->error() + "); what was recorded is in '" + recorder_->partialPath() +
                  "'");
    } else if (!complete) {
        printLine("the recording '" + recordPath_ + "' was stopped before its end; " +
                  "what was recorded is in '" + recorder_->partialPath() + "'");
    }
    recorder_.reset();
    return written && complete;
}

}  // namespace tarvelo::app
