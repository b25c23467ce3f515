#include "ui/main/key_codes.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <set>

#include "ui/main/key_note_map.h"

namespace tarvelo::ui {
namespace {

// XKB keycode of an evdev code.
constexpr std::uint32_t xkb(int evdev) {
    return static_cast<std::uint32_t>(evdev + 8);
}

QKeyEvent keyEvent(QEvent::Type type, int key, std::uint32_t scanCode,
                   Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool autoRepeat = false) {
    return QKeyEvent(type, key, modifiers, scanCode, 0, 0, QString(), autoRepeat);
}

TEST(KeyCodesByPosition, LettersDigitsAndPunctuationFollowTheJapaneseLegends) {
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(30)), 0x41);   // A
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(44)), 0x5A);   // Z
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(47)), 0x56);   // V
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(2)), 0x31);    // 1
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(11)), 0x30);   // 0
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(12)), 0xBD);   // -
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(13)), 0xDE);   // ^, = on a US keyboard
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(124)), 0xDC);  // yen
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(26)), 0xC0);   // @, [ on a US keyboard
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(27)), 0xDB);   // [, ] on a US keyboard
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(39)), 0xBB);   // ;
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(40)), 0xBA);   // :, ' on a US keyboard
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(43)), 0xDD);   // ]
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(51)), 0xBC);   // ,
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(52)), 0xBE);   // .
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(53)), 0xBF);   // /
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(89)), 0xE2);   // \ right of /
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(42)), kVirtualKeyShift);
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(54)), kVirtualKeyShift);
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(28)), kVirtualKeyReturn);
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(96)), kVirtualKeyReturn);
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(119)), kVirtualKeyPause);
}

TEST(KeyCodesByPosition, UnknownPositionsHaveNoCode) {
    EXPECT_EQ(virtualKeyFromXkbKeycode(0), 0);
    EXPECT_EQ(virtualKeyFromXkbKeycode(7), 0);
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(41)), 0);  // grave / hankaku-zenkaku
    EXPECT_EQ(virtualKeyFromXkbKeycode(xkb(71)), 0);  // keypad 7
    EXPECT_EQ(virtualKeyFromXkbKeycode(100000), 0);
}

TEST(KeyCodesByPosition, EveryKeyOfTheDefaultLayoutIsReachable) {
    KeyNoteMap map;
    map.fillDefaultLayout();
    std::set<int> notes;
    for (std::uint32_t code = 0; code < 256; ++code) {
        const int note = map.noteForKey(virtualKeyFromXkbKeycode(code));
        if (note != KeyNoteMap::kNoNote)
            notes.insert(note);
    }
    EXPECT_EQ(notes.size(), 41u);  // 54..94
    EXPECT_EQ(*notes.begin(), 54);
    EXPECT_EQ(*notes.rbegin(), 94);
}

TEST(KeyCodesByPosition, SamePhysicalKeyGivesOneCodeWhateverItTypes) {
    // The key right of 0: ^ on a Japanese keyboard, = on a US one, and shifted forms.
    for (const int key : {int(Qt::Key_AsciiCircum), int(Qt::Key_Equal), int(Qt::Key_Plus),
                          int(Qt::Key_AsciiTilde)}) {
        const QKeyEvent press = keyEvent(QEvent::KeyPress, key, xkb(13));
        EXPECT_EQ(virtualKeyOf(press), 0xDE) << key;
    }
    // Pressed plain, released with Shift held: still the same key.
    EXPECT_EQ(virtualKeyOf(keyEvent(QEvent::KeyPress, Qt::Key_1, xkb(2))), 0x31);
    EXPECT_EQ(virtualKeyOf(keyEvent(QEvent::KeyRelease, Qt::Key_Exclam, xkb(2), Qt::ShiftModifier)),
              0x31);
    // A layout that types another letter there (AZERTY's A on the Q key) plays by position.
    EXPECT_EQ(virtualKeyOf(keyEvent(QEvent::KeyPress, Qt::Key_A, xkb(16))), 0x51);
}

TEST(KeyCodesByPosition, KnownCharacterOnAnUnknownPositionPlaysNothing) {
    // Grave on a US keyboard would read as @ by its character.
    EXPECT_EQ(virtualKeyOf(keyEvent(QEvent::KeyPress, Qt::Key_QuoteLeft, xkb(41))), 0);
}

TEST(KeyCodesByCharacter, WithoutAScanCodeTheTypedKeyDecides) {
    const auto code = [](int key, Qt::KeyboardModifiers m = Qt::NoModifier) {
        return virtualKeyOf(keyEvent(QEvent::KeyPress, key, 0, m));
    };
    EXPECT_EQ(code(Qt::Key_V), 0x56);
    EXPECT_EQ(code(Qt::Key_7), 0x37);
    EXPECT_EQ(code(Qt::Key_Semicolon), 0xBB);
    EXPECT_EQ(code(Qt::Key_Plus, Qt::ShiftModifier), 0xBB);
    EXPECT_EQ(code(Qt::Key_Colon), 0xBA);
    EXPECT_EQ(code(Qt::Key_BracketRight), 0xDD);
    EXPECT_EQ(code(Qt::Key_Backslash), 0xE2);
    EXPECT_EQ(code(Qt::Key_yen), 0xDC);
    EXPECT_EQ(code(Qt::Key_At), 0xC0);
    EXPECT_EQ(code(Qt::Key_Exclam, Qt::ShiftModifier), 0x31);
    EXPECT_EQ(code(Qt::Key_Return), kVirtualKeyReturn);
    EXPECT_EQ(code(Qt::Key_Enter, Qt::KeypadModifier), kVirtualKeyReturn);
    EXPECT_EQ(code(Qt::Key_Shift), kVirtualKeyShift);
    EXPECT_EQ(code(Qt::Key_F10), 0x79);
    EXPECT_EQ(code(Qt::Key_Home), 0);
}

TEST(KeyCodesByCharacter, KeypadDigitsAreNotTheDigitRow) {
    KeyNoteMap map;
    map.fillDefaultLayout();
    const int code = virtualKeyOf(keyEvent(QEvent::KeyPress, Qt::Key_1, 0, Qt::KeypadModifier));
    EXPECT_NE(code, 0x31);
    EXPECT_EQ(map.noteForKey(code), KeyNoteMap::kNoNote);
}

TEST(KeyStrokes, AltAndF10AreSystemKeys) {
    EXPECT_TRUE(keyStrokeOf(keyEvent(QEvent::KeyPress, Qt::Key_V, xkb(47), Qt::AltModifier), false)
                    .systemKey);
    EXPECT_TRUE(keyStrokeOf(keyEvent(QEvent::KeyPress, Qt::Key_Alt, xkb(56)), false).systemKey);
    EXPECT_TRUE(keyStrokeOf(keyEvent(QEvent::KeyPress, Qt::Key_F10, xkb(68)), false).systemKey);
    EXPECT_FALSE(
        keyStrokeOf(keyEvent(QEvent::KeyPress, Qt::Key_V, xkb(47), Qt::ControlModifier), false)
            .systemKey);
}

TEST(KeyStrokes, RepeatAndFocusAreCarriedOver) {
    const KeyStroke k =
        keyStrokeOf(keyEvent(QEvent::KeyRelease, Qt::Key_V, xkb(47), Qt::NoModifier, true), true);
    EXPECT_EQ(k.virtualKey, 0x56);
    EXPECT_TRUE(k.autoRepeat);
    EXPECT_TRUE(k.focusInEdit);
    EXPECT_FALSE(keyStrokeOf(keyEvent(QEvent::KeyPress, Qt::Key_V, xkb(47)), false).autoRepeat);
}

}  // namespace
}  // namespace tarvelo::ui
