#include "session/ui_note_player.h"

#include <optional>

#include "midi/key_route.h"
#include "session/live_session.h"

namespace tarvelo {

namespace {

constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kVelocity = 0x7F;

// The key byte of the picture's message; keys beyond a byte cannot be shown.
std::uint8_t keyByte(int key) {
    return static_cast<std::uint8_t>(key & 0xFF);
}

std::uint8_t statusByte(std::uint8_t kind, std::uint8_t channel) {
    return static_cast<std::uint8_t>(kind | (channel & 0x0F));
}

}  // namespace

UiNotePlayer::UiNotePlayer(const LiveSession& session, KeyDisplay display)
    : session_(session), display_(std::move(display)) {}

void UiNotePlayer::show(PackedMessage message) const {
    if (display_)
        display_(message);
}

UiNote UiNotePlayer::start(int key, int part) {
    const RouteEntry route = routeOf(session_.parts().partAt(part));
    UiNote played;
    played.key = key;
    played.part = part;
    played.device = route.device;
    played.channel = static_cast<std::uint8_t>(route.channel & 0x0F);

    show(packMessage(statusByte(kNoteOn, played.channel), keyByte(key), kVelocity));

    const std::optional<RoutedNote> to = routeKey(route, key);
    if (!to)
        return played;
    played.note = to->note;
    if (OutputDevice* device = session_.devices().outputHandle(to->device)) {
        device->sendShort(packMessage(statusByte(kNoteOn, to->channel), to->note, kVelocity));
        played.incarnation = device->incarnation();
    }
    return played;
}

void UiNotePlayer::stop(const UiNote& note) {
    show(packMessage(statusByte(kNoteOff, note.channel), keyByte(note.key), kVelocity));
    if (note.incarnation == 0)
        return;
    OutputDevice* device = session_.devices().outputHandle(note.device);
    if (device != nullptr && device->incarnation() == note.incarnation)
        device->sendShort(packMessage(statusByte(kNoteOff, note.channel), note.note, kVelocity));
}

void UiNotePlayer::stopUnstarted(int key, int part) {
    const RouteEntry route = routeOf(session_.parts().partAt(part));
    show(packMessage(statusByte(kNoteOff, route.channel), keyByte(key), kVelocity));
    const std::optional<RoutedNote> to = routeKey(route, key);
    if (!to)
        return;
    if (OutputDevice* device = session_.devices().outputHandle(to->device))
        device->sendShort(packMessage(statusByte(kNoteOff, to->channel), to->note, kVelocity));
}

void UiNotePlayer::startMouseNote(int key, int part) {
    sounding_.push_back(start(key, part));
}

bool UiNotePlayer::stopNewestMouseNote() {
    if (sounding_.empty())
        return false;
    const UiNote newest = sounding_.back();
    sounding_.pop_back();
    stop(newest);
    return true;
}

void UiNotePlayer::stopAllMouseNotes() {
    while (stopNewestMouseNote()) {
    }
}

}  // namespace tarvelo
