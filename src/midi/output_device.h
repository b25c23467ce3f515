#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

#include "midi/backend.h"
#include "midi/packed_message.h"

namespace tarvelo {

// One open output device as the device layer holds it: the backend's port, plus the notes this
// program has left sounding on it, so that a reset can silence exactly those.
class OutputDevice {
  public:
    // incarnation: a number no other opening of any device in this device set had, so that a
    // message meant for one opening is never sent to a later one.
    OutputDevice(std::unique_ptr<MidiOutputPort> port, std::uint64_t incarnation)
        : port_(std::move(port)), incarnation_(incarnation) {}

    std::uint64_t incarnation() const noexcept { return incarnation_; }

    // Thread: the MIDI input thread, inside the input callback. Drops a malformed message.
    // True when the message was written or will be, in order (the port held it back).
    //
    // Only what is sure to go out counts: a note on is remembered as sounding once written or
    // held back (a reset then silences it whether or not it got out), a note off forgets its note
    // only once written, so a release lost or still waiting leaves the note to the next reset.
    bool sendFromInput(PackedMessage message) noexcept {
        if (!isWellFormedShortMessage(message))
            return false;
        const SendResult result = port_->sendFromInput(message);
        if (result == SendResult::Written ||
            (result == SendResult::Deferred && !isNoteRelease(message))) {
            track(message);
        }
        return result != SendResult::Dropped;
    }

    // Thread: the MIDI input thread. One of a song's set-up messages as the song is switched to:
    // sent like any other, except a program change that would select the program the channel
    // has already (in the same bank), which is skipped, so a song change never makes a synth
    // load a patch it has. True when sent or skipped.
    bool sendSetUpFromInput(PackedMessage message) noexcept {
        return alreadySet(message) || sendFromInput(message);
    }
    // User-interface thread: the same, from this thread.
    void sendSetUp(PackedMessage message) {
        if (!alreadySet(message))
            sendShort(message);
    }

    // User-interface thread. Drops a malformed message (a data byte of 0x80 or more would be
    // taken by the receiver for a status byte).
    void sendShort(PackedMessage message) {
        if (!isWellFormedShortMessage(message))
            return;
        track(message);
        port_->sendShort(message);
    }

    // User-interface thread; see MidiOutputPort::sendLong for the lifetime of the bytes. A
    // system-exclusive message may reset the device: its programs count as unknown afterwards.
    void sendLong(std::span<const std::uint8_t> bytes, LongMessageToken token) {
        for (auto& program : programs_)
            program.store(0, std::memory_order_relaxed);
        port_->sendLong(bytes, token);
    }

    // User-interface thread: silences the device. On each of the 16 channels a note off for every
    // note this program left sounding there, then Sustain off.
    void reset();

    // User-interface thread: the panic action. On each of the 16 channels a note off for every
    // note this program left sounding there, the pedals up (sustain, sostenuto, soft), the pitch
    // bend centred, then All Notes Off and All Sound Off, for whatever else sounds.
    void panic();

    // Any thread: whether a note on has been sent without its note off.
    bool isSounding(int channel, int note) const noexcept;
    // Any thread: no note this program sent sounds here, and no pedal it sent down is down.
    bool isQuiet() const noexcept;

    MidiOutputPort& port() { return *port_; }

  private:
    static bool isNoteRelease(PackedMessage message) noexcept {
        const std::uint8_t kind = statusOf(message) & 0xF0;
        return kind == 0x80 || (kind == 0x90 && data2Of(message) == 0);
    }
    // A program change selecting the program the channel has, in the bank it has.
    bool alreadySet(PackedMessage message) const noexcept;
    void track(PackedMessage message) noexcept;
    // Sends a note off for every note left sounding on channel, forgetting them.
    void releaseSounding(int channel);

    std::unique_ptr<MidiOutputPort> port_;
    const std::uint64_t incarnation_;
    // One bit per channel and note; set by a note on, cleared by a note off, from either thread
    // (atomic read-modify-write, relaxed: the bits publish nothing else).
    std::array<std::array<std::atomic<std::uint64_t>, 2>, 16> sounding_{};
    // Per channel, written from either thread (relaxed; a race between the two threads can at
    // worst send one program change too many or skip one the other thread just changed):
    // the pedals held down (one bit each for sustain, sostenuto, soft); the bank selected now
    // (bank select MSB and LSB, each with a bit saying it is known); the program selected by the
    // last program change, with the bank it was selected in, or 0 while unknown.
    std::array<std::atomic<std::uint8_t>, 16> pedals_{};
    std::array<std::atomic<std::uint16_t>, 16> banks_{};
    std::array<std::atomic<std::uint32_t>, 16> programs_{};
};

}  // namespace tarvelo
