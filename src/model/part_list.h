#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/initial_message_list.h"
#include "model/panic_trigger.h"
#include "model/part.h"

namespace tarvelo {

// An index outside the Parts or lists.
class InvalidArgumentError : public std::out_of_range {
  public:
    using std::out_of_range::out_of_range;
};

// The arrangement as plain data: the Parts in ascending key order, one initial-message list per
// Part, the keyboard range, the Part-number counter and the channel-message target. Devices are
// indices into the device lists of whoever plays the arrangement; nothing here opens, counts or
// routes anything (the live session keeps those in step).
//
// A value: copying an arrangement copies its Parts and lists.
class PartList {
  public:
    // No Parts; nextPartNumber 1, no target.
    PartList() = default;

    // A loaded arrangement: the Parts and their lists as given (lists are added or dropped so
    // there is one per Part), and the stored target snapshot.
    PartList(std::vector<Part> parts, std::vector<InitialMessageList> messageLists, int lowestKey,
             int highestKey, int nextPartNumber, int targetPart, int targetDevice,
             std::uint8_t targetChannel);

    // Replaces the arrangement with one Part "Part1" over low..high on output device 0, channel
    // 0, following neither pedals nor wheels, and the panic trigger off. Keeps nextPartNumber and
    // the target fields.
    void createDefault(int lowKey, int highKey);

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

    int partCount() const { return static_cast<int>(parts_.size()); }
    int lowestKey() const { return lowestKey_; }
    int highestKey() const { return highestKey_; }
    int nextPartNumber() const { return nextPartNumber_; }
    int targetPart() const { return targetPart_; }
    int targetDevice() const { return targetDevice_; }
    std::uint8_t targetChannel() const { return targetChannel_; }
    const std::vector<Part>& parts() const { return parts_; }
    const std::vector<InitialMessageList>& messageLists() const { return messageLists_; }

    // The input controller that triggers the panic action (the companion file keeps it); off
    // again after createDefault.
    const PanicTrigger& panicTrigger() const { return panicTrigger_; }
    void setPanicTrigger(const PanicTrigger& trigger) { panicTrigger_ = trigger; }

    bool operator==(const PartList&) const = default;

  private:
    void checkIndex(int index) const;

    std::vector<Part> parts_;
    std::vector<InitialMessageList> messageLists_;
    int highestKey_ = 127;
    int lowestKey_ = 0;
    int nextPartNumber_ = 1;
    // The channel-message target: a snapshot of one Part's device and channel, not updated when
    // that Part changes or moves.
    int targetPart_ = -1;
    int targetDevice_ = -1;
    std::uint8_t targetChannel_ = 255;
    PanicTrigger panicTrigger_;
};

}  // namespace tarvelo
