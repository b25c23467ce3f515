#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <deque>
#include <optional>

#include "midi/key_route.h"

namespace tarvelo {
class MidiDeviceSet;
class RoutingTable;
}  // namespace tarvelo

namespace tarvelo::ui {

// Which keys of the keyboard picture still sound from a song played before: after a switch, a key
// held through it keeps its note where its note on went (the old song's device, channel and
// transposition) until it is released. The window marks those keys.
//
// Each song switched away from is remembered by where each of its keys sounds; a look at the
// devices (OutputDevice::isSounding) then tells which of those notes still sound, and a song of
// which none does is forgotten. A key whose note the song played now sends to the very same
// device, channel and note is not marked: the two cannot be told apart, and it sounds as the new
// song would play it. A plain value object: no widget, no timer (the window polls it).
// User-interface thread only.
class LingeringKeys {
  public:
    static constexpr int kKeyCount = 128;
    using Keys = std::bitset<kKeyCount>;
    // Songs remembered at most: paging through a list quickly leaves no more than this many
    // songs' notes to look for; the oldest is forgotten first.
    static constexpr std::size_t kMaxSongs = 8;

    // A switch left the song whose routes are `left`.
    void songLeft(const RoutingTable& left);
    // Forgets every song (a new arrangement or list was loaded: its devices were closed).
    void clear() { songs_.clear(); }
    // Whether some song is remembered: polling is worth it.
    bool watching() const { return !songs_.empty(); }

    // The keys whose note from a song left still sounds on devices, except those that the routes
    // played now send to the same note; forgets the songs of which nothing sounds.
    Keys poll(const MidiDeviceSet& devices, const RoutingTable& current);

  private:
    using SongNotes = std::array<std::optional<RoutedNote>, kKeyCount>;
    static SongNotes notesOf(const RoutingTable& routes);

    std::deque<SongNotes> songs_;
};

}  // namespace tarvelo::ui
