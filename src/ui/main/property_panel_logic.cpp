#include "ui/main/property_panel_logic.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "midi/midi_device_set.h"
#include "reference/parse_number_list.h"
#include "session/live_session.h"

namespace tarvelo::ui {

std::vector<std::string> deviceBoxEntries(const MidiDeviceSet& devices, bool outputs) {
    const std::vector<std::string>& names = outputs ? devices.outputNames() : devices.inputNames();
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < names.size(); ++i) {
        entries.push_back(names[i]);
        if (!devices.isPresent(outputs, static_cast<int>(i)))
            entries.back() += kAbsentDeviceMark;
    }
    return entries;
}

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

PropertyPanelLogic::PropertyPanelLogic(LiveSession& session, std::function<void()> markModified)
    : session_(session), markModified_(std::move(markModified)) {}

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
    const PartList& parts = session_.parts();
    const Part& p = parts.partAt(band);
    const MidiDeviceSet& devices = session_.devices();
    PropertyPanelViewState v;
    v.name = p.name;
    v.channel = p.channel + 1;
    v.noteShift = p.noteShift;
    v.rangeLowText = formatKey(p.lowKey);
    v.rangeHighText = formatKey(p.highKey);
    v.rangeLow = p.lowKey;
    v.rangeHigh = p.highKey;
    v.rangeLowEnabled = p.lowKey != parts.lowestKey();
    v.rangeHighEnabled = p.highKey != parts.highestKey();
    v.outputDevice = p.outputDevice;
    const int input = devices.inputDevice();
    v.inputDevice = input >= 0 && input < devices.inputCount() ? input : -1;
    v.channelMessageTarget = band == parts.targetPart();
    v.hexDisplay = hexDisplay_;
    v.followsPedals = p.followsPedals;
    v.followsWheels = p.followsWheels;
    return v;
}

PanelRefresh PropertyPanelLogic::nameEdited(int band, std::string_view text) {
    session_.parts().partAt(band);  // the band must exist
    markModified();
    if (characterCount(text) <= static_cast<std::size_t>(kMaxNameLength))
        session_.setName(band, std::string(text));
    return {.showBand = false, .drawBands = true};
}

bool PropertyPanelLogic::setLowKey(int band, int key) {
    return session_.setRange(band, key, session_.parts().partAt(band).highKey);
}

bool PropertyPanelLogic::setHighKey(int band, int key) {
    return session_.setRange(band, session_.parts().partAt(band).lowKey, key);
}

PanelRefresh PropertyPanelLogic::spin(int band, PanelSpin which, SpinArrow arrow) {
    const Part& p = session_.parts().partAt(band);
    markModified();
    const int step = arrow == SpinArrow::Up ? 1 : -1;
    switch (which) {
        case PanelSpin::Channel: {
            const int next = p.channel + 1 + step;  // as shown, 1..16
            if (next >= 1 && next <= 16)
                session_.setChannel(band, static_cast<std::uint8_t>(next - 1));
            return {.showBand = true, .drawBands = false};
        }
        case PanelSpin::NoteShift: {
            const int next = p.noteShift + step;
            if (next >= kMinNoteShift && next <= kMaxNoteShift)
                session_.setNoteShift(band, next);
            return {.showBand = true, .drawBands = false};
        }
        case PanelSpin::RangeLow:
            setLowKey(band, p.lowKey + step);
            break;
        case PanelSpin::RangeHigh:
            setHighKey(band, p.highKey + step);
            break;
    }
    return {.showBand = true, .drawBands = true};
}

PanelRefresh PropertyPanelLogic::enterPressed(int band, PanelEdit edit, std::string_view text) {
    session_.parts().partAt(band);  // the band must exist
    markModified();
    switch (edit) {
        case PanelEdit::Channel: {
            int value = 0;
            if (parseDecimal(text, value) && value >= 1 && value <= 16)
                session_.setChannel(band, static_cast<std::uint8_t>(value - 1));
            break;
        }
        case PanelEdit::NoteShift: {
            int value = 0;
            if (parseDecimal(text, value) && value >= kMinNoteShift && value <= kMaxNoteShift)
                session_.setNoteShift(band, value);
            break;
        }
        case PanelEdit::RangeLow:
        case PanelEdit::RangeHigh: {
            bool ok = false;
            std::vector<std::int32_t> numbers;
            const std::int32_t value = ParseNumberList(text, hexDisplay_, ok, numbers);
            if (ok) {
                if (edit == PanelEdit::RangeLow) {
                    setLowKey(band, value);
                } else {
                    setHighKey(band, value);
                }
            }
            break;
        }
    }
    return {.showBand = true, .drawBands = true};
}

PanelRefresh PropertyPanelLogic::setHexDisplay(bool on) {
    hexDisplay_ = on;
    return {.showBand = true, .drawBands = false};
}

PanelRefresh PropertyPanelLogic::toggleChannelMessageTarget(int band) {
    session_.parts().partAt(band);  // the band must exist
    markModified();
    session_.setTarget(session_.parts().targetPart() == band ? -1 : band);
    return {};
}

PanelRefresh PropertyPanelLogic::setFollowsPedals(int band, bool on) {
    session_.setFollowsPedals(band, on);  // refuses an index outside the Parts first
    markModified();
    return {};
}

PanelRefresh PropertyPanelLogic::setFollowsWheels(int band, bool on) {
    session_.setFollowsWheels(band, on);
    markModified();
    return {};
}

PanelRefresh PropertyPanelLogic::selectInputDevice(int index) {
    if (index < 0)
        return {};
    markModified();
    session_.setInputDevice(index);
    return {};
}

PanelRefresh PropertyPanelLogic::selectOutputDevice(int band, int index) {
    session_.parts().partAt(band);  // the band must exist
    if (index < 0 || index >= session_.devices().outputCount())
        return {.showBand = true, .drawBands = false};
    markModified();
    session_.setOutputDevice(band, index);
    return {};
}

}  // namespace tarvelo::ui
