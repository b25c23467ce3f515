#pragma once

// The companion file's pieces as JSON, for the model's own sources (the file and the dump spell
// them alike); nothing outside the model includes nlohmann-json through this.

#include <nlohmann/json.hpp>

#include "model/companion_file.h"

namespace tarvelo::companion_json {

// Keys in the order they are added.
using Json = nlohmann::ordered_json;

namespace keys {
inline constexpr const char* kVersionKey = "version";
inline constexpr const char* kPartCountKey = "partCount";
inline constexpr const char* kPartsKey = "parts";
inline constexpr const char* kPedalsKey = "followsPedals";
inline constexpr const char* kWheelsKey = "followsWheels";
inline constexpr const char* kPanicKey = "panic";
inline constexpr const char* kControllerKey = "controller";
inline constexpr const char* kValueKey = "value";
}  // namespace keys

// Adds "followsPedals" and "followsWheels" to `part`.
void addSwitches(const CompanionSettings::PartSwitches& switches, Json& part);

// {"controller": 0..127 or null when off, "value": 0..127}
Json panic(const PanicTrigger& trigger);

}  // namespace tarvelo::companion_json
