#include "model/arrangement_json.h"

#include "model/companion_json.h"

namespace tarvelo {

namespace {

using companion_json::Json;

std::string hexBytes(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            out += ' ';
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
    return out;
}

Json messageJson(const InitialMessage& m) {
    return {
        {"type", m.type},   {"status", m.status},           {"data1", m.data1},
        {"data2", m.data2}, {"sysexLength", m.sysexLength}, {"sysexData", hexBytes(m.sysexData)}};
}

Json partJson(const StoredPart& sp, const CompanionSettings::PartSwitches* switches) {
    const Part& p = sp.part;
    Json messages = Json::array();
    for (const InitialMessage& m : sp.messages.messages())
        messages.push_back(messageJson(m));
    Json part = {{"name", p.name},           {"outputDevice", sp.outputDeviceName},
                 {"noteShift", p.noteShift}, {"channel", p.channel},
                 {"reserved", p.reserved},   {"lowKey", p.lowKey},
                 {"highKey", p.highKey},     {"messages", std::move(messages)}};
    if (switches != nullptr)
        companion_json::addSwitches(*switches, part);
    return part;
}

}  // namespace

std::string arrangementToJson(const StoredArrangement& a, const CompanionSettings* companion) {
    Json parts = Json::array();
    for (std::size_t i = 0; i < a.parts.size(); ++i) {
        const bool hasSwitches = companion != nullptr && i < companion->parts.size();
        parts.push_back(partJson(a.parts[i], hasSwitches ? &companion->parts[i] : nullptr));
    }
    Json root = {
        {"partCount", a.parts.size()},
        {"highestKey", a.highestKey},
        {"lowestKey", a.lowestKey},
        {"nextPartNumber", a.nextPartNumber},
        {"inputDevice", a.inputDeviceName},
        {"parts", std::move(parts)},
        {"target",
         {{"part", a.targetPart}, {"device", a.targetDeviceName}, {"channel", a.targetChannel}}}};
    if (companion != nullptr)
        root[companion_json::keys::kPanicKey] = companion_json::panic(companion->panic);
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace tarvelo
