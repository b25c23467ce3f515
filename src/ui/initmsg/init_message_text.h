#pragma once

// What the initial-message editor shows and how it reads typed cells, kept free of Qt so that it
// is tested without a display. Texts are UTF-8.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/initial_message.h"

namespace tarvelo::ui {

// Columns of the message list, left to right.
enum InitColumn : int {
    kColumnS = 0,
    kColumnType = 1,
    kColumnStatus = 2,
    kColumnData1 = 3,
    kColumnData2 = 4,
    kInitColumnCount = 5,
};

inline constexpr std::string_view kSysexPromptText = "#ここにデータを入力";
inline constexpr std::string_view kRowMarkText = "●";
// The S mark of a message that is not sent: it is no valid MIDI as it stands.
inline constexpr std::string_view kUnsendableMarkText = "×";
inline constexpr std::string_view kNoByteText = "-";
inline constexpr std::string_view kInvalidValueText = "無効な値です";
inline constexpr std::string_view kByteRangeText = "0(00h) - 255(FFh)までの値を入力してください。";
inline constexpr std::string_view kNoItemText = "No Item";

inline constexpr std::int32_t kControlChangeStatus = 0xB0;

// A Control Change whose controller the user picks from the controller list.
constexpr bool isGenericControlChange(const InitialMessage& m) {
    return m.type == 0 && m.status == kControlChangeStatus;
}
constexpr bool isSystemExclusive(const InitialMessage& m) {
    return m.status == InitialMessage::kSysexStatus;
}

// "%Xh" in hex mode (upper case, no leading zeros: 7h, 90h), else "%d". A negative value in hex
// shows its 32-bit two's complement, as printf would.
std::string formatNumber(std::int64_t value, bool hex);

// Every byte as "%Xh " or "%d ", each followed by one space, the last one too.
std::string formatSysexBytes(std::span<const std::uint8_t> bytes, bool hex);

// Empty when the message goes out on a Part on `channel` (0..15); otherwise why it is not sent,
// as the S cell's tooltip says it. The device layer decides: a message it would drop is shown
// here, whatever the editor allowed to be typed.
std::string_view unsendableReason(const InitialMessage& message, int channel);

// The S cell: kRowMarkText, or kUnsendableMarkText for a message that is not sent.
std::string_view sendMark(const InitialMessage& message, int channel);

// The five cell texts of a message row. `channel` (0..15) is added to the shown status of the
// channel kinds (type 0 and 1) only. The S cell marks a message that is not sent.
std::array<std::string, kInitColumnCount> rowTexts(const InitialMessage& message,
                                                   std::string_view name, int channel, bool hex);

// "初期情報 (name,device,Chn)" with the channel as stored, 0..15.
std::string initDialogCaption(std::string_view partName, std::string_view deviceName, int channel);

enum class CellEditError {
    None,
    Invalid,     // the text does not parse: "無効な値です"
    OutOfRange,  // a number outside 0..255: kByteRangeText
};

// A cell text as the user committed it.
struct CellEdit {
    CellEditError error = CellEditError::None;
    std::int32_t value = 0;             // the last number typed
    std::vector<std::int32_t> numbers;  // every number typed, in order
    std::string comment;                // from the first '#' to the end; shown, never stored
};

// Reads a committed cell text. Everything from the first '#' on is a comment; the rest must be a
// number list (hexadecimal numbers in hex mode). The last number must lie in 0..255; with
// `everyNumberIsAByte` (the numbers become exclusive bytes) every one of them must, since an
// out-of-range byte would otherwise be stored cut to its low eight bits without a word.
CellEdit parseCellEdit(std::string_view text, bool hex, bool everyNumberIsAByte);

// Whether committing `column` of `message` stores exclusive bytes.
constexpr bool editStoresSysex(const InitialMessage& message, int column) {
    return column == kColumnData2 && isSystemExclusive(message);
}

// Stores a successfully parsed edit of the Data1 or Data2 cell into `message` and returns what
// the cell shows afterwards: the stored value (or the exclusive bytes) in the current format, one
// space, then the comment. Data2 of a system-exclusive message takes every number as one byte;
// any other Data2 edit drops exclusive bytes the message had.
std::string storeCellEdit(InitialMessage& message, int column, const CellEdit& edit, bool hex);

}  // namespace tarvelo::ui
