#pragma once

#include <array>
#include <cstdint>

#include "midi/backend.h"
#include "midi/held_pedals.h"
#include "midi/midi_device_set.h"
#include "midi/routing_table.h"
#include "midi/song_book.h"

namespace tarvelo {

// The MIDI input callback: echoes every incoming short message at once.
//  - System messages go unchanged to output device 0.
//  - Note offs and note ons are posted to the owner for display, then routed by the note byte
//    through the Routing table: the Part's device and channel, transposed by its shift.
//  - Other channel messages go to the channel-message target, or are dropped without one.
//    Pedals (controllers 64, 66, 67) also go to every Part that follows the pedals, and the
//    wheels and pressure (pitch bend, modulation, channel pressure) to every Part that follows
//    the wheels, each device and channel once. Key pressure of a key whose Part follows the
//    wheels goes where that key's note went, transposed as the note was.
//  - The panic controller, when one is set, is not routed: the owner is asked for the panic.
//  - While a set list plays, program changes on the selecting channel and the next/previous
//    footswitches select songs (they are not routed on): the message that switches is the last
//    the old song routes, the next one is routed by the new song. The new song's set-up (its
//    program changes and controllers) goes out at once to the devices open now, and a pedal
//    held through the switch also goes down on the new song's target and followers.
//
// Three things go beyond a stateless table lookup, so that the stream that leaves is always valid
// and no note hangs:
//  - A note whose transposed number leaves 0..127 is not sent (nor its release).
//  - A release goes where its note on went, remembered per input channel and key, even when the
//    Part's range, device, channel or shift changed while the key was held.
//  - Every pedal down gets exactly one release at each destination it went to, even when the
//    Parts, the target or the switches changed in between; and when the input closes (it left,
//    another was chosen, an arrangement is loaded), every note still sounding gets its note off
//    and every pedal still down its release, where they went.
//
// Runs on the MIDI input thread: no lock, no allocation, no wait.
class LiveRouter final : public InputHandler {
  public:
    LiveRouter(SongBookPublisher& songs, const MidiDeviceSet& devices)
        : songs_(songs), devices_(devices) {}

    void onShortMessage(PackedMessage message) noexcept override;

    // User-interface thread, with the input closed and the outputs still open: ends what the
    // input left sounding, each to the device opening and channel it went to: note offs in the
    // order their note ons were sent, then pedal releases. Nothing is left remembered.
    void inputClosed() override;

  private:
    // What became of the last note on of one input channel and key.
    enum class NoteState : std::uint8_t {
        Unknown,  // no note on seen since the input opened: a release takes the table's route
        Sent,     // sounding at device/channel/note of that device opening
        Dropped,  // not sent (out of range, or no open device): its release is not sent either
    };
    struct SentNote {
        std::uint64_t incarnation = 0;  // of the device opening the note on went to
        std::int32_t device = 0;
        std::uint32_t order = 0;  // when it was sent, for releasing in the same order
        std::uint8_t channel = 0;
        std::uint8_t note = 0;
        NoteState state = NoteState::Unknown;
        bool followsWheels = false;  // its Part followed the wheels at the note on
    };

    void routeNote(const RoutingTable& routes, std::uint8_t status, std::uint8_t key,
                   std::uint8_t velocity) noexcept;
    void routeChannelMessage(const ChannelRouting& routing, std::uint8_t status, std::uint8_t data1,
                             std::uint8_t data2) noexcept;
    // A pedal to the target and the Parts that follow the pedals; a release also to wherever
    // that pedal is still down.
    void routePedal(const ChannelRouting& routing, std::uint8_t controller,
                    std::uint8_t value) noexcept;
    // Takes the message when it selects a song (true): a program change on the selecting
    // channel, a next/previous footswitch.
    bool selectsSong(const SongBook& book, int active, std::uint8_t status, std::uint8_t data1,
                     std::uint8_t data2) noexcept;
    void switchTo(const SongBook& book, int index) noexcept;
    // The pedals held down somewhere also go down at the song's target and followers.
    void carryPedals(const ChannelRouting& routing) noexcept;

    SongBookPublisher& songs_;
    const MidiDeviceSet& devices_;
    // Input thread only (the user-interface thread once the input is closed): where each held
    // key of each input channel was sent, and the pedals held down at each destination.
    std::array<SentNote, 16 * 256> sent_{};
    std::uint32_t nextOrder_ = 0;
    HeldPedals pedals_;
    // The value each pedal (sustain, sostenuto, soft) last went down with.
    std::array<std::uint8_t, 3> pedalValues_{127, 127, 127};
    // The song whose routing this thread last used, and whether a footswitch is held.
    int routedSong_ = 0;
    std::uint32_t seenAdmissions_ = 0;  // MidiDeviceSet::admissions() when last looked at
    bool nextHeld_ = false;
    bool previousHeld_ = false;
};

}  // namespace tarvelo
