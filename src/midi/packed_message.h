#pragma once

#include <cstdint>

namespace tarvelo {

// A short MIDI message in the packed form used throughout the program:
// bits 0-7 status byte, bits 8-15 first data byte, bits 16-23 second data byte, bits 24-31 zero.
using PackedMessage = std::uint32_t;

constexpr PackedMessage packMessage(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    return PackedMessage{status} | (PackedMessage{data1} << 8) | (PackedMessage{data2} << 16);
}
constexpr std::uint8_t statusOf(PackedMessage m) {
    return static_cast<std::uint8_t>(m & 0xFF);
}
constexpr std::uint8_t data1Of(PackedMessage m) {
    return static_cast<std::uint8_t>((m >> 8) & 0xFF);
}
constexpr std::uint8_t data2Of(PackedMessage m) {
    return static_cast<std::uint8_t>((m >> 16) & 0xFF);
}

// Number of bytes the message occupies on the wire, judged by its status byte; 0 for bytes that
// cannot start a short message (data bytes, and the system-exclusive start and end 0xF0/0xF7).
constexpr int shortMessageLength(std::uint8_t status) {
    if (status < 0x80)
        return 0;
    if (status < 0xC0)
        return 3;  // note off/on, poly pressure, control change
    if (status < 0xE0)
        return 2;  // program change, channel pressure
    if (status < 0xF0)
        return 3;  // pitch bend
    switch (status) {
        case 0xF1:  // time code quarter frame
        case 0xF3:
            return 2;  // song select
        case 0xF2:
            return 3;  // song position
        case 0xF0:
        case 0xF7:
            return 0;  // exclusive: only as a long message
        default:
            return 1;  // tune request, real-time messages
    }
}

// Why a packed message cannot go out as a short MIDI message.
enum class ShortMessageFault {
    None,
    NotAStatus,       // the status byte is below 0x80: a receiver would take it for data
    ExclusiveStatus,  // 0xF0 or 0xF7: they frame system-exclusive data, only as a long message
    DataByteHigh,     // a data byte the status calls for is 0x80 or more: read as a status
};

// The one rule for what may be sent as a short message: every caller that sends or shows
// whether something will be sent asks here.
constexpr ShortMessageFault shortMessageFault(PackedMessage m) {
    const std::uint8_t status = statusOf(m);
    const int length = shortMessageLength(status);
    if (length == 0)
        return status < 0x80 ? ShortMessageFault::NotAStatus : ShortMessageFault::ExclusiveStatus;
    if ((length >= 2 && data1Of(m) >= 0x80) || (length >= 3 && data2Of(m) >= 0x80))
        return ShortMessageFault::DataByteHigh;
    return ShortMessageFault::None;
}

// True when the message cannot corrupt a receiver's parser.
constexpr bool isWellFormedShortMessage(PackedMessage m) {
    return shortMessageFault(m) == ShortMessageFault::None;
}

constexpr bool isNoteMessage(std::uint8_t status) {
    return status >= 0x80 && status <= 0x9F;
}

// Note on with velocity above 0; a note on with velocity 0 counts as a release.
constexpr bool isNoteOnPress(PackedMessage m) {
    return (statusOf(m) & 0xF0) == 0x90 && data2Of(m) != 0;
}

}  // namespace tarvelo
