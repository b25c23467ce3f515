#pragma once

#include <array>
#include <cstdint>

namespace tarvelo::ui {

// Which note each key of the computer keyboard plays, and which of those keys are held down.
//
// Keys are named by Windows virtual-key codes as they lie on a Japanese keyboard; the window
// translates its platform's key events into these codes by physical position, so the layout is
// the same on any keyboard. Five ranges of codes map onto 48 slots; every slot has a note
// (-1: the key plays nothing) and a held mark. User-interface thread only.
class KeyNoteMap {
  public:
    static constexpr int kSlotCount = 50;  // the last two are reached by no key
    static constexpr int kNoNote = -1;

    // Every slot plays nothing and is not held.
    KeyNoteMap();

    // The slot of a virtual-key code, or -1 for a code outside the five ranges.
    int keySlot(int virtualKey) const;

    // The note the key plays, or kNoNote (also for a key without a slot). *held is written with
    // the key's held mark only when the key has a slot.
    int noteForKey(int virtualKey, bool* held = nullptr) const;

    // Marks the key held or released when it has a slot. Returns the slot, or -1.
    int setKeyHeld(int virtualKey, bool held);

    // Forgets every held mark.
    void clearHeld() { held_.fill(false); }

    // The piano layout over notes 54..94: the Z and A rows from F#3, the Q and digit rows from
    // C#5. Keys outside it play nothing.
    void fillDefaultLayout();

    int noteOfSlot(int slot) const { return notes_.at(static_cast<std::size_t>(slot)); }
    bool isSlotHeld(int slot) const { return held_.at(static_cast<std::size_t>(slot)); }

  private:
    struct KeyRange {
        int slotBase;
        int firstKey;
        int lastKey;
    };
    static constexpr std::array<KeyRange, 5> kRanges{{
        {0, 0x41, 0x5A},   // letters A..Z
        {26, 0x30, 0x39},  // digits 0..9
        {36, 0xBA, 0xC0},  // : ; , - . / @ (Japanese legends)
        {43, 0xDB, 0xDE},  // [ ¥ ] ^
        {47, 0xE2, 0xE2},  // the backslash key right of /
    }};

    std::array<int, kSlotCount> notes_;
    std::array<bool, kSlotCount> held_{};
};

}  // namespace tarvelo::ui
