#pragma once

#include <jack/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "midi/backend.h"

namespace tarvelo {

namespace jack {
class Session;
}

// MIDI through a JACK server, as one client ("Tarvelo") with one MIDI input port per open input
// device and one MIDI output port per open output device.
//
// Devices are the other clients' MIDI ports, by full port name, in the server's order: input
// devices are their output ports, output devices their input ports. Our own ports are never
// listed.
//
// Besides the other clients' ports, the input devices include "Tarvelo Virtual In": an input port
// of our own ("virtual in"), left unconnected for the patchbay.
//
// The built-in synthesizer (an AudioSource) plays through two audio ports of ours, rendered in
// the same process callback after the input has been routed, so a note sounds in the cycle its
// key arrived in.
//
// Routing happens inside the process callback: each short message that arrives on an input port
// is handed to the input's handler at once, and what the handler sends through
// MidiOutputPort::sendFromInput is written to the output port in the same cycle at the same frame,
// so routing adds no latency. Messages sent from the user-interface thread are queued and go out
// at the start of the next cycle.
//
// Every change of the server's graph (a client or port registered, unregistered or renamed, a
// connection made or broken, the graph reordered, the sample rate changed) is announced to the
// device change listener from JACK's notification thread. A listing made right after a notice may
// still see a departing client's ports (jackd2 drops them from the clients' view a cycle later),
// so relistInterval() asks the owner to list again every 100 ms until the graph has been quiet
// for 600 ms: a change that happens while a listing runs is seen by the next one.
//
// A connection counts once it exists: an open asks the server to connect, and a port says it is
// connected only once the graph shows the connection and three of our cycles have passed since
// the server accepted it (PipeWire shows a link before it carries data). A connection the server
// refuses (the other client is not active yet) is asked for again every 250 ms.
// awaitConnections() lets an operation that opened devices wait for their connections.
//
// A server that goes away is survived: the listener hears of it once, sends become no-ops, and
// the next listing of devices, once every port of the lost connection has been closed, connects to
// a server again if one runs. While there is no server, relistInterval() asks the owner to list
// about once a second; a failed attempt returns at once. The server is never started by us.
//
// All functions run on the user-interface thread.
class JackBackend final : public MidiBackend, private AudioHost {
  public:
    // serverName: the server to use; empty for the default one (JACK_DEFAULT_SERVER, or
    // "default"). Connects at once when that server runs.
    explicit JackBackend(std::string serverName = {}, std::string clientName = "Tarvelo");
    ~JackBackend() override;
    JackBackend(const JackBackend&) = delete;
    JackBackend& operator=(const JackBackend&) = delete;

    std::string_view apiName() const override { return "jack"; }
    std::vector<std::string> inputNames() override;
    std::vector<std::string> outputNames() override;
    std::unique_ptr<MidiInputPort> openInput(const std::string& name,
                                             InputHandler& handler) override;
    std::unique_ptr<MidiOutputPort> openOutput(const std::string& name,
                                               LongMessageListener& listener) override;
    bool serverLost() const override;
    void setServerLostListener(ServerLostListener* listener) override;
    void setDeviceChangeListener(DeviceChangeListener* listener) override;
    std::chrono::milliseconds relistInterval() const override;
    void awaitConnections(std::chrono::milliseconds limit) override;
    AudioHost* audioHost() override { return this; }
    // Reported from the process thread while the client runs, like the port's own completions.
    void reportLongMessageDone(LongMessageListener& listener, LongMessageToken token) override;

    // A client is open on a server that has not gone away.
    bool connected() const;
    // Our client's name on the server (it renames a second "Tarvelo"); empty when not connected.
    std::string clientName() const;
    // The full names of our own MIDI input ports now (the open input device's), for a player
    // that plays into them as a keyboard would; empty when not connected.
    std::vector<std::string> ownInputPorts() const;
    // Messages lost since the backend was made: buffers and backlogs full, a system-exclusive
    // message bigger than a whole buffer, a send queue that stayed full.
    std::uint64_t droppedMessages() const override;
    // The thread that runs the process callback, for measurements; 0 when not connected.
    jack_native_thread_t processThread() const;

  private:
    // The frame of the input event being routed, read through whichever connection is live.
    class FrameClock final : public EventFrameClock {
      public:
        std::uint32_t eventFrame() const noexcept override;
        // Written by the user-interface thread while no process callback of a connection it
        // names runs; read by the process thread.
        std::atomic<const jack::Session*> session{nullptr};
    };

    // AudioHost
    std::uint32_t sampleRate() override;
    bool attachAudioSource(AudioSource& source, bool connectToPlayback) override;
    void detachAudioSource() override;
    const EventFrameClock* eventFrameClock() const override { return &frameClock_; }

    // The live connection, connecting when there is none and none of a lost one is still in use;
    // null when no server answers.
    std::shared_ptr<jack::Session> liveSession();
    std::vector<std::string> listPorts(unsigned long flags);
    // Tells the audio source the server's rate when it differs from the one it renders at.
    void followSampleRate();

    std::string serverName_;
    std::string clientName_;
    ServerLostListener* lostListener_ = nullptr;
    DeviceChangeListener* changeListener_ = nullptr;
    std::shared_ptr<jack::Session> session_;
    bool lostWithoutReconnect_ = false;
    FrameClock frameClock_;
    AudioSource* audioSource_ = nullptr;  // played again through every new connection
    std::uint32_t sourceRate_ = 0;        // the rate audioSource_ was last told to render at
    bool connectAudio_ = false;
    std::uint64_t droppedBefore_ = 0;  // by connections already given up
};

}  // namespace tarvelo
