#pragma once

#include <cstdint>
#include <optional>

#include "midi/packed_message.h"
#include "model/initial_message.h"

namespace tarvelo {

// The short message an initial message goes out as on a Part's channel: the channel kinds get the
// channel added to their status (modulo 256), the plain kinds go as stored. Each field contributes
// its low 8 bits, so a field of -1 (none) becomes 0xFF, which a status that needs no such byte
// leaves off. nullopt for the kinds that are not sent as short messages (system exclusive, and
// types the sender does not know).
constexpr std::optional<PackedMessage> shortMessageOf(const InitialMessage& m,
                                                      std::uint8_t channel) {
    std::int32_t status = m.status;
    switch (kindOfType(m.type)) {
        case MessageKind::Channel:
            status += channel;
            break;
        case MessageKind::Plain:
            break;
        case MessageKind::SystemExclusive:
        case MessageKind::Unknown:
            return std::nullopt;
    }
    return packMessage(static_cast<std::uint8_t>(status & 0xFF),
                       static_cast<std::uint8_t>(m.data1 & 0xFF),
                       static_cast<std::uint8_t>(m.data2 & 0xFF));
}

// Why a short initial message would be refused by the device layer on this channel; None for one
// that goes out, and for the kinds that are no short message.
constexpr ShortMessageFault sendFaultOf(const InitialMessage& m, std::uint8_t channel) {
    const std::optional<PackedMessage> packed = shortMessageOf(m, channel);
    return packed ? shortMessageFault(*packed) : ShortMessageFault::None;
}

}  // namespace tarvelo
