#include "midi/live_router.h"

#include <algorithm>
#include <array>
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
    const SongBook& book = songs_.current();
    if (book.count <= 0)
        return;
    int active = std::clamp(songs_.active(), 0, book.count - 1);
    if (const std::uint32_t admitted = devices_.admissions();
        active != routedSong_ || admitted != seenAdmissions_) {
        // Switched from the user-interface thread since the last message, or an output was
        // opened for the song (after its set-up): the pedals held come along before the song
        // routes anything more.
        routedSong_ = active;
        seenAdmissions_ = admitted;
        carryPedals(book.songs[static_cast<std::size_t>(active)].channels->current());
    }
    if (isNoteMessage(status)) {
        // Posted before the send, as received: the display shows the played key.
        if (OwnerMailbox* owner = devices_.owner())
            owner->postNote(packMessage(status, data1, data2));
        routeNote(*book.songs[static_cast<std::size_t>(active)].routes, status, data1, data2);
        return;
    }
    if (book.selectable && selectsSong(book, active, status, data1, data2))
        return;
    active = routedSong_;
    routeChannelMessage(book.songs[static_cast<std::size_t>(active)].channels->current(), status,
                        data1, data2);
}

bool LiveRouter::selectsSong(const SongBook& book, int active, std::uint8_t status,
                             std::uint8_t data1, std::uint8_t data2) noexcept {
    const SongSelection& selection = book.selection;
    const std::uint8_t kind = status & 0xF0;
    if (kind == 0xC0) {
        if (selection.channel != SongSelection::kAnyChannel && selection.channel != (status & 0x0F))
            return false;
        // Every program change on the selecting channel is a song command: one that selects no
        // song changes nothing, and reaches no synthesizer either.
        const int song = selection.songOfProgram[data1];
        if (song >= 0 && song < book.count)
            switchTo(book, song);
        return true;
    }
    if (kind != 0xB0)
        return false;
    const auto footswitch = [&](int controller, bool& held, int step) {
        if (controller < 0 || data1 != controller)
            return false;
        // Once per press: the value crossing 64 upwards.
        const bool down = isPedalDown(data2);
        if (down && !held && active + step >= 0 && active + step < book.count)
            switchTo(book, active + step);
        held = down;
        return true;
    };
    return footswitch(selection.nextController, nextHeld_, 1) ||
           footswitch(selection.previousController, previousHeld_, -1);
}

void LiveRouter::switchTo(const SongBook& book, int index) noexcept {
    if (index == routedSong_)
        return;
    const ChannelRouting& routing = book.songs[static_cast<std::size_t>(index)].channels->current();
    // The new song's sound first, in this cycle, before anything it routes.
    for (const ChannelRouting::SetUpMessage& m : routing.setUp)
        devices_.sendSetUpToSlotFromInput(m.device, m.message);
    songs_.setActive(index);
    routedSong_ = index;
    carryPedals(routing);
    if (OwnerMailbox* owner = devices_.owner())
        owner->songSwitched();
}

void LiveRouter::carryPedals(const ChannelRouting& routing) noexcept {
    constexpr std::array<std::uint8_t, 3> kPedals{kSustainPedal, kSostenutoPedal, kSoftPedal};
    for (std::size_t i = 0; i < kPedals.size(); ++i) {
        const std::uint8_t controller = kPedals[i];
        if (!pedals_.anyDown(controller))
            continue;
        const auto carry = [&](const Destination& d) {
            const auto channel = static_cast<std::uint8_t>(d.channel & 0x0F);
            const std::uint64_t open = devices_.incarnationForInput(d.device);
            if (open == 0 || pedals_.isDown({d.device, open, channel}, controller))
                return;
            const PackedMessage down =
                packMessage(static_cast<std::uint8_t>(0xB0 | channel), controller, pedalValues_[i]);
            const std::uint64_t incarnation = devices_.sendToSlotFromInput(d.device, down);
            if (incarnation != 0)
                pedals_.sent({d.device, incarnation, channel}, controller, pedalValues_[i]);
        };
        if (routing.targetPart >= 0)
            carry(routing.target);
        for (const Destination& d : routing.pedals)
            carry(d);
    }
}

namespace {

constexpr std::uint8_t kKeyPressure = 0xA0;
constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kChannelPressure = 0xD0;
constexpr std::uint8_t kPitchBend = 0xE0;
constexpr std::uint8_t kModulation = 1;

bool isWheel(std::uint8_t kind, std::uint8_t data1) {
    return kind == kPitchBend || kind == kChannelPressure ||
           (kind == kControlChange && data1 == kModulation);
}

PackedMessage onChannel(std::uint8_t kind, std::uint8_t channel, std::uint8_t data1,
                        std::uint8_t data2) {
    return packMessage(static_cast<std::uint8_t>(kind | (channel & 0x0F)), data1, data2);
}

}  // namespace

void LiveRouter::routeChannelMessage(const ChannelRouting& routing, std::uint8_t status,
                                     std::uint8_t data1, std::uint8_t data2) noexcept {
    const std::uint8_t kind = status & 0xF0;
    if (kind == kControlChange && data1 == routing.panicController && data2 == routing.panicValue) {
        if (OwnerMailbox* owner = devices_.owner())
            owner->requestPanic();
        return;
    }
    if (kind == kKeyPressure) {
        // Pressure on a key sounding through a Part that follows the wheels goes where the note
        // went, as the note was transposed.
        const SentNote& held = sent_[static_cast<std::size_t>((status & 0x0F) * 256 + data1)];
        if (held.state == NoteState::Sent && held.followsWheels) {
            devices_.sendToIncarnationFromInput(held.device, held.incarnation,
                                                onChannel(kind, held.channel, held.note, data2));
            return;
        }
    }
    if (kind == kControlChange && isPedalController(data1)) {
        routePedal(routing, data1, data2);
        return;
    }
    if (routing.targetPart >= 0) {
        devices_.sendToSlotFromInput(routing.target.device,
                                     onChannel(kind, routing.target.channel, data1, data2));
    }
    if (isWheel(kind, data1)) {
        for (const Destination& d : routing.wheels)
            devices_.sendToSlotFromInput(d.device, onChannel(kind, d.channel, data1, data2));
    }
}

void LiveRouter::routePedal(const ChannelRouting& routing, std::uint8_t controller,
                            std::uint8_t value) noexcept {
    // Where this message went, so that a release reaches every other place the pedal is down
    // at exactly once. The target and the followers are distinct already.
    std::array<HeldPedals::Destination, ChannelRouting::kMaxFollowers + 1> reached;
    std::size_t reachedCount = 0;
    const auto send = [&](const Destination& d) {
        const std::uint64_t incarnation = devices_.sendToSlotFromInput(
            d.device, onChannel(kControlChange, d.channel, controller, value));
        if (incarnation == 0)
            return;
        reached[reachedCount++] = {d.device, incarnation,
                                   static_cast<std::uint8_t>(d.channel & 0x0F)};
        if (isPedalDown(value))
            pedals_.sent(reached[reachedCount - 1], controller, value);
    };
    if (routing.targetPart >= 0)
        send(routing.target);
    for (const Destination& d : routing.pedals)
        send(d);
    if (isPedalDown(value)) {
        pedalValues_[controller == kSustainPedal     ? 0
                     : controller == kSostenutoPedal ? 1
                                                     : 2] = value;
        return;
    }
    pedals_.releaseEverywhere(controller, [&](const HeldPedals::Destination& d) {
        for (std::size_t i = 0; i < reachedCount; ++i) {
            if (reached[i] == d)
                return;
        }
        devices_.sendToIncarnationFromInput(
            d.device, d.incarnation, onChannel(kControlChange, d.channel, controller, value));
    });
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
    // The next input starts with no footswitch held, in the song played now.
    nextHeld_ = false;
    previousHeld_ = false;
    routedSong_ = songs_.active();
}

void LiveRouter::routeNote(const RoutingTable& routes, std::uint8_t status, std::uint8_t key,
                           std::uint8_t velocity) noexcept {
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

    const RouteEntry route = routes.at(key);
    const std::optional<RoutedNote> to = routeKey(route, key);
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
        held = SentNote{incarnation, to->device, nextOrder_++,       to->channel,
                        to->note,    state,      route.followsWheels};
    }
}

}  // namespace tarvelo
