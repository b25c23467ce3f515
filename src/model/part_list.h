#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "midi/live_router.h"
#include "midi/midi_device_set.h"
#include "midi/routing_table.h"
#include "model/initial_message_list.h"
#include "model/part.h"

namespace tarvelo {

// An index outside the Parts or lists.
class InvalidArgumentError : public std::out_of_range {
  public:
    using std::out_of_range::out_of_range;
};

// A whole arrangement as plain values, devices by index: what a file read produces once its
// device names have been looked up.
struct ArrangementContent {
    std::vector<Part> parts;
    std::vector<InitialMessageList> messageLists;  // one per Part
    int highestKey = 127;
    int lowestKey = 0;
    int nextPartNumber = 1;
    int inputDevice = 0;
    int targetPart = -1;
    int targetDevice = -1;
    std::uint8_t targetChannel = 255;
};

// The arrangement model: the Parts in ascending key order, one initial-message list per Part,
// the keyboard range, the Part-number counter, the channel-message target, the Routing table and
// the device layer. Every Part holds one use of its output device.
//
// All operations run on the user-interface thread. The Routing table, the target and the output
// handles are read concurrently by the MIDI input thread through the router this list owns.
// The model does not rebuild routes by itself: callers call rebuildRoutes() after each change.
class PartList {
  public:
    explicit PartList(MidiBackend& backend);
    ~PartList();
    PartList(const PartList&) = delete;
    PartList& operator=(const PartList&) = delete;

    // Replaces the arrangement with one Part "Part1" over low..high on output device 0, channel
    // 0. Re-lists the devices (all closed). Keeps nextPartNumber and the target fields.
    void createDefault(OwnerMailbox* owner, int lowKey, int highKey);

    // Throws InvalidArgumentError for an index outside 0..partCount-1.
    Part& partAt(int index);
    const Part& partAt(int index) const;
    InitialMessageList& messageListAt(int index);
    const InitialMessageList& messageListAt(int index) const;

    // Makes Part index the channel-message target (a snapshot of its device and channel), or
    // clears the target for an index outside the Parts (result false).
    bool setTarget(int index);

    // Divides Part index at key (lowKey < key <= highKey); the upper half is a new Part with a
    // free channel on the same device and no initial messages. Returns its index.
    int splitPart(int index, int key);

    // Merges Parts first..last into Part keep (first <= keep <= last). Returns first.
    int joinParts(int first, int last, int keep);

    // Gives Part index the keys lowKey..highKey, moving the previous Part's high key and the next
    // Part's low key along. False, and nothing changes, when that would move the first Part's low
    // key or the last Part's high key, or leave any of the three Parts without a key.
    bool setRange(int index, int lowKey, int highKey);

    // Refills the Routing table from the Parts; later Parts win where ranges overlap.
    void rebuildRoutes();

    // Replaces the whole arrangement (a file read): closes every device, takes the content,
    // opens its input, acquires every Part's output. Routes are not rebuilt.
    void adopt(ArrangementContent content);

    int partCount() const { return static_cast<int>(parts_.size()); }
    int lowestKey() const { return lowestKey_; }
    int highestKey() const { return highestKey_; }
    int nextPartNumber() const { return nextPartNumber_; }
    int targetPart() const { return target_.part(); }
    int targetDevice() const { return target_.device(); }
    std::uint8_t targetChannel() const { return target_.channel(); }
    const std::vector<Part>& parts() const { return parts_; }
    const std::vector<InitialMessageList>& messageLists() const { return messageLists_; }

    MidiDeviceSet& devices() { return devices_; }
    const MidiDeviceSet& devices() const { return devices_; }
    const RoutingTable& routes() const { return routes_; }
    OwnerMailbox* owner() const { return owner_; }

  private:
    void removePartAt(int index);
    void checkIndex(int index) const;

    std::vector<Part> parts_;
    std::vector<InitialMessageList> messageLists_;
    int highestKey_ = 127;
    int lowestKey_ = 0;
    int nextPartNumber_ = 1;
    ChannelTarget target_;
    RoutingTable routes_;
    MidiDeviceSet devices_;
    LiveRouter router_{routes_, target_, devices_};
    OwnerMailbox* owner_ = nullptr;
};

}  // namespace tarvelo
