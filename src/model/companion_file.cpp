#include "model/companion_file.h"

#include <filesystem>
#include <system_error>

#include "model/companion_json.h"
#include "reference/input_file.h"

namespace tarvelo {

namespace {

// Reading needs no order of keys.
using Json = nlohmann::json;

using namespace companion_json::keys;

CompanionReadResult fault(CompanionFault::Kind kind, std::string detail) {
    return {std::nullopt, CompanionFault{kind, std::move(detail)}};
}

CompanionReadResult damaged(std::string detail) {
    return fault(CompanionFault::Kind::Damaged, std::move(detail));
}

std::string quotedKey(const char* key) {
    return std::string("\"") + key + "\"";
}

// A whole number within lo..hi; nullopt for anything else, a fraction or a string included.
std::optional<std::int64_t> wholeNumber(const Json& j, std::int64_t lo, std::int64_t hi) {
    std::int64_t v = 0;
    if (j.is_number_unsigned()) {
        const auto u = j.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(hi))
            return std::nullopt;
        v = static_cast<std::int64_t>(u);
    } else if (j.is_number_integer()) {
        v = j.get<std::int64_t>();
    } else {
        return std::nullopt;
    }
    if (v < lo || v > hi)
        return std::nullopt;
    return v;
}

// A switch of one Part: true, false, or left out (off).
std::optional<bool> switchOf(const Json& part, const char* key) {
    const auto it = part.find(key);
    if (it == part.end())
        return false;
    if (!it->is_boolean())
        return std::nullopt;
    return it->get<bool>();
}

std::optional<std::string> readPanic(const Json& root, PanicTrigger& panic) {
    const auto it = root.find(kPanicKey);
    if (it == root.end() || it->is_null())
        return std::nullopt;
    if (!it->is_object())
        return quotedKey(kPanicKey) + " is not an object";
    if (const auto c = it->find(kControllerKey); c != it->end() && !c->is_null()) {
        const auto controller = wholeNumber(*c, 0, 127);
        if (!controller)
            return quotedKey(kPanicKey) + ": " + quotedKey(kControllerKey) +
                   " is neither null nor a number from 0 to 127";
        panic.controller = static_cast<int>(*controller);
    }
    if (const auto v = it->find(kValueKey); v != it->end()) {
        const auto value = wholeNumber(*v, 0, 127);
        if (!value)
            return quotedKey(kPanicKey) + ": " + quotedKey(kValueKey) +
                   " is not a number from 0 to 127";
        panic.value = static_cast<int>(*value);
    }
    return std::nullopt;
}

}  // namespace

std::string companionPath(const std::string& arrangementPath) {
    std::filesystem::path path(arrangementPath);
    path.replace_extension(".tarvelo.json");
    return path.string();
}

CompanionSettings companionSettingsOf(const PartList& parts) {
    CompanionSettings settings;
    for (const Part& p : parts.parts())
        settings.parts.push_back({p.followsPedals, p.followsWheels});
    settings.panic = parts.panicTrigger();
    return settings;
}

void applyCompanionSettings(const CompanionSettings& settings, PartList& parts) {
    for (int i = 0; i < parts.partCount(); ++i) {
        const CompanionSettings::PartSwitches& s = settings.parts.at(static_cast<std::size_t>(i));
        Part& p = parts.partAt(i);
        p.followsPedals = s.followsPedals;
        p.followsWheels = s.followsWheels;
    }
    parts.setPanicTrigger(settings.panic);
}

namespace companion_json {

void addSwitches(const CompanionSettings::PartSwitches& switches, Json& part) {
    part[kPedalsKey] = switches.followsPedals;
    part[kWheelsKey] = switches.followsWheels;
}

Json panic(const PanicTrigger& trigger) {
    return {{kControllerKey, trigger.enabled() ? Json(trigger.controller) : Json(nullptr)},
            {kValueKey, trigger.value}};
}

}  // namespace companion_json

std::string encodeCompanion(const CompanionSettings& settings) {
    companion_json::Json root;
    root[kVersionKey] = kCompanionVersion;
    root[kPartCountKey] = settings.parts.size();
    companion_json::Json& parts = root[kPartsKey] = companion_json::Json::array();
    for (const CompanionSettings::PartSwitches& s : settings.parts)
        companion_json::addSwitches(s, parts.emplace_back(companion_json::Json::object()));
    root[kPanicKey] = companion_json::panic(settings.panic);
    return root.dump(2) + "\n";
}

CompanionReadResult decodeCompanion(std::span<const std::uint8_t> bytes, int partCount) {
    Json root;
    try {
        root = Json::parse(bytes.begin(), bytes.end());
    } catch (const Json::parse_error& e) {
        return damaged("not valid JSON (at byte " + std::to_string(e.byte) + ")");
    } catch (const Json::exception& e) {
        // A number beyond what a double holds (1e400) is out of range rather than a parse error.
        return damaged(std::string("not valid JSON (") + e.what() + ")");
    }
    if (!root.is_object())
        return damaged("not a JSON object");

    // A later version may have changed anything else, so it is checked first.
    const auto version = root.find(kVersionKey);
    // The parser makes every whole number from 0 up unsigned, however large.
    if (version == root.end() || !version->is_number_unsigned() ||
        version->get<std::uint64_t>() == 0)
        return damaged(quotedKey(kVersionKey) + " is missing or not a number from 1 up");
    if (version->get<std::uint64_t>() > kCompanionVersion) {
        return fault(CompanionFault::Kind::NewerVersion,
                     "version " + version->dump() + " of the format; this program reads up to " +
                         std::to_string(kCompanionVersion));
    }

    const auto count = root.find(kPartCountKey);
    const std::optional<std::int64_t> storedCount =
        count == root.end() ? std::nullopt : wholeNumber(*count, 0, INT32_MAX);
    if (!storedCount)
        return damaged(quotedKey(kPartCountKey) + " is missing or not a number from 0 up");
    const auto parts = root.find(kPartsKey);
    if (parts == root.end() || !parts->is_array())
        return damaged(quotedKey(kPartsKey) + " is missing or not a list");
    if (static_cast<std::int64_t>(parts->size()) != *storedCount) {
        return damaged(quotedKey(kPartCountKey) + " is " + std::to_string(*storedCount) + " but " +
                       quotedKey(kPartsKey) + " lists " + std::to_string(parts->size()));
    }

    CompanionSettings settings;
    for (std::size_t i = 0; i < parts->size(); ++i) {
        const Json& part = (*parts)[i];
        const std::string where = "part " + std::to_string(i + 1) + ": ";
        if (!part.is_object())
            return damaged(where + "not an object");
        const std::optional<bool> pedals = switchOf(part, kPedalsKey);
        const std::optional<bool> wheels = switchOf(part, kWheelsKey);
        if (!pedals || !wheels) {
            return damaged(where + quotedKey(pedals ? kWheelsKey : kPedalsKey) +
                           " is neither true nor false");
        }
        settings.parts.push_back({*pedals, *wheels});
    }
    if (auto wrong = readPanic(root, settings.panic))
        return damaged(std::move(*wrong));

    if (*storedCount != partCount) {
        return fault(CompanionFault::Kind::PartCountMismatch,
                     "settings for " + std::to_string(*storedCount) +
                         " parts; the arrangement has " + std::to_string(partCount));
    }
    return {std::move(settings), std::nullopt};
}

CompanionReadResult readCompanionFile(const std::string& arrangementPath, int partCount) {
    const std::string path = companionPath(arrangementPath);
    std::error_code ec;
    // A name that leads nowhere (a dangling link included) is no file: the defaults, unsaid.
    if (!std::filesystem::exists(path, ec) && !ec)
        return {};
    const InputFileBytes read = readInputFile(path, input_limits::kCompanionBytes);
    if (read.error)
        return fault(CompanionFault::Kind::CannotRead, read.error->detail);
    return decodeCompanion(read.bytes, partCount);
}

}  // namespace tarvelo
