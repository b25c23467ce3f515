#include "app/midi_system.h"

#include <cstdio>

#include "midi/backends/backend_factory.h"
#include "midi/backends/internal/internal_backend.h"
#include "midi/backends/jack/jack_backend.h"
#include "midi/synth/sound_font_locator.h"

namespace tarvelo::app {

namespace {

// Sound that stays below the 16-bit quantum this long counts as over.
constexpr double kSilenceSeconds = 0.1;

void printLine(const std::string& text) {
    std::fprintf(stderr, "tarvelo: %s\n", text.c_str());
}

}  // namespace

std::unique_ptr<MidiSystem> MidiSystem::open(const MidiOptions& options, bool offlineAllowed) {
    std::unique_ptr<MidiSystem> system(new MidiSystem());

    synth::SynthOptions synthOptions;
    const synth::SoundFontChoice soundFont = synth::chooseSoundFont(options.soundFont);
    if (soundFont.path.empty())
        printLine(soundFont.error + ": the built-in synthesizer is off");
    synthOptions.soundFont = soundFont.path;
    synthOptions.recordPath = options.record;
    system->recordPath_ = options.record;
    synthOptions.connectAudio = options.connectAudio;
    std::unique_ptr<MidiBackend> midi = createBackend(options.api);
    if (!midi) {
        printLine("unknown MIDI API '" + requestedMidiApi(options.api) + "'");
        return nullptr;
    }
    // Rendering faster than real time is only possible where nothing else keeps time.
    system->offline_ = offlineAllowed && !options.play.empty() && !options.record.empty() &&
                       dynamic_cast<InternalBackend*>(midi.get()) != nullptr &&
                       !soundFont.path.empty();
    synthOptions.offline = system->offline_;
    system->backend_ = addSynth(std::move(midi), synthOptions);
    for (const std::string& note : system->backend_->notes())
        printLine(note);
    if (!options.record.empty() && system->engine() == nullptr)
        printLine("nothing is recorded to '" + options.record + "' without the synthesizer");

    if (!options.play.empty() && !system->preparePlayback(options.play))
        return nullptr;
    return system;
}

MidiSystem::~MidiSystem() {
    jackPlayer_.reset();
    finish();
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

bool MidiSystem::preparePlayback(const std::string& path) {
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
    if (playback_ && !playback_->finished())
        return false;
    const synth::SynthEngine* engine = backend_->engine();
    if (engine == nullptr || engine->state() != synth::SynthEngine::State::Ready)
        return true;
    return engine->activeVoices() == 0 &&
           engine->silentFrames() >=
               static_cast<std::uint64_t>(kSilenceSeconds * engine->sampleRate());
}

bool MidiSystem::finish() {
    if (finished_ || !backend_)
        return true;
    finished_ = true;
    if (backend_->finish())
        return true;
    printLine("the recording '" + recordPath_ + "' could not be written completely");
    return false;
}

}  // namespace tarvelo::app
