#pragma once

// Turns the platform's key events into the Windows virtual-key codes that computer-keyboard play
// is laid out in, by the key's physical position as it lies on a Japanese keyboard. So the same
// physical keys play the same notes on a Japanese, US or European keyboard.

#include <cstdint>

#include <Qt>

#include "ui/main/computer_keyboard_play.h"

class QKeyEvent;

namespace tarvelo::ui {

// The key that asks for the panic in the main window (kVirtualKeyPause by position), hook on or
// off: a key every full keyboard has that plays no note and means "stop".
inline constexpr Qt::Key kPanicKey = Qt::Key_Pause;
// The keys that switch to the previous and the next song while a set list plays (by position
// kVirtualKeyPageUp and kVirtualKeyPageDown), hook on or off: keys every full keyboard has,
// that play no note, and whose names say "back" and "on".
inline constexpr Qt::Key kPreviousSongKey = Qt::Key_PageUp;
inline constexpr Qt::Key kNextSongKey = Qt::Key_PageDown;

// The virtual-key code of a key by its XKB keycode (the Linux evdev code + 8, which the xcb and
// Wayland platforms give as the native scan code); 0 for a key the table does not know.
int virtualKeyFromXkbKeycode(std::uint32_t keycode);

// The virtual-key code of a key by what it types on a Japanese keyboard, shifted or not; for
// platforms that give no scan code. 0 for a key the table does not know.
int virtualKeyFromQtKey(int key, Qt::KeyboardModifiers modifiers);

// The virtual-key code of a key event: by physical position when the platform reports XKB
// keycodes, else by the typed key.
int virtualKeyOf(const QKeyEvent& event);

// The key event as the key-play rules see it. focusInEdit: the focused widget is one of the
// panel's commit-with-Enter edits.
KeyStroke keyStrokeOf(const QKeyEvent& event, bool focusInEdit);

}  // namespace tarvelo::ui
