#pragma once

#include <string>
#include <string_view>

#include "midi/midi_device_set.h"
#include "model/arrangement_codec.h"
#include "model/part_list.h"

namespace tarvelo {

class MessageBoxes;

// An arrangement file's content with its device names looked up in the device lists.
struct ResolvedArrangement {
    PartList parts;
    int inputDevice = 0;
};

// The arrangement with its devices named as the device set names them now; the input device is
// the one open (kNoInputDeviceName while none is).
StoredArrangement storedArrangementOf(const PartList& parts, const MidiDeviceSet& devices);

// Looks every device name up in `devices`. A missing input or Part output device is reported
// through `boxes` (one box per occurrence, in file order) and kept by its name: it is added to
// the device lists as absent, so the Part stays silent rather than play on another instrument,
// is saved under the name it was loaded with, and sounds once the device appears. A missing
// target device is kept by name silently. Two names stand for no device at all and become
// device 0 as before: "NULLDEVICE" for the input (after its box) and the target's name when
// there is no target.
ResolvedArrangement resolveDevices(const StoredArrangement& stored, MidiDeviceSet& devices,
                                   MessageBoxes& boxes);

// The text of the box for a device name that no present device carries.
std::string missingDeviceText(std::string_view name);
inline constexpr std::string_view kDeviceOpenErrorCaption = "デバイスオープンエラー";

}  // namespace tarvelo
