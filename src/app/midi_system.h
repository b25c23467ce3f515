#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "midi/backends/jack/jack_file_player.h"
#include "midi/synth/file_playback.h"
#include "midi/synth/synth_backend.h"
#include "midi/synth/wav_recorder.h"

namespace tarvelo::app {

// What the command line asks of the MIDI side.
struct MidiOptions {
    std::string api;        // "alsa", "jack", "internal", or empty for the automatic choice
    std::string soundFont;  // --soundfont; empty: the environment's or the system's
    std::string record;     // --record FILE.wav; empty: none
    std::string play;       // --play FILE.mid; empty: none
    // --play-channels: the file's channels to play, bit n for channel n + 1.
    std::uint16_t playChannels = synth::kAllChannels;
    bool connectAudio = true;
};

// Reads a --play-channels list: channel numbers 1 to 16 separated by commas ("1,2,10").
// Nullopt when the text is not such a list.
std::optional<std::uint16_t> parseChannelList(std::string_view text);

// The MIDI system the program runs on, with the built-in synthesizer, the MIDI file played into
// the virtual input and the recording, put together as the command line asks. User-interface
// thread.
class MidiSystem {
  public:
    // Prints one line on standard error for each thing that is missing but not fatal (no
    // SoundFont, no audio output). Null when the program cannot go on (unknown API, a MIDI file
    // that cannot be played, a file to play or record without a synthesizer that loads); the
    // line saying why has been printed. With a file to play or record, the SoundFont has loaded
    // when it returns. offlineAllowed: a headless run may render faster than real time when it
    // plays a file into the internal system and records.
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
    // The file has been played and its sound has died away: the synthesizer's output has stayed
    // below -90 dBFS for kSilenceSeconds since the file's last event, or kLongestTailSeconds
    // have passed since it (true at once without a file).
    bool playedOut() const;

    // When the command line asks for a recording: starts it, into a file beside the one asked
    // for (see synth::WavFile). A write that fails later (a full disk) ends the recording and
    // makes wakeFd (an eventfd) readable, from the recorder's thread. False, with a line on
    // standard error, when the file cannot be created.
    bool startRecording(int wakeFd);
    // The recording has ended on a failed write.
    bool recordingFailed() const { return recorder_ && recorder_->failed(); }

    // Stops the sound and completes the recording: complete, it takes the name asked for; else
    // (a render stopped before its end) it keeps its partial name. Says on standard error when
    // the recording is not complete, and where it is. Returns false then.
    bool finish(bool complete = true);

    // A render ends once its sound has stayed this long below -90 dBFS after the file's end...
    static constexpr double kSilenceSeconds = 1.0;
    // ... or this long after the file's end, whatever its sound (a note never released).
    static constexpr std::uint64_t kLongestTailSeconds = 30;

  private:
    MidiSystem() = default;
    bool preparePlayback(const std::string& path, std::uint16_t channels);

    std::unique_ptr<synth::SynthBackend> backend_;
    std::unique_ptr<synth::FilePlayback> playback_;
    std::unique_ptr<JackFilePlayer> jackPlayer_;
    std::unique_ptr<synth::WavRecorder> recorder_;
    std::string recordPath_;
    int wakeFd_ = -1;  // written by the recorder's thread when a write fails
    bool offline_ = false;
    bool finished_ = false;
};

}  // namespace tarvelo::app
