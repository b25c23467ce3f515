#include "ui/initmsg/init_message_text.h"

#include <algorithm>
#include <cstdio>

#include "midi/initial_message_bytes.h"
#include "reference/parse_number_list.h"

namespace tarvelo::ui {

namespace {

constexpr std::int32_t kLowestByte = 0;
constexpr std::int32_t kHighestByte = 255;

bool isByte(std::int32_t value) {
    return value >= kLowestByte && value <= kHighestByte;
}

std::string optionalByteText(std::int32_t value, bool hex) {
    return value < 0 ? std::string(kNoByteText) : formatNumber(value, hex);
}

}  // namespace

std::string formatNumber(std::int64_t value, bool hex) {
    char buffer[24];
    if (hex) {
        std::snprintf(buffer, sizeof buffer, "%Xh",
                      static_cast<unsigned>(static_cast<std::uint32_t>(value)));
    } else {
        std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
    }
    return buffer;
}

std::string formatSysexBytes(std::span<const std::uint8_t> bytes, bool hex) {
    std::string text;
    text.reserve(bytes.size() * 4);
    for (const std::uint8_t byte : bytes) {
        text += formatNumber(byte, hex);
        text += ' ';
    }
    return text;
}

std::string_view unsendableReason(const InitialMessage& message, int channel) {
    switch (sendFaultOf(message, static_cast<std::uint8_t>(channel))) {
        case ShortMessageFault::None:
            return {};
        case ShortMessageFault::NotAStatus:
            return "送信されません: ステータスが 80h 未満です";
        case ShortMessageFault::ExclusiveStatus:
            return "送信されません: F0h と F7h はエクスクルーシブとしてのみ送れます";
        case ShortMessageFault::DataByteHigh:
            return "送信されません: データバイトが 80h 以上です (00h - 7Fh)";
    }
    return {};
}

std::string_view sendMark(const InitialMessage& message, int channel) {
    return unsendableReason(message, channel).empty() ? kRowMarkText : kUnsendableMarkText;
}

std::array<std::string, kInitColumnCount> rowTexts(const InitialMessage& message,
                                                   std::string_view name, int channel, bool hex) {
    std::array<std::string, kInitColumnCount> cells;
    cells[kColumnS] = sendMark(message, channel);
    cells[kColumnType] = name;
    const bool channelKind = message.type == 0 || message.type == 1;
    cells[kColumnStatus] =
        formatNumber(std::int64_t{message.status} + (channelKind ? channel : 0), hex);
    cells[kColumnData1] = optionalByteText(message.data1, hex);
    if (isSystemExclusive(message)) {
        cells[kColumnData2] = message.sysexLength > 0 && !message.sysexData.empty()
                                  ? formatSysexBytes(message.sysexData, hex)
                                  : std::string(kSysexPromptText);
    } else {
        cells[kColumnData2] = optionalByteText(message.data2, hex);
    }
    return cells;
}

std::string initDialogCaption(std::string_view partName, std::string_view deviceName, int channel) {
    std::string caption = "初期情報 (";
    caption += partName;
    caption += ',';
    caption += deviceName;
    caption += ",Ch";
    caption += std::to_string(channel);
    caption += ')';
    return caption;
}

CellEdit parseCellEdit(std::string_view text, bool hex, bool everyNumberIsAByte) {
    CellEdit edit;
    if (const std::size_t hash = text.find('#'); hash != std::string_view::npos) {
        edit.comment = text.substr(hash);
        text = text.substr(0, hash);
    }
    bool ok = false;
    edit.value = ParseNumberList(text, hex, ok, edit.numbers);
    if (!ok) {
        edit.error = CellEditError::Invalid;
    } else if (!isByte(edit.value) ||
               (everyNumberIsAByte &&
                !std::all_of(edit.numbers.begin(), edit.numbers.end(), isByte))) {
        edit.error = CellEditError::OutOfRange;
    }
    return edit;
}

std::string storeCellEdit(InitialMessage& message, int column, const CellEdit& edit, bool hex) {
    std::string shown;
    if (column == kColumnData1) {
        message.data1 = edit.value;
        shown = formatNumber(edit.value, hex);
    } else {
        message.sysexData.clear();
        message.sysexLength = 0;
        if (isSystemExclusive(message)) {
            message.sysexData.reserve(edit.numbers.size());
            for (const std::int32_t number : edit.numbers) {
                message.sysexData.push_back(static_cast<std::uint8_t>(number & 0xFF));
            }
            message.sysexLength = static_cast<std::int32_t>(message.sysexData.size());
            shown = formatSysexBytes(message.sysexData, hex);
        } else {
            message.data2 = edit.value;
            shown = formatNumber(edit.value, hex);
        }
    }
    shown += ' ';
    shown += edit.comment;
    return shown;
}

}  // namespace tarvelo::ui
