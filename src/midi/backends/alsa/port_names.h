#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvelo::rtmidi {

// How the system's MIDI API spells a port in RtMidi's list.
enum class PortNaming {
    // "client:port", stable from run to run (JACK).
    Plain,
    // "client:port 20:0": the ALSA sequencer's client and port numbers are appended, and those
    // change whenever a device is plugged in or a program starts.
    AlsaSequencer,
};

// One device as this program names it, and where RtMidi lists it now.
struct PortEntry {
    std::string name;
    unsigned int portNumber = 0;
};

// A port's name without the numbers that change from run to run.
std::string stablePortName(std::string_view reported, PortNaming naming);

// Whether the port belongs to a client of this program: its client part (before the first ':')
// is clientName, or clientName as JACK renames a second client of the same name ("Tarvelo-01").
bool isOwnPort(std::string_view name, std::string_view clientName);

// The devices in RtMidi's order, given the names RtMidi reported: stable names, our own ports
// left out, and names made unique (two identical keyboards become "X" and "X (2)") so that every
// device can be found again by its name.
std::vector<PortEntry> devicesFromPorts(const std::vector<std::string>& reported, PortNaming naming,
                                        std::string_view clientName);

}  // namespace tarvelo::rtmidi
