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
            (result == SendResult::Deferred && isNoteOnPress(message))) {
            track(message);
        }
        return result != SendResult::Dropped;
    }

    // User-interface thread. Drops a malformed message (a data byte of 0x80 or more would be
    // taken by the receiver for a status byte).
    void sendShort(PackedMessage message) {
        if (!isWellFormedShortMessage(message))
            return;
        track(message);
        port_->sendShort(message);
    }

    // User-interface thread; see MidiOutputPort::sendLong for the lifetime of the bytes.
    void sendLong(std::span<const std::uint8_t> bytes, LongMessageToken token) {
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

    MidiOutputPort& port() { return *port_; }

  private:
    void track(PackedMessage message) noexcept;
    // Sends a note off for every note left sounding on channel, forgetting them.
    void releaseSounding(int channel);

    std::unique_ptr<MidiOutputPort> port_;
    const std::uint64_t incarnation_;
    // One bit per channel and note; set by a note on, cleared by a note off, from either thread
    // (atomic read-modify-write, relaxed: the bits publish nothing else).
    std::array<std::array<std::atomic<std::uint64_t>, 2>, 16> sounding_{};
};

}  // namespace tarvelo
