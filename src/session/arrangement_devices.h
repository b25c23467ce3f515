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
// through `boxes` (one box per occurrence, in file order) and replaced by device 0; a missing
// target device silently becomes device 0.
ResolvedArrangement resolveDevices(const StoredArrangement& stored, const MidiDeviceSet& devices,
                                   MessageBoxes& boxes);

// The text of the box for a device name that no present device carries.
std::string missingDeviceText(std::string_view name);
inline constexpr std::string_view kDeviceOpenErrorCaption = "デバイスオープンエラー";

}  // namespace tarvelo
