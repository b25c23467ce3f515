#include "midi/device_roster.h"

#include <algorithm>

namespace tarvelo {

void DeviceRoster::reset(std::vector<std::string> names) {
    names_ = std::move(names);
    present_.assign(names_.size(), true);
    everListed_.assign(names_.size(), true);
}

std::vector<DeviceChange> DeviceRoster::update(const std::vector<std::string>& listed) {
    std::vector<DeviceChange> changes;
    std::vector<bool> seen(names_.size(), false);
    for (const std::string& name : listed) {
        std::size_t i = 0;
        while (i < names_.size() && (seen[i] || names_[i] != name))
            ++i;
        if (i == names_.size()) {
            names_.push_back(name);
            present_.push_back(true);
            everListed_.push_back(true);
            seen.push_back(true);
            changes.push_back({DeviceChangeKind::Arrived, static_cast<int>(i)});
            continue;
        }
        seen[i] = true;
        if (!present_[i]) {
            present_[i] = true;
            changes.push_back(
                {everListed_[i] ? DeviceChangeKind::Returned : DeviceChangeKind::Appeared,
                 static_cast<int>(i)});
            everListed_[i] = true;
        }
    }
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (present_[i] && !seen[i]) {
            present_[i] = false;
            changes.push_back({DeviceChangeKind::Left, static_cast<int>(i)});
        }
    }
    std::sort(changes.begin(), changes.end(),
              [](const DeviceChange& a, const DeviceChange& b) { return a.index < b.index; });
    return changes;
}

int DeviceRoster::addAbsent(std::string_view name) {
    const int known = find(name);
    if (known >= 0)
        return known;
    names_.emplace_back(name);
    present_.push_back(false);
    everListed_.push_back(false);
    return size() - 1;
}

int DeviceRoster::find(std::string_view text) const {
    const auto it = std::find(names_.begin(), names_.end(), text);
    return it == names_.end() ? -1 : static_cast<int>(it - names_.begin());
}

bool DeviceRoster::present(int index) const {
    return index >= 0 && index < size() && present_[static_cast<std::size_t>(index)];
}

std::string DeviceRoster::name(int index) const {
    if (index < 0 || index >= size())
        return {};
    return names_[static_cast<std::size_t>(index)];
}

}  // namespace tarvelo
