#include "ui/main/key_codes.h"

#include <QKeyEvent>
#include <utility>

namespace tarvelo::ui {

namespace {

constexpr int kXkbOffset = 8;  // XKB keycodes are evdev codes + 8

// evdev code -> virtual-key code, by the legend the position has on a Japanese keyboard.
constexpr std::pair<int, int> kEvdevToVirtualKey[] = {
    {1, 0x1B},    // Esc
    {2, 0x31},    // 1
    {3, 0x32},    // 2
    {4, 0x33},    // 3
    {5, 0x34},    // 4
    {6, 0x35},    // 5
    {7, 0x36},    // 6
    {8, 0x37},    // 7
    {9, 0x38},    // 8
    {10, 0x39},   // 9
    {11, 0x30},   // 0
    {12, 0xBD},   // -
    {13, 0xDE},   // ^ (= on US keyboards)
    {14, 0x08},   // Backspace
    {15, 0x09},   // Tab
    {16, 0x51},   // Q
    {17, 0x57},   // W
    {18, 0x45},   // E
    {19, 0x52},   // R
    {20, 0x54},   // T
    {21, 0x59},   // Y
    {22, 0x55},   // U
    {23, 0x49},   // I
    {24, 0x4F},   // O
    {25, 0x50},   // P
    {26, 0xC0},   // @ ([ on US keyboards)
    {27, 0xDB},   // [ (] on US keyboards)
    {28, 0x0D},   // Enter
    {29, 0x11},   // left Ctrl
    {30, 0x41},   // A
    {31, 0x53},   // S
    {32, 0x44},   // D
    {33, 0x46},   // F
    {34, 0x47},   // G
    {35, 0x48},   // H
    {36, 0x4A},   // J
    {37, 0x4B},   // K
    {38, 0x4C},   // L
    {39, 0xBB},   // ;
    {40, 0xBA},   // : (' on US keyboards)
    {42, 0x10},   // left Shift
    {43, 0xDD},   // ] (\ on US, # on European keyboards)
    {44, 0x5A},   // Z
    {45, 0x58},   // X
    {46, 0x43},   // C
    {47, 0x56},   // V
    {48, 0x42},   // B
    {49, 0x4E},   // N
    {50, 0x4D},   // M
    {51, 0xBC},   // ,
    {52, 0xBE},   // .
    {53, 0xBF},   // /
    {54, 0x10},   // right Shift
    {56, 0x12},   // left Alt
    {57, 0x20},   // Space
    {59, 0x70},   // F1
    {60, 0x71},   // F2
    {61, 0x72},   // F3
    {62, 0x73},   // F4
    {63, 0x74},   // F5
    {64, 0x75},   // F6
    {65, 0x76},   // F7
    {66, 0x77},   // F8
    {67, 0x78},   // F9
    {68, 0x79},   // F10
    {86, 0xE2},   // the key left of Z on European keyboards, as Windows names it
    {87, 0x7A},   // F11
    {88, 0x7B},   // F12
    {89, 0xE2},   // \ right of / (ro)
    {96, 0x0D},   // keypad Enter
    {97, 0x11},   // right Ctrl
    {100, 0x12},  // right Alt
    {119, 0x13},  // Pause
    {104, kVirtualKeyPageUp},
    {109, kVirtualKeyPageDown},
    {124, 0xDC},  // yen
};

constexpr int kVirtualKeyAlt = 0x12;
constexpr int kVirtualKeyF10 = 0x79;

// On Linux every platform plugin that reports scan codes (xcb, Wayland, eglfs and linuxfb with
// libinput) reports XKB keycodes; offscreen reports none.
constexpr bool kScanCodesAreXkbKeycodes =
#if defined(Q_OS_LINUX)
    true;
#else
    false;
#endif

}  // namespace

int virtualKeyFromXkbKeycode(std::uint32_t keycode) {
    if (keycode < kXkbOffset)
        return 0;
    const int evdev = static_cast<int>(keycode) - kXkbOffset;
    for (const auto& [code, virtualKey] : kEvdevToVirtualKey) {
        if (code == evdev)
            return virtualKey;
    }
    return 0;
}

int virtualKeyFromQtKey(int key, Qt::KeyboardModifiers modifiers) {
    if (modifiers.testFlag(Qt::KeypadModifier)) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return 0x60 + (key - Qt::Key_0);  // the keypad's own codes, which play nothing
        if (key == Qt::Key_Enter)
            return kVirtualKeyReturn;
        return 0;
    }
    // Letters and digits share their codes with Qt.
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key;
    switch (key) {
        // Shifted digits on a Japanese keyboard.
        case Qt::Key_Exclam:
            return 0x31;
        case Qt::Key_QuoteDbl:
            return 0x32;
        case Qt::Key_NumberSign:
            return 0x33;
        case Qt::Key_Dollar:
            return 0x34;
        case Qt::Key_Percent:
            return 0x35;
        case Qt::Key_Ampersand:
            return 0x36;
        case Qt::Key_Apostrophe:
            return 0x37;
        case Qt::Key_ParenLeft:
            return 0x38;
        case Qt::Key_ParenRight:
            return 0x39;
        // Punctuation, plain and shifted.
        case Qt::Key_Minus:
        case Qt::Key_Equal:
            return 0xBD;
        case Qt::Key_AsciiCircum:
        case Qt::Key_AsciiTilde:
            return 0xDE;
        case Qt::Key_yen:
        case Qt::Key_Bar:
            return 0xDC;
        case Qt::Key_At:
        case Qt::Key_QuoteLeft:
            return 0xC0;
        case Qt::Key_BracketLeft:
        case Qt::Key_BraceLeft:
            return 0xDB;
        case Qt::Key_Semicolon:
        case Qt::Key_Plus:
            return 0xBB;
        case Qt::Key_Colon:
        case Qt::Key_Asterisk:
            return 0xBA;
        case Qt::Key_BracketRight:
        case Qt::Key_BraceRight:
            return 0xDD;
        case Qt::Key_Comma:
        case Qt::Key_Less:
            return 0xBC;
        case Qt::Key_Period:
        case Qt::Key_Greater:
            return 0xBE;
        case Qt::Key_Slash:
        case Qt::Key_Question:
            return 0xBF;
        case Qt::Key_Backslash:
        case Qt::Key_Underscore:
            return 0xE2;
        // Keys the rules or the window single out.
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kVirtualKeyReturn;
        case Qt::Key_Shift:
            return kVirtualKeyShift;
        case Qt::Key_Control:
            return 0x11;
        case Qt::Key_Alt:
            return kVirtualKeyAlt;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return 0x09;
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_Backspace:
            return 0x08;
        case kPanicKey:
            return kVirtualKeyPause;
        case kPreviousSongKey:
            return kVirtualKeyPageUp;
        case kNextSongKey:
            return kVirtualKeyPageDown;
        default:
            break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return 0x70 + (key - Qt::Key_F1);
    return 0;
}

int virtualKeyOf(const QKeyEvent& event) {
    // A position the table does not know plays nothing, whatever character it types.
    if (kScanCodesAreXkbKeycodes && event.nativeScanCode() != 0)
        return virtualKeyFromXkbKeycode(event.nativeScanCode());
    return virtualKeyFromQtKey(event.key(), event.modifiers());
}

KeyStroke keyStrokeOf(const QKeyEvent& event, bool focusInEdit) {
    KeyStroke stroke;
    stroke.virtualKey = virtualKeyOf(event);
    // What Windows reports as system keys: anything with Alt held, the Alt key itself, F10.
    stroke.systemKey = event.modifiers().testFlag(Qt::AltModifier) ||
                       stroke.virtualKey == kVirtualKeyAlt || stroke.virtualKey == kVirtualKeyF10;
    stroke.autoRepeat = event.isAutoRepeat();
    stroke.focusInEdit = focusInEdit;
    return stroke;
}

}  // namespace tarvelo::ui
