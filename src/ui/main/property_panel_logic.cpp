#include "ui/main/property_panel_logic.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "model/part_list.h"
#include "reference/parse_number_list.h"

namespace tarvelo::ui {

namespace {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n\f\v";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// A whole decimal integer, optionally signed, with blanks around it; nothing else.
bool parseDecimal(std::string_view text, int& value) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return false;
    }
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, 10);
    return result.ec == std::errc{} && result.ptr == end;
}

// Characters of a UTF-8 text: every byte that does not continue a sequence starts one.
std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

}  // namespace

PropertyPanelLogic::PropertyPanelLogic(PartList& parts, std::function<void()> markModified)
    : parts_(parts), markModified_(std::move(markModified)) {}

void PropertyPanelLogic::markModified() const {
    if (markModified_)
        markModified_();
}

std::string PropertyPanelLogic::formatKey(int key) const {
    char text[16];
    if (hexDisplay_) {
        std::snprintf(text, sizeof text, "%Xh", static_cast<unsigned>(key));
    } else {
        std::snprintf(text, sizeof text, "%d", key);
    }
    return text;
}

PropertyPanelViewState PropertyPanelLogic::view(int band) const {
    const Part& p = parts_.partAt(band);
    const MidiDeviceSet& devices = parts_.devices();
    PropertyPanelViewState v;
    v.name = p.name;
    v.channel = p.channel + 1;
    v.noteShift = p.noteShift;
    v.rangeLowText = formatKey(p.lowKey);
    v.rangeHighText = formatKey(p.highKey);
    v.rangeLow = p.lowKey;
    v.rangeHigh = p.highKey;
    v.rangeLowEnabled = p.lowKey != parts_.lowestKey();
    v.rangeHighEnabled = p.highKey != parts_.highestKey();
    v.outputDevice = p.outputDevice;
    const int input = devices.inputDevice();
    v.inputDevice = input >= 0 && input < devices.inputCount() ? input : -1;
    v.channelMessageTarget = band == parts_.targetPart();
    v.hexDisplay = hexDisplay_;
    return v;
}

PanelRefresh PropertyPanelLogic::nameEdited(int band, std::string_view text) {
    markModified();
    if (characterCount(text) <= static_cast<std::size_t>(kMaxNameLength))
        parts_.partAt(band).name = std::string(text);
    return {.showBand = false, .drawBands = true};
}

bool PropertyPanelLogic::setLowKey(int band, int key) {
    if (band < 1)
        return false;  // the first band starts at the keyboard's lowest key
    Part& p = parts_.partAt(band);
    Part& previous = parts_.partAt(band - 1);
    if (key > p.highKey || key <= previous.lowKey)
        return false;
    p.lowKey = static_cast<std::uint8_t>(key);
    previous.highKey = static_cast<std::uint8_t>(key - 1);
    return true;
}

bool PropertyPanelLogic::setHighKey(int band, int key) {
    if (band + 1 >= parts_.partCount())
        return false;  // the last band ends at the keyboard's highest key
    Part& p = parts_.partAt(band);
    Part& next = parts_.partAt(band + 1);
    if (key >= next.highKey || key < p.lowKey)
        return false;
    p.highKey = static_cast<std::uint8_t>(key);
    next.lowKey = static_cast<std::uint8_t>(key + 1);
    return true;
}

PanelRefresh PropertyPanelLogic::spin(int band, PanelSpin which, SpinArrow arrow) {
    markModified();
    Part& p = parts_.partAt(band);
    const int step = arrow == SpinArrow::Up ? 1 : -1;
    switch (which) {
        case PanelSpin::Channel: {
            const int shown = p.channel + 1;
            const int next = shown + step;
            if (next >= 1 && next <= 16)
                p.channel = static_cast<std::uint8_t>(next - 1);
            parts_.rebuildRoutes();
            return {.showBand = true, .drawBands = false};
        }
        case PanelSpin::NoteShift: {
            const int next = p.noteShift + step;
            if (next >= kMinNoteShift && next <= kMaxNoteShift)
                p.noteShift = next;
            parts_.rebuildRoutes();
            return {.showBand = true, .drawBands = false};
        }
        case PanelSpin::RangeLow:
            setLowKey(band, p.lowKey + step);
            break;
        case PanelSpin::RangeHigh:
            setHighKey(band, p.highKey + step);
            break;
    }
    parts_.rebuildRoutes();
    return {.showBand = true, .drawBands = true};
}

PanelRefresh PropertyPanelLogic::enterPressed(int band, PanelEdit edit, std::string_view text) {
    markModified();
    Part& p = parts_.partAt(band);
    bool changed = false;
    switch (edit) {
        case PanelEdit::Channel: {
            int value = 0;
            if (parseDecimal(text, value) && value >= 1 && value <= 16) {
                p.channel = static_cast<std::uint8_t>(value - 1);
                changed = true;
            }
            break;
        }
        case PanelEdit::NoteShift: {
            int value = 0;
            if (parseDecimal(text, value) && value >= kMinNoteShift && value <= kMaxNoteShift) {
                p.noteShift = value;
                changed = true;
            }
            break;
        }
        case PanelEdit::RangeLow:
        case PanelEdit::RangeHigh: {
            bool ok = false;
            std::vector<std::int32_t> numbers;
            const std::int32_t value = ParseNumberList(text, hexDisplay_, ok, numbers);
            if (ok) {
                changed =
                    edit == PanelEdit::RangeLow ? setLowKey(band, value) : setHighKey(band, value);
            }
            break;
        }
    }
    if (changed)
        parts_.rebuildRoutes();
    return {.showBand = true, .drawBands = true};
}

PanelRefresh PropertyPanelLogic::setHexDisplay(bool on) {
    hexDisplay_ = on;
    return {.showBand = true, .drawBands = false};
}

PanelRefresh PropertyPanelLogic::toggleChannelMessageTarget(int band) {
    parts_.partAt(band);  // the band must exist
    markModified();
    parts_.setTarget(parts_.targetPart() == band ? -1 : band);
    return {};
}

PanelRefresh PropertyPanelLogic::selectInputDevice(int index) {
    if (index < 0)
        return {};
    markModified();
    parts_.devices().openInput(index);
    return {};
}

PanelRefresh PropertyPanelLogic::selectOutputDevice(int band, int index) {
    Part& p = parts_.partAt(band);
    MidiDeviceSet& devices = parts_.devices();
    if (index < 0 || index >= devices.outputCount())
        return {.showBand = true, .drawBands = false};
    markModified();
    // Release first: choosing the device the band already uses alone closes and reopens it,
    // which silences it.
    devices.releaseOutput(p.outputDevice);
    devices.acquireOutput(index);
    p.outputDevice = index;
    parts_.rebuildRoutes();
    return {};
}

}  // namespace tarvelo::ui
