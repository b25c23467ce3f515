#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvelo {

// What became of one device when the system's list was taken again.
enum class DeviceChangeKind : std::uint8_t {
    Left,      // listed before, not now: keeps its index and name, now absent
    Returned,  // it left, and is listed again
    Appeared,  // only a file named it so far (absent from the start), and now it is listed
    Arrived,   // never seen under this name: appended
};

struct DeviceChange {
    DeviceChangeKind kind = DeviceChangeKind::Arrived;
    int index = 0;

    friend bool operator==(const DeviceChange&, const DeviceChange&) = default;
};

// The devices of one direction (inputs or outputs) as an arrangement knows them: every device
// listed since the list was last taken from scratch, by name, each at the index it first got.
// For the life of an arrangement the list only grows, so an index a Part holds always names the
// same device: one that leaves stays, absent, and a device of its name that appears later takes
// its index again. A rename is a departure of the old name and an arrival of the new one, since
// arrangement files know devices by name.
//
// User-interface thread only.
class DeviceRoster {
  public:
    // Starts from scratch: exactly these devices, all present, in this order.
    void reset(std::vector<std::string> names);

    // Compares with the system's list now and records it; returns what changed, by index.
    // Devices of the same name are matched in order, so of two identical keyboards the one
    // unplugged is the second.
    std::vector<DeviceChange> update(const std::vector<std::string>& listed);

    // A device known only by its name (a file names it, the system does not list it): appended,
    // absent, unless a device of that name is known already. Returns its index.
    int addAbsent(std::string_view name);

    // Lowest index whose name equals text byte for byte, present or not; -1 when none.
    int find(std::string_view text) const;
    // False for an index outside the list.
    bool present(int index) const;
    // Empty for an index outside the list.
    std::string name(int index) const;
    int size() const { return static_cast<int>(names_.size()); }
    const std::vector<std::string>& names() const { return names_; }

  private:
    std::vector<std::string> names_;
    std::vector<bool> present_;
    std::vector<bool> everListed_;  // false while only a file has named the device
};

}  // namespace tarvelo
