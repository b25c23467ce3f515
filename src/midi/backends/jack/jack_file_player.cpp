#include "midi/backends/jack/jack_file_player.h"

#include <jack/midiport.h>

namespace tarvelo {

std::unique_ptr<JackFilePlayer> JackFilePlayer::open(const std::string& serverName,
                                                     const std::vector<std::string>& targetPorts,
                                                     synth::FilePlayback& playback,
                                                     std::string& error) {
    std::unique_ptr<JackFilePlayer> player(new JackFilePlayer(playback));
    int options = JackNoStartServer;
    if (!serverName.empty())
        options |= JackServerName;
    jack_status_t status{};
    player->client_ = jack_client_open("Tarvelo player", static_cast<jack_options_t>(options),
                                       &status, serverName.c_str());
    if (player->client_ == nullptr) {
        error = "the JACK server does not answer: the MIDI file cannot be played";
        return nullptr;
    }
    player->port_ =
        jack_port_register(player->client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (player->port_ == nullptr ||
        jack_set_process_callback(player->client_, &JackFilePlayer::processCallback,
                                  player.get()) != 0 ||
        jack_activate(player->client_) != 0) {
        error = "the JACK player client cannot be set up: the MIDI file is not played";
        return nullptr;
    }
    int connected = 0;
    for (const std::string& target : targetPorts) {
        if (jack_connect(player->client_, jack_port_name(player->port_), target.c_str()) == 0)
            ++connected;
    }
    if (connected == 0) {
        error = "no input device is open to play the MIDI file into";
        return nullptr;
    }
    return player;
}

JackFilePlayer::~JackFilePlayer() {
    // Once closed, the process callback does not run any more.
    if (client_ != nullptr)
        jack_client_close(client_);
}

int JackFilePlayer::processCallback(jack_nframes_t frames, void* self) noexcept {
    auto& player = *static_cast<JackFilePlayer*>(self);
    void* buffer = jack_port_get_buffer(player.port_, frames);
    jack_midi_clear_buffer(buffer);
    player.playback_.playPeriod(frames, [buffer](std::uint32_t frame, PackedMessage message) {
        const std::uint8_t bytes[3] = {statusOf(message), data1Of(message), data2Of(message)};
        // A full buffer loses the message; a file never comes near it in one period.
        jack_midi_event_write(buffer, frame, bytes,
                              static_cast<std::size_t>(shortMessageLength(bytes[0])));
    });
    return 0;
}

}  // namespace tarvelo
