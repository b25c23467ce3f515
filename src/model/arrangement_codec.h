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

namespace tarvelo {

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

}  // namespace tarvelo
