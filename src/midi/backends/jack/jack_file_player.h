#pragma once

#include <jack/jack.h>

#include <memory>
#include <string>
#include <vector>

#include "midi/synth/file_playback.h"

namespace tarvelo {

// Plays a MIDI file into our own input the way a keyboard would: as a JACK client of its own
// ("Tarvelo player") whose MIDI output is connected to our open input port ("Tarvelo Virtual In"
// when that is the input; JACK merges it with whatever else is connected there). Its process
// callback writes each message at its frame; JACK runs it before the client it feeds, so the
// messages reach the routing in the same cycle.
//
// All functions run on the user-interface thread.
class JackFilePlayer {
  public:
    // Connects to the server (empty: the default one) and to targetPorts (full port names).
    // Null, with error set to one line, when that fails.
    static std::unique_ptr<JackFilePlayer> open(const std::string& serverName,
                                                const std::vector<std::string>& targetPorts,
                                                synth::FilePlayback& playback, std::string& error);
    ~JackFilePlayer();
    JackFilePlayer(const JackFilePlayer&) = delete;
    JackFilePlayer& operator=(const JackFilePlayer&) = delete;

  private:
    explicit JackFilePlayer(synth::FilePlayback& playback) : playback_(playback) {}
    static int processCallback(jack_nframes_t frames, void* self) noexcept;

    synth::FilePlayback& playback_;
    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
};

}  // namespace tarvelo
