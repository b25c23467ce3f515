#pragma once

#include <rtmidi/RtMidi.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "midi/backend.h"
#include "midi/backends/alsa/port_names.h"

namespace tarvelo {

// MIDI through RtMidi: the ALSA sequencer on Linux (and, built elsewhere, the system MIDI of
// Windows or macOS). Device names are RtMidi's port names without the numbers the system
// renumbers from run to run; our own ports are never listed.
//
// RtMidi announces no device changes, so the owner is asked to list the devices again twice a
// second (a listing asks the sequencer for its clients and ports: a few cheap calls).
//
// Threads: RtMidi delivers input on a thread of its own, and the handler's sends from there go
// through a connection of their own, never the one the user-interface thread sends through (an
// RtMidi output is not safe to share between threads). Long messages leave synchronously, so
// their completions are reported at once, on the user-interface thread.
//
// Besides the system's ports, the input devices include "Tarvelo Virtual In": a port of our own
// ("Tarvelo:Virtual In") that other programs connect to, there while it is the open input.
//
// All functions run on the user-interface thread.
class RtMidiBackend final : public MidiBackend {
  public:
    explicit RtMidiBackend(RtMidi::Api api, std::string clientName = "Tarvelo");
    ~RtMidiBackend() override;
    RtMidiBackend(const RtMidiBackend&) = delete;
    RtMidiBackend& operator=(const RtMidiBackend&) = delete;

    // "alsa", "jack", ...
    std::string_view apiName() const override { return apiName_; }
    std::vector<std::string> inputNames() override;
    std::vector<std::string> outputNames() override;
    std::unique_ptr<MidiInputPort> openInput(const std::string& name,
                                             InputHandler& handler) override;
    std::unique_ptr<MidiOutputPort> openOutput(const std::string& name,
                                               LongMessageListener& listener) override;
    std::chrono::milliseconds relistInterval() const override;

    // The system's MIDI service answers (for ALSA: the sequencer opens).
    bool available();

  private:
    std::vector<rtmidi::PortEntry> inputDevices();
    std::vector<rtmidi::PortEntry> outputDevices();
    // The objects that list ports; null while the service cannot be reached (tried again at the
    // next listing).
    RtMidiIn* inputLister();
    RtMidiOut* outputLister();
    bool serviceReachable() const;

    RtMidi::Api api_;
    std::string clientName_;
    std::string apiName_;
    rtmidi::PortNaming naming_;
    std::unique_ptr<RtMidiIn> inputLister_;
    std::unique_ptr<RtMidiOut> outputLister_;
};

}  // namespace tarvelo
