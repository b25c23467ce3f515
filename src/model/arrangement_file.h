#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/initial_message_list.h"
#include "model/part.h"
#include "model/part_list.h"

namespace tarvelo {

class MessageBoxes;

// The name saved for the input device while none is set. On reading it is looked up like any
// other name.
inline constexpr std::string_view kNoInputDeviceName = "NULLDEVICE";

// One Part as an arrangement file holds it: its output device by name.
struct StoredPart {
    Part part;  // part.outputDevice is not used
    std::string outputDeviceName;
    InitialMessageList messages;

    bool operator==(const StoredPart&) const = default;
};

// A whole arrangement as an arrangement file holds it, devices by name; texts in UTF-8. Reading
// a file produces one without touching any device, so a failed read changes nothing.
struct StoredArrangement {
    std::int32_t highestKey = 127;
    std::int32_t lowestKey = 0;
    std::int32_t nextPartNumber = 1;
    std::string inputDeviceName;
    std::vector<StoredPart> parts;  // at least one in every file that reads successfully
    std::int32_t targetPart = -1;
    std::string targetDeviceName;
    std::uint8_t targetChannel = 255;

    bool operator==(const StoredArrangement&) const = default;
};

enum class FileErrorKind { CannotOpen, CannotRead, Corrupt, CannotWrite };

struct FileError {
    FileErrorKind kind = FileErrorKind::Corrupt;
    // Why, in English, without the path: the system's reason, or what in the file is wrong and
    // where.
    std::string detail;
};

struct ArrangementReadResult {
    std::optional<StoredArrangement> arrangement;  // set on success
    FileError error;                               // set on failure

    bool ok() const { return arrangement.has_value(); }
};

// The file's bytes. Texts go to disk in code page 932; a text that code page cannot hold is
// stored in 16-bit units instead, so no name is lost.
std::vector<std::uint8_t> encodeArrangement(const StoredArrangement& arrangement);

// Parses a whole file. Never throws for any input, never reads outside `bytes`: every count and
// length is checked against what is left, and a file that ends early, holds no Part, or has
// bytes after its last field is rejected as corrupt.
ArrangementReadResult decodeArrangement(std::span<const std::uint8_t> bytes);

// The arrangement with its devices named as the device set names them now.
StoredArrangement storedArrangementOf(const PartList& parts);

// Looks every device name up in `devices`. A missing input or Part output device is reported
// through `boxes` (one box per occurrence, in file order) and kept by its name: it is added to
// the device lists as absent, so the Part stays silent rather than play on another instrument,
// is saved under the name it was loaded with, and sounds once the device appears. A missing
// target device is kept by name silently. Two names stand for no device at all and become
// device 0 as before: "NULLDEVICE" for the input (after its box) and the target's name when
// there is no target.
ArrangementContent resolveDevices(const StoredArrangement& stored, MidiDeviceSet& devices,
                                  MessageBoxes& boxes);

// Reads a file into memory and parses it; touches no device.
ArrangementReadResult readArrangementFile(const std::string& path);

// Writes the file so that a failure never leaves a damaged or half-written file at `path`: the
// bytes go to a new file beside it, reach the disk, and only then replace the old file.
std::optional<FileError> writeArrangementFile(const std::string& path,
                                              const StoredArrangement& arrangement);

// Reads `path` and, only when it is read successfully, re-lists the devices (closing every
// device; the device set keeps its owner), resolves the names (boxes for missing devices) and
// hands the result to `parts`. Routes are not rebuilt. On failure `parts` and its devices are
// untouched.
std::optional<FileError> loadArrangement(const std::string& path, PartList& parts,
                                         MessageBoxes& boxes);

std::optional<FileError> saveArrangement(const std::string& path, const PartList& parts);

// The text of the box for a device name that no present device carries.
std::string missingDeviceText(std::string_view name);
inline constexpr std::string_view kDeviceOpenErrorCaption = "デバイスオープンエラー";

}  // namespace tarvelo
