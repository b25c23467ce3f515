#include "midi/live_router.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "midi/key_route.h"

namespace tarvelo {

void LiveRouter::onShortMessage(PackedMessage message) noexcept {
    const std::uint8_t status = statusOf(message);
    const std::uint8_t data1 = data1Of(message);
    const std::uint8_t data2 = data2Of(message);

    if (status >= 0xF0) {
        devices_.sendToSlotFromInput(0, packMessage(status, data1, data2));
        return;
    }
    if (isNoteMessage(status)) {
        // Posted before the send, as received: the display shows the played key.
        if (OwnerMailbox* owner = devices_.owner())
            owner->postNote(packMessage(status, data1, data2));
        routeNote(status, data1, data2);
        return;
    }
    routeToTarget(status, data1, data2);
}

void LiveRouter::routeToTarget(std::uint8_t status, std::uint8_t data1,
                               std::uint8_t data2) noexcept {
    const ChannelTarget::Snapshot target = target_.load();
    if (target.part < 0)
        return;
    const auto channel = static_cast<std::uint8_t>(target.channel & 0x0F);
    const auto outStatus = static_cast<std::uint8_t>((status & 0xF0) | channel);
    const std::uint64_t incarnation =
        devices_.sendToSlotFromInput(target.device, packMessage(outStatus, data1, data2));
    if ((status & 0xF0) == 0xB0 && incarnation != 0 && isPedalController(data1))
        pedals_.sent({target.device, incarnation, channel}, data1, data2);
}

void LiveRouter::inputClosed() {
    std::vector<const SentNote*> sounding;
    for (const SentNote& held : sent_) {
        if (held.state == NoteState::Sent)
            sounding.push_back(&held);
    }
    // Orders are handed out modulo 2^32; within one input opening that wraps only after four
    // billion notes, so plain comparison keeps the sending order.
    std::sort(sounding.begin(), sounding.end(),
              [](const SentNote* a, const SentNote* b) { return a->order < b->order; });
    for (const SentNote* held : sounding) {
        devices_.sendToIncarnation(
            held->device, held->incarnation,
            packMessage(static_cast<std::uint8_t>(0x80 | held->channel), held->note, 0));
    }
    pedals_.forEachDown([this](const HeldPedals::Destination& d, std::uint8_t controller) {
        devices_.sendToIncarnation(
            d.device, d.incarnation,
            packMessage(static_cast<std::uint8_t>(0xB0 | d.channel), controller, 0));
    });
    sent_.fill(SentNote{});
    pedals_.clear();
    nextOrder_ = 0;
}

void LiveRouter::routeNote(std::uint8_t status, std::uint8_t key, std::uint8_t velocity) noexcept {
    const std::uint8_t kind = status & 0xF0;
    const bool press = kind == 0x90 && velocity != 0;
    SentNote& held = sent_[static_cast<std::size_t>((status & 0x0F) * 256 + key)];

    if (!press && held.state != NoteState::Unknown) {
        // A release follows its note on.
        const bool wasSent = held.state == NoteState::Sent;
        held.state = NoteState::Unknown;
        if (wasSent) {
            devices_.sendToIncarnationFromInput(
                held.device, held.incarnation,
                packMessage(static_cast<std::uint8_t>(kind | held.channel), held.note, velocity));
        }
        return;
    }

    const std::optional<RoutedNote> to = routeKey(routes_.at(key), key);
    if (press && held.state == NoteState::Sent &&
        (!to || held.device != to->device || held.channel != to->channel ||
         held.note != to->note)) {
        // A key struck again without a release while its Part moved elsewhere: end the old
        // note, which would otherwise never get its release.
        devices_.sendToIncarnationFromInput(
            held.device, held.incarnation,
            packMessage(static_cast<std::uint8_t>(0x80 | held.channel), held.note, 0));
    }
    if (!to) {
        if (press)
            held.state = NoteState::Dropped;
        return;
    }
    const std::uint64_t incarnation = devices_.sendToSlotFromInput(
        to->device, packMessage(static_cast<std::uint8_t>(kind | to->channel), to->note, velocity));
    if (press) {
        const NoteState state = incarnation != 0 ? NoteState::Sent : NoteState::Dropped;
        held = SentNote{incarnation, to->device, nextOrder_++, to->channel, to->note, state};
    }
}

}  // namespace tarvelo
