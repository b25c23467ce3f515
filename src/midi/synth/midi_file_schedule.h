#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "midi/packed_message.h"

namespace tarvelo::synth {

// One short message of a Standard MIDI File and when it is due.
struct ScheduledMessage {
    std::uint64_t frame = 0;  // from the start of the file, at the schedule's sample rate
    PackedMessage message = 0;
};

// The most tracks FluidSynth's player takes from one file (it has room for 128 and refuses a
// file that fills it).
inline constexpr std::uint32_t kMaxTracks = 127;

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
// The file must be a regular file of at most 16 MiB (input_limits::kMidiFileBytes) with at most
// kMaxTracks tracks, and play for at most 6 hours.
//
// On failure returns nothing and sets error to one line (no program name) that names the file.
// Any thread but the real-time ones (it allocates).
std::optional<MidiFileSchedule> loadMidiFile(const std::string& path, std::uint32_t sampleRate,
                                             std::string& error);

// The same for a file's bytes already in memory; name is how errors name the file.
std::optional<MidiFileSchedule> readMidiFile(std::span<const std::uint8_t> bytes,
                                             std::uint32_t sampleRate, const std::string& name,
                                             std::string& error);

// Channel sets, bit n for MIDI channel n + 1.
inline constexpr std::uint16_t kAllChannels = 0xFFFF;

// Leaves out the channel messages of the channels not in `channels`; system messages stay. The
// end moves to the last message left. Whether anything of those channels is left.
bool keepChannels(MidiFileSchedule& schedule, std::uint16_t channels);

}  // namespace tarvelo::synth
