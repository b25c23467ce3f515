#include "ui/main/lingering_keys.h"

#include "midi/midi_device_set.h"
#include "midi/output_device.h"
#include "midi/routing_table.h"

namespace tarvelo::ui {

LingeringKeys::SongNotes LingeringKeys::notesOf(const RoutingTable& routes) {
    SongNotes notes{};
    for (int key = 0; key < kKeyCount; ++key) {
        const RouteEntry route = routes.at(key);
        if (route.device != RouteEntry::kNowhere)
            notes[static_cast<std::size_t>(key)] = routeKey(route, key);
    }
    return notes;
}

void LingeringKeys::songLeft(const RoutingTable& left) {
    if (songs_.size() == kMaxSongs)
        songs_.pop_front();
    songs_.push_back(notesOf(left));
}

LingeringKeys::Keys LingeringKeys::poll(const MidiDeviceSet& devices, const RoutingTable& current) {
    const SongNotes now = notesOf(current);
    Keys marked;
    std::erase_if(songs_, [&](const SongNotes& song) {
        bool sounding = false;
        for (std::size_t key = 0; key < song.size(); ++key) {
            const std::optional<RoutedNote>& note = song[key];
            if (!note)
                continue;
            const OutputDevice* out = devices.outputHandle(note->device);
            if (out == nullptr || !out->isSounding(note->channel, note->note))
                continue;
            sounding = true;
            if (now[key] != note)
                marked.set(key);
        }
        return !sounding;
    });
    return marked;
}

}  // namespace tarvelo::ui
