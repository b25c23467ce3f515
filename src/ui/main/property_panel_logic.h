#pragma once

// What the part property panel's edits do to the arrangement, free of Qt: the window's widgets
// call these operations and display the view state they return.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvelo {
class LiveSession;
class MidiDeviceSet;
}  // namespace tarvelo

namespace tarvelo::ui {

// What the panel's controls show for one band. Texts are UTF-8.
struct PropertyPanelViewState {
    std::string name;
    int channel = 1;               // channel edit and spin: the stored channel + 1, so 1..16
    int noteShift = 0;             // note-shift edit and spin
    std::string rangeLowText;      // the low key as "%Xh" or "%d", by the hex display
    std::string rangeHighText;     // the high key, likewise
    int rangeLow = 0;              // range-low spin
    int rangeHigh = 0;             // range-high spin
    bool rangeLowEnabled = true;   // off on the band that starts at the keyboard's lowest key
    bool rangeHighEnabled = true;  // off on the band that ends at the keyboard's highest key
    int outputDevice = 0;          // entry of the output device box
    int inputDevice = -1;          // entry of the input device box; -1 selects none
    bool channelMessageTarget = false;
    bool hexDisplay = true;
    bool followsPedals = false;  // the pedal and wheel switches of the band
    bool followsWheels = false;

    bool operator==(const PropertyPanelViewState&) const = default;
};

// What the window redraws after a panel operation.
struct PanelRefresh {
    bool showBand = false;   // fill the panel again from view(current band)
    bool drawBands = false;  // repaint the band strip (names and ranges)

    bool operator==(const PanelRefresh&) const = default;
};

// What a device box lists: every input (or output) device the arrangement knows, in index order,
// so that a box's position is the device index; an absent device by its name followed by
// kAbsentDeviceMark.
inline constexpr std::string_view kAbsentDeviceMark = " (未接続)";
std::vector<std::string> deviceBoxEntries(const MidiDeviceSet& devices, bool outputs);

enum class PanelSpin { Channel, NoteShift, RangeLow, RangeHigh };
enum class SpinArrow { Up, Down };                                 // up increases, down decreases
enum class PanelEdit { Channel, NoteShift, RangeLow, RangeHigh };  // the four Enter-commit edits

// The property panel's behaviour: which value each control shows, and what each edit, spin
// click, Enter, check box and device box does to the Parts. Every operation works on the band
// passed in, the current band of the Band selection, which must be a valid Part index (else
// InvalidArgumentError). An operation that changes the arrangement, or that the user meant as
// one (every spin click, every Enter), calls markModified; none rebuilds the view itself.
//
// Ranges stay contiguous: moving a band's low key moves the previous band's high key with it,
// and every band keeps at least one key. The first band's low key and the last band's high key
// are the keyboard's ends and do not move.
//
// User-interface thread only.
class PropertyPanelLogic {
  public:
    static constexpr int kMaxNameLength = 256;  // characters
    static constexpr int kMinNoteShift = -128;
    static constexpr int kMaxNoteShift = 128;

    // session must outlive this; markModified may be empty.
    PropertyPanelLogic(LiveSession& session, std::function<void()> markModified);

    // What the panel shows for band (the "show band" of the window). Showing is not a change:
    // the window must not take the name it puts into the name edit for a user's edit.
    PropertyPanelViewState view(int band) const;

    // A key number or byte as the panel shows it: "3Ch" with the hex display on, else "60".
    std::string formatKey(int key) const;

    bool hexDisplay() const { return hexDisplay_; }

    // The user typed into the name edit (every keystroke). A name longer than kMaxNameLength
    // characters is not taken. The name edit itself is not refilled.
    PanelRefresh nameEdited(int band, std::string_view text);

    // One click on a spin arrow. Marks the arrangement modified even when the value is at its
    // limit and does not change.
    PanelRefresh spin(int band, PanelSpin which, SpinArrow arrow);

    // Enter in one of the four edits, with the edit's text. A value outside its range, one that
    // does not parse, or one that would empty a band changes nothing; the panel then shows the
    // stored value again. The range texts are read as number lists (the last number counts) in
    // the hex display's base; channel and note shift are decimal integers.
    PanelRefresh enterPressed(int band, PanelEdit edit, std::string_view text);

    // The hex display check box.
    PanelRefresh setHexDisplay(bool on);

    // The channel-message check box: makes band the target, or clears the target when band
    // already is it.
    PanelRefresh toggleChannelMessageTarget(int band);

    // The pedal and wheel switches: whether band also gets the pedals, or the wheels and
    // pressure, besides the channel-message target.
    PanelRefresh setFollowsPedals(int band, bool on);
    PanelRefresh setFollowsWheels(int band, bool on);

    // The input device box: reopens the MIDI input with that device. A negative index (the box
    // lost its selection) does nothing.
    PanelRefresh selectInputDevice(int index);

    // The output device box: moves band to device index. An index outside the device list
    // changes nothing and asks for the stored device to be shown again.
    PanelRefresh selectOutputDevice(int band, int index);

  private:
    void markModified() const;
    PanelRefresh spinRangeLow(int band, SpinArrow arrow);
    PanelRefresh spinRangeHigh(int band, SpinArrow arrow);
    bool setLowKey(int band, int key);
    bool setHighKey(int band, int key);

    LiveSession& session_;
    std::function<void()> markModified_;
    bool hexDisplay_ = true;
};

}  // namespace tarvelo::ui
