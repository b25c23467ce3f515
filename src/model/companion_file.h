#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/panic_trigger.h"
#include "model/part_list.h"

namespace tarvelo {

// What an arrangement has beyond what its arrangement file can hold (that file keeps its exact
// bytes, so that other programs and older files go on working): each Part's pedal and wheel
// switches, in Part order, and the panic controller. It lives in a JSON file of our own beside
// the arrangement file (see companionPath), which is never the reason an arrangement fails to
// load: without it, or with one that cannot be used, the arrangement gets the defaults.
struct CompanionSettings {
    struct PartSwitches {
        bool followsPedals = false;
        bool followsWheels = false;
        bool operator==(const PartSwitches&) const = default;
    };
    std::vector<PartSwitches> parts;  // one per Part of the arrangement, in Part order
    PanicTrigger panic;

    bool operator==(const CompanionSettings&) const = default;
};

// The format version this program writes; it reads every version up to this one.
inline constexpr int kCompanionVersion = 1;

// The companion of the arrangement file at `arrangementPath`: the path with its extension
// replaced by ".tarvelo.json" (song.trv: song.tarvelo.json), or that suffix added to a name
// without an extension.
std::string companionPath(const std::string& arrangementPath);

CompanionSettings companionSettingsOf(const PartList& parts);
// Gives the Parts their switches and the arrangement its panic trigger. `settings` holds one
// entry per Part (as every successfully read companion of this arrangement does).
void applyCompanionSettings(const CompanionSettings& settings, PartList& parts);

// UTF-8 JSON, two-space indents, ending in a newline.
std::string encodeCompanion(const CompanionSettings& settings);

// Why a companion file that is there cannot be used.
struct CompanionFault {
    enum class Kind {
        CannotRead,         // not a regular file, too large, not permitted, a read failed
        Damaged,            // not JSON, or not shaped as a companion file
        NewerVersion,       // written by a later program, in a format this one does not know
        PartCountMismatch,  // holds settings for another number of Parts than the arrangement
    };
    Kind kind = Kind::Damaged;
    // What is wrong, in English, without the path.
    std::string detail;
};

struct CompanionReadResult {
    // Set when a usable file was read; neither is set when there is no file at all.
    std::optional<CompanionSettings> settings;
    std::optional<CompanionFault> fault;
};

// Parses a companion file meant for an arrangement of `partCount` Parts. Keys it does not know
// are ignored (later versions may add some), a switch or the panic left out is off. Never
// throws for any input.
CompanionReadResult decodeCompanion(std::span<const std::uint8_t> bytes, int partCount);

// Reads the companion of the arrangement file at `arrangementPath`. Nothing is set when there is
// no such file. Never writes anything.
CompanionReadResult readCompanionFile(const std::string& arrangementPath, int partCount);

}  // namespace tarvelo
