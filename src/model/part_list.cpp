#include "model/part_list.h"

#include <array>

namespace tarvelo {

PartList::PartList(std::vector<Part> parts, std::vector<InitialMessageList> messageLists,
                   int lowestKey, int highestKey, int nextPartNumber, int targetPart,
                   int targetDevice, std::uint8_t targetChannel)
    : parts_(std::move(parts)),
      messageLists_(std::move(messageLists)),
      highestKey_(highestKey),
      lowestKey_(lowestKey),
      nextPartNumber_(nextPartNumber),
      targetPart_(targetPart),
      targetDevice_(targetDevice),
      targetChannel_(targetChannel) {
    messageLists_.resize(parts_.size());
}

void PartList::checkIndex(int index) const {
    if (index < 0 || index >= partCount()) {
        throw InvalidArgumentError("Part index " + std::to_string(index) + " is outside 0.." +
                                   std::to_string(partCount() - 1));
    }
}

Part& PartList::partAt(int index) {
    checkIndex(index);
    return parts_[static_cast<std::size_t>(index)];
}

const Part& PartList::partAt(int index) const {
    checkIndex(index);
    return parts_[static_cast<std::size_t>(index)];
}

InitialMessageList& PartList::messageListAt(int index) {
    checkIndex(index);
    return messageLists_[static_cast<std::size_t>(index)];
}

const InitialMessageList& PartList::messageListAt(int index) const {
    checkIndex(index);
    return messageLists_[static_cast<std::size_t>(index)];
}

void PartList::createDefault(int lowKey, int highKey) {
    parts_.clear();
    messageLists_.clear();
    lowestKey_ = lowKey;
    highestKey_ = highKey;

    Part first;
    first.name = "Part1";
    first.lowKey = static_cast<std::uint8_t>(lowKey);
    first.highKey = static_cast<std::uint8_t>(highKey);
    parts_.push_back(first);
    messageLists_.emplace_back();
    panicTrigger_ = PanicTrigger{};
}

bool PartList::setTarget(int index) {
    if (index < 0 || index >= partCount()) {
        targetPart_ = -1;
        targetDevice_ = -1;
        targetChannel_ = 255;
        return false;
    }
    const Part& p = parts_[static_cast<std::size_t>(index)];
    targetPart_ = index;
    targetDevice_ = p.outputDevice;
    targetChannel_ = p.channel;
    return true;
}

int PartList::splitPart(int index, int key) {
    checkIndex(index);
    Part lower = parts_[static_cast<std::size_t>(index)];
    lower.highKey = static_cast<std::uint8_t>(key - 1);

    // The lowest channel no Part on the same device uses; 0 when all sixteen are taken.
    std::array<bool, 16> used{};
    for (const Part& p : parts_) {
        if (p.outputDevice == lower.outputDevice)
            used[p.channel & 0x0F] = true;
    }
    std::uint8_t freeChannel = 0;
    for (std::uint8_t c = 0; c < 16; ++c) {
        if (!used[c]) {
            freeChannel = c;
            break;
        }
    }

    parts_.insert(parts_.begin() + index, lower);
    messageLists_.insert(messageLists_.begin() + index + 1, InitialMessageList{});
    Part& upper = parts_[static_cast<std::size_t>(index + 1)];
    upper.channel = freeChannel;
    upper.lowKey = static_cast<std::uint8_t>(key);
    ++nextPartNumber_;
    upper.name = "Part" + std::to_string(nextPartNumber_);
    return index + 1;
}

int PartList::joinParts(int first, int last, int keep) {
    checkIndex(first);
    checkIndex(last);
    checkIndex(keep);
    Part& kept = parts_[static_cast<std::size_t>(keep)];
    kept.lowKey = parts_[static_cast<std::size_t>(first)].lowKey;
    kept.highKey = parts_[static_cast<std::size_t>(last)].highKey;
    for (int i = first; i <= last; ++i) {
        // The kept Part moves down to first as the Parts before it go.
        const int remove = i < keep ? first : i > keep ? first + 1 : -1;
        if (remove < 0)
            continue;
        parts_.erase(parts_.begin() + remove);
        messageLists_.erase(messageLists_.begin() + remove);
    }
    return first;
}

bool PartList::setRange(int index, int lowKey, int highKey) {
    checkIndex(index);
    Part& p = parts_[static_cast<std::size_t>(index)];
    if (lowKey > highKey)
        return false;
    const bool lowMoves = lowKey != p.lowKey;
    const bool highMoves = highKey != p.highKey;
    if (lowMoves && (index == 0 || lowKey <= parts_[static_cast<std::size_t>(index - 1)].lowKey))
        return false;
    if (highMoves && (index + 1 == partCount() ||
                      highKey >= parts_[static_cast<std::size_t>(index + 1)].highKey))
        return false;
    if (lowMoves) {
        p.lowKey = static_cast<std::uint8_t>(lowKey);
        parts_[static_cast<std::size_t>(index - 1)].highKey = static_cast<std::uint8_t>(lowKey - 1);
    }
    if (highMoves) {
        p.highKey = static_cast<std::uint8_t>(highKey);
        parts_[static_cast<std::size_t>(index + 1)].lowKey = static_cast<std::uint8_t>(highKey + 1);
    }
    return true;
}

}  // namespace tarvelo
