#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "midi/backends/jack/jack_file_player.h"
#include "midi/synth/file_playback.h"
#include "midi/synth/synth_backend.h"

namespace tarvelo::app {

// What the command line asks of the MIDI side.
struct MidiOptions {
    std::string api;        // "alsa", "jack", "internal", or empty for the automatic choice
    std::string soundFont;  // --soundfont; empty: the environment's or the system's
    std::string record;     // --record FILE.wav; empty: none
    std::string play;       // --play FILE.mid; empty: none
    bool connectAudio = true;
};

// The MIDI system the program runs on, with the built-in synthesizer and the MIDI file played
// into the virtual input, put together as the command line asks. User-interface thread.
class MidiSystem {
  public:
    // Prints one line on standard error for each thing that is missing but not fatal (no
    // SoundFont, no audio output). Null when the program cannot go on (unknown API, unreadable
    // MIDI file); the line saying why has been printed. offlineAllowed: a headless run may
    // render faster than real time when it plays a file into the internal system and records.
    static std::unique_ptr<MidiSystem> open(const MidiOptions& options, bool offlineAllowed);
    ~MidiSystem();

    synth::SynthBackend& backend() { return *backend_; }
    synth::SynthEngine* engine() { return backend_->engine(); }
    synth::FilePlayback* playback() { return playback_.get(); }
    // Rendering is the caller's job (offline); no audio thread runs.
    bool offline() const { return offline_; }

    // Waits for the SoundFont to load (if there is a synthesizer) and says so on standard error
    // when it failed.
    void waitForSynth();
    // Starts the file playing from the next period (if there is one). On JACK the file plays
    // through a client of its own into our open input port.
    void startPlayback();
    // The file has been played and the synthesizer has fallen silent (true at once without
    // a file).
    bool playedOut() const;

    // Stops the sound and completes the recording; says so on standard error when the recording
    // could not be written. Returns false then.
    bool finish();

  private:
    MidiSystem() = default;
    bool preparePlayback(const std::string& path);

    std::unique_ptr<synth::SynthBackend> backend_;
    std::unique_ptr<synth::FilePlayback> playback_;
    std::unique_ptr<JackFilePlayer> jackPlayer_;
    std::string recordPath_;
    bool offline_ = false;
    bool finished_ = false;
};

}  // namespace tarvelo::app
