#include "midi/backends/alsa/port_names.h"

#include <algorithm>
#include <cctype>

namespace tarvelo::rtmidi {

namespace {

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Length of the run of digits that ends at end (exclusive).
std::size_t digitsBefore(std::string_view s, std::size_t end) {
    std::size_t n = 0;
    while (n < end && isDigit(s[end - 1 - n]))
        ++n;
    return n;
}

}  // namespace

std::string stablePortName(std::string_view reported, PortNaming naming) {
    if (naming != PortNaming::AlsaSequencer)
        return std::string(reported);
    // Strip a trailing " <client>:<port>".
    std::size_t end = reported.size();
    const std::size_t portDigits = digitsBefore(reported, end);
    if (portDigits == 0)
        return std::string(reported);
    end -= portDigits;
    if (end == 0 || reported[end - 1] != ':')
        return std::string(reported);
    --end;
    const std::size_t clientDigits = digitsBefore(reported, end);
    if (clientDigits == 0)
        return std::string(reported);
    end -= clientDigits;
    if (end == 0 || reported[end - 1] != ' ')
        return std::string(reported);
    return std::string(reported.substr(0, end - 1));
}

bool isOwnPort(std::string_view name, std::string_view clientName) {
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos)
        return false;
    const std::string_view client = name.substr(0, colon);
    if (client == clientName)
        return true;
    if (client.size() <= clientName.size() + 1 ||
        client.substr(0, clientName.size()) != clientName || client[clientName.size()] != '-') {
        return false;
    }
    const std::string_view suffix = client.substr(clientName.size() + 1);
    return std::all_of(suffix.begin(), suffix.end(), isDigit);
}

std::vector<PortEntry> devicesFromPorts(const std::vector<std::string>& reported, PortNaming naming,
                                        std::string_view clientName) {
    std::vector<PortEntry> devices;
    for (std::size_t i = 0; i < reported.size(); ++i) {
        const std::string base = stablePortName(reported[i], naming);
        if (isOwnPort(base, clientName))
            continue;
        std::string name = base;
        const auto taken = [&devices](const std::string& candidate) {
            return std::any_of(devices.begin(), devices.end(),
                               [&candidate](const PortEntry& e) { return e.name == candidate; });
        };
        for (int n = 2; taken(name); ++n)
            name = base + " (" + std::to_string(n) + ")";
        devices.push_back(PortEntry{std::move(name), static_cast<unsigned int>(i)});
    }
    return devices;
}

}  // namespace tarvelo::rtmidi
