#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "midi/packed_message.h"

namespace tarvelo::synth {

// One short message of a Standard MIDI File and when it is due.
struct ScheduledMessage {
    std::uint64_t frame = 0;  // from the start of the file, at the schedule's sample rate
    PackedMessage message = 0;
};

// A Standard MIDI File as a list of timed short messages, ready to be played into an input.
struct MidiFileSchedule {
    std::vector<ScheduledMessage> messages;  // in playing order, frames non-decreasing
    std::uint64_t endFrame = 0;              // the file's end (its last event)
};

// Reads the Standard MIDI File at path (type 0 or 1, any tempo map) with FluidSynth's player and
// times its channel and system short messages at sampleRate. The player does the parsing:
// running status, tempo changes and meta events are its business; system-exclusive events are
// left out (the program takes only short messages as input).
//
// Times fall on FluidSynth's 64-frame block grid: an event is due at the first block that
// starts at or after its time (at most 1.3 ms late at 48 kHz). The whole file is timed up front,
// faster than real time, so playing it is a table walk.
//
// On failure returns nothing and sets error to one line (no program name). Any thread but the
// real-time ones (it allocates).
std::optional<MidiFileSchedule> loadMidiFile(const std::string& path, std::uint32_t sampleRate,
                                             std::string& error);

}  // namespace tarvelo::synth
