#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "midi/packed_message.h"

namespace tarvelo {

// Walks the bytes of one incoming event as a MIDI system hands it over and calls
// deliver(PackedMessage) for every complete short message in it, in order. Returns the number
// delivered.
//
// Systems deliver whole messages, one per event, but nothing stops a driver from packing several
// into one event or passing on a torn one, so the walk follows the wire rules instead of trusting
// the length:
//  - several messages back to back, each with its status byte, are split apart;
//  - a real-time byte (0xF8..0xFF) inside another message is delivered on its own, where it stands;
//  - a message cut short by a new status byte or by the end of the event is dropped;
//  - system-exclusive data (0xF0 up to 0xF7) is skipped: this program never takes long input;
//  - data bytes with no status byte before them (running status) are skipped.
//
// Any thread; no allocation, no lock (the MIDI input path calls it).
template <typename Deliver>
int forEachShortMessage(std::span<const std::uint8_t> bytes, Deliver&& deliver) noexcept {
    int delivered = 0;
    std::uint8_t status = 0;        // status of the message being collected, 0 for none
    bool inExclusive = false;       // between 0xF0 and its end
    std::uint8_t data[2] = {0, 0};  // data bytes collected so far
    int have = 0;                   // how many of them
    int need = 0;                   // data bytes the status calls for

    for (const std::uint8_t byte : bytes) {
        if (byte >= 0xF8) {
            deliver(packMessage(byte, 0, 0));
            ++delivered;
            continue;
        }
        if (byte >= 0x80) {
            // A status byte ends whatever came before it, complete or not.
            status = 0;
            inExclusive = byte == 0xF0;
            if (inExclusive || byte == 0xF7)
                continue;
            const int length = shortMessageLength(byte);
            if (length == 0)
                continue;
            if (length == 1) {
                deliver(packMessage(byte, 0, 0));
                ++delivered;
                continue;
            }
            status = byte;
            need = length - 1;
            have = 0;
            continue;
        }
        if (inExclusive || status == 0)
            continue;
        data[have++] = byte;
        if (have == need) {
            deliver(packMessage(status, data[0], need == 2 ? data[1] : std::uint8_t{0}));
            ++delivered;
            status = 0;
        }
    }
    return delivered;
}

}  // namespace tarvelo
