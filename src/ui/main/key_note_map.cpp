#include "ui/main/key_note_map.h"

namespace tarvelo::ui {

KeyNoteMap::KeyNoteMap() {
    notes_.fill(kNoNote);
}

int KeyNoteMap::keySlot(int virtualKey) const {
    for (const KeyRange& range : kRanges) {
        if (virtualKey >= range.firstKey && virtualKey <= range.lastKey)
            return range.slotBase + virtualKey - range.firstKey;
    }
    return -1;
}

int KeyNoteMap::noteForKey(int virtualKey, bool* held) const {
    const int slot = keySlot(virtualKey);
    if (slot < 0)
        return kNoNote;
    if (held != nullptr)
        *held = held_[static_cast<std::size_t>(slot)];
    return notes_[static_cast<std::size_t>(slot)];
}

int KeyNoteMap::setKeyHeld(int virtualKey, bool held) {
    const int slot = keySlot(virtualKey);
    if (slot >= 0)
        held_[static_cast<std::size_t>(slot)] = held;
    return slot;
}

void KeyNoteMap::fillDefaultLayout() {
    notes_.fill(kNoNote);
    // Lower rows: Z row white keys, A row black keys, from F#3 (54) up to C#5 (73).
    static constexpr std::array<int, 20> kLower{0x41, 0x5A, 0x53, 0x58, 0x44, 0x43, 0x56,
                                                0x47, 0x42, 0x48, 0x4E, 0x4D, 0x4B, 0xBC,
                                                0x4C, 0xBE, 0xBB, 0xBF, 0xE2, 0xDD};
    // Upper rows: Q row white keys, digit row black keys, from C#5 (73) up to A#6 (94).
    static constexpr std::array<int, 22> kUpper{0x31, 0x51, 0x32, 0x57, 0x45, 0x34, 0x52, 0x35,
                                                0x54, 0x36, 0x59, 0x55, 0x38, 0x49, 0x39, 0x4F,
                                                0x50, 0xBD, 0xC0, 0xDE, 0xDB, 0xDC};
    for (std::size_t i = 0; i < kLower.size(); ++i)
        notes_[static_cast<std::size_t>(keySlot(kLower[i]))] = 54 + static_cast<int>(i);
    for (std::size_t i = 0; i < kUpper.size(); ++i)
        notes_[static_cast<std::size_t>(keySlot(kUpper[i]))] = 73 + static_cast<int>(i);
}

}  // namespace tarvelo::ui
