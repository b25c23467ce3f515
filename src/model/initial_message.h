#pragma once

#include <cstdint>
#include <vector>

namespace tarvelo {

// One message of a Part's set-up list. For channel kinds (type 0, 1) the status carries channel 0
// and the Part's channel is added when shown and sent; other kinds carry the complete status.
struct InitialMessage {
    std::int32_t type = 0;
    std::int32_t status = 0;
    std::int32_t data1 = -1;  // 0..255 as entered, -1 for none
    std::int32_t data2 = -1;  // 0..255 as entered, -1 for none; unused for system exclusive
    // The complete exclusive bytes when status is 0xF0; owned by value, so moving or copying the
    // message carries them along.
    std::vector<std::uint8_t> sysexData;
    // As stored in files: may be 0 or negative, and then sysexData is empty.
    std::int32_t sysexLength = 0;

    static constexpr std::int32_t kSysexStatus = 0xF0;

    bool operator==(const InitialMessage&) const = default;
};

// How the sender treats a message type.
enum class MessageKind { Channel, SystemExclusive, Plain, Unknown };

constexpr MessageKind kindOfType(std::int32_t type) {
    switch (type) {
        case 0:
        case 1:
            return MessageKind::Channel;
        case 5:
            return MessageKind::SystemExclusive;
        case 6:
        case 7:
            return MessageKind::Plain;
        default:
            return MessageKind::Unknown;
    }
}

}  // namespace tarvelo
