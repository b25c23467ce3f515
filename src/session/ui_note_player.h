#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "midi/packed_message.h"

namespace tarvelo {

class LiveSession;

// A note played from the user-interface thread, and where its note on went.
struct UiNote {
    int key = 0;                    // the key as played and shown, untransposed
    int part = 0;                   // the Part it was played through
    int device = 0;                 // that Part's output device at the note on
    std::uint8_t channel = 0;       // that Part's channel at the note on
    std::uint8_t note = 0;          // the note number sent
    std::uint64_t incarnation = 0;  // the device opening that got the note on; 0: nothing sent
};

// Plays notes from the user-interface thread (clicks on the keyboard picture, the computer
// keyboard) through a Part of the arrangement live in the session at velocity 127, by the same
// key-routing rule as the input's notes (routeKey), and shows each key on the keyboard picture as
// played.
//
// Two things keep the outgoing stream valid and keep notes from hanging:
//  - A note whose transposed number leaves 0..127 is not sent (nor its release); the picture
//    still shows the key.
//  - A release goes to the device, channel and note its note on went to, even when the Part
//    changed in between; it is dropped when that device has been closed since (closing silenced
//    the note, and a later opening of the same device must not get a stray release).
//
// Also holds the Sounding notes list of mouse play: the notes started by clicks and not yet
// stopped, oldest first.
//
// User-interface thread only. Sends go straight to the output device; they may interleave with
// the input callback's sends to the same device.
class UiNotePlayer {
  public:
    // Shows one key on the keyboard picture: a packed note on (pressed) or note off (released)
    // whose first data byte is the key as played.
    using KeyDisplay = std::function<void(PackedMessage)>;

    // session owns the player (LiveSession::notePlayer); each call plays through the Parts and
    // devices live in it at that moment. display may be empty (nothing shown).
    UiNotePlayer(const LiveSession& session, KeyDisplay display);

    // Shows key pressed and sends its note on through Part part (a valid index; throws
    // InvalidArgumentError otherwise).
    UiNote start(int key, int part);

    // Shows the key released and sends the note off where the note on went, if it was sent and
    // that device opening is still open.
    void stop(const UiNote& note);

    // Shows key released and sends a note off through Part part as it is now: the release of a
    // key whose press this player did not see.
    void stopUnstarted(int key, int part);

    // Mouse play: start() and remember the note as the newest sounding one.
    void startMouseNote(int key, int part);
    // Stops the newest sounding mouse note. False when there is none.
    bool stopNewestMouseNote();
    // Stops every sounding mouse note, newest first.
    void stopAllMouseNotes();
    const std::vector<UiNote>& soundingNotes() const { return sounding_; }

  private:
    void show(PackedMessage message) const;

    const LiveSession& session_;
    KeyDisplay display_;
    std::vector<UiNote> sounding_;
};

}  // namespace tarvelo
