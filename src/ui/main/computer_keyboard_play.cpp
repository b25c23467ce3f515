#include "ui/main/computer_keyboard_play.h"

#include "session/live_session.h"

namespace tarvelo::ui {

ComputerKeyboardPlay::ComputerKeyboardPlay(LiveSession& session) : session_(session) {
    map_.fillDefaultLayout();
}

int ComputerKeyboardPlay::partOfNote(int note) const {
    const std::vector<Part>& parts = session_.parts().parts();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].lowKey <= note && note <= parts[i].highKey)
            return static_cast<int>(i);
    }
    return -1;
}

UiNotePlayer& ComputerKeyboardPlay::player() {
    return session_.notePlayer();
}

bool ComputerKeyboardPlay::keyDown(const KeyStroke& key) {
    if (!hook_ || isWindowKey(key))
        return false;
    // The focused edit commits its text with Enter before any window-wide handling.
    if (key.virtualKey == kVirtualKeyReturn && key.focusInEdit)
        return false;

    bool held = false;
    const int note = map_.noteForKey(key.virtualKey, &held);
    if (note == KeyNoteMap::kNoNote || held)
        return true;  // a key that plays nothing, or the repeat of a held key
    const int slot = map_.setKeyHeld(key.virtualKey, true);
    const int part = partOfNote(note);
    if (part < 0)
        return true;
    auto& playing = playing_[static_cast<std::size_t>(slot)];
    if (playing)
        player().stop(*playing);
    playing = player().start(note, part);
    return true;
}

bool ComputerKeyboardPlay::keyUp(const KeyStroke& key) {
    if (key.virtualKey == kVirtualKeyShift) {
        // A repeat is no release: the notes stay while Shift is held.
        if (!key.autoRepeat)
            player().stopAllMouseNotes();
        return false;
    }
    if (!hook_ || isWindowKey(key))
        return false;
    if (key.autoRepeat)
        return true;  // the key is still down

    const int note = map_.noteForKey(key.virtualKey);
    if (note == KeyNoteMap::kNoNote)
        return true;
    const int slot = map_.setKeyHeld(key.virtualKey, false);
    auto& playing = playing_[static_cast<std::size_t>(slot)];
    if (playing) {
        player().stop(*playing);
        playing.reset();
        return true;
    }
    // Pressed while the hook was off: release whatever the key's Part would have played.
    const int part = partOfNote(note);
    if (part >= 0)
        player().stopUnstarted(note, part);
    return true;
}

void ComputerKeyboardPlay::setHook(bool on) {
    if (!on)
        endAllNotes();
    hook_ = on;
}

void ComputerKeyboardPlay::endAllNotes() {
    for (auto& playing : playing_) {
        if (playing) {
            player().stop(*playing);
            playing.reset();
        }
    }
    map_.clearHeld();
}

}  // namespace tarvelo::ui
