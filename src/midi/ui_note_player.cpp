#include "midi/ui_note_player.h"

#include "midi/midi_device_set.h"
#include "model/part_list.h"

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

UiNotePlayer::UiNotePlayer(const PartList& parts, const MidiDeviceSet& devices, KeyDisplay display)
    : parts_(parts), devices_(devices), display_(std::move(display)) {}

void UiNotePlayer::show(PackedMessage message) const {
    if (display_)
        display_(message);
}

UiNote UiNotePlayer::start(int key, int part) {
    const Part& p = parts_.partAt(part);
    UiNote played;
    played.key = key;
    played.part = part;
    played.device = p.outputDevice;
    played.channel = static_cast<std::uint8_t>(p.channel & 0x0F);

    show(packMessage(statusByte(kNoteOn, played.channel), keyByte(key), kVelocity));

    const int note = key + p.noteShift;
    if (note < 0 || note > 127)
        return played;
    played.note = static_cast<std::uint8_t>(note);
    if (OutputDevice* device = devices_.outputHandle(played.device)) {
        device->sendShort(packMessage(statusByte(kNoteOn, played.channel), played.note, kVelocity));
        played.incarnation = device->incarnation();
    }
    return played;
}

void UiNotePlayer::stop(const UiNote& note) {
    show(packMessage(statusByte(kNoteOff, note.channel), keyByte(note.key), kVelocity));
    if (note.incarnation == 0)
        return;
    OutputDevice* device = devices_.outputHandle(note.device);
    if (device != nullptr && device->incarnation() == note.incarnation)
        device->sendShort(packMessage(statusByte(kNoteOff, note.channel), note.note, kVelocity));
}

void UiNotePlayer::stopUnstarted(int key, int part) {
    const Part& p = parts_.partAt(part);
    const auto channel = static_cast<std::uint8_t>(p.channel & 0x0F);
    show(packMessage(statusByte(kNoteOff, channel), keyByte(key), kVelocity));
    const int note = key + p.noteShift;
    if (note < 0 || note > 127)
        return;
    if (OutputDevice* device = devices_.outputHandle(p.outputDevice))
        device->sendShort(
            packMessage(statusByte(kNoteOff, channel), static_cast<std::uint8_t>(note), kVelocity));
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
