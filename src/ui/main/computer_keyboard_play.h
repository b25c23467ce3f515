#pragma once

#include <array>
#include <optional>

#include "session/ui_note_player.h"
#include "ui/main/key_note_map.h"

namespace tarvelo {
class LiveSession;
}

namespace tarvelo::ui {

// Windows virtual-key codes the key-play rules single out.
inline constexpr int kVirtualKeyReturn = 0x0D;
inline constexpr int kVirtualKeyShift = 0x10;
// Pause: the panic key of the window, which key play never takes, hook on or off.
inline constexpr int kVirtualKeyPause = 0x13;
// Page Up and Page Down: the previous and the next song while a set list plays.
inline constexpr int kVirtualKeyPageUp = 0x21;
inline constexpr int kVirtualKeyPageDown = 0x22;

// One key event of the main window, as the key-play rules see it.
struct KeyStroke {
    int virtualKey = 0;        // by physical position on a Japanese keyboard; 0 for an unknown key
    bool systemKey = false;    // the Alt key, or any key with Alt held: always left to the window
    bool autoRepeat = false;   // produced by holding the key down
    bool focusInEdit = false;  // the focused widget is one of the panel's commit-with-Enter edits
};

// Plays notes from the computer keyboard while the keyboard hook is on, and ends the mouse notes
// held with Shift when Shift is released (hook on or off).
//
// The window hands it every key press and release before any widget sees them. While the hook is
// on, every key is taken (no widget receives it), whether or not it plays a note, except the
// window's own keys (see leavesToWindow) and Enter in a commit-with-Enter edit. A key plays through
// the first Part whose range holds its note; holding it sends one note on, releasing it one note
// off, which goes where the note on went (see UiNotePlayer). The notes go through the session's
// player, so they follow whichever arrangement is live in it.
//
// A key-code policy of the window, kept free of widgets so it is tested without them.
// User-interface thread only.
class ComputerKeyboardPlay {
  public:
    // Fills the default layout; the hook starts off. session must outlive this.
    explicit ComputerKeyboardPlay(LiveSession& session);

    // Keys the hook never takes: those with Alt, the panic key (it must work whatever the hook's
    // state), and, while song keys are on, Page Up and Page Down (neither plays a note).
    bool leavesToWindow(const KeyStroke& key) const {
        return key.systemKey || key.virtualKey == kVirtualKeyPause ||
               (songKeys_ &&
                (key.virtualKey == kVirtualKeyPageUp || key.virtualKey == kVirtualKeyPageDown));
    }
    // On while a set list plays, whose songs those keys switch; off, the hook takes them as
    // any other key.
    void setSongKeys(bool on) { songKeys_ = on; }

    // True when the key is taken: the window must not pass it on.
    bool keyDown(const KeyStroke& key);
    bool keyUp(const KeyStroke& key);

    // Turning the hook off ends the notes its keys still hold: their releases would no longer be
    // taken, and the notes would hang.
    void setHook(bool on);
    bool hook() const { return hook_; }

    // Sends the release of every note the computer keyboard holds and forgets which keys are
    // down. For when the window stops receiving keys (it lost the focus) while keys are held.
    void endAllNotes();

  private:
    int partOfNote(int note) const;
    UiNotePlayer& player();

    LiveSession& session_;
    KeyNoteMap map_;
    bool hook_ = false;
    bool songKeys_ = false;
    // The note each held key started, by slot.
    std::array<std::optional<UiNote>, KeyNoteMap::kSlotCount> playing_{};
};

}  // namespace tarvelo::ui
