#pragma once

#include <cstddef>
#include <vector>

#include "model/initial_message.h"

namespace tarvelo {

// A Part's initial messages in sending order (also the order of the editor's rows). Messages are
// values: replacing or removing one frees its exclusive bytes, swapping moves them along.
class InitialMessageList {
  public:
    int count() const { return static_cast<int>(messages_.size()); }
    bool empty() const { return messages_.empty(); }

    // The message at index, or null when index is outside 0..count-1.
    const InitialMessage* at(int index) const {
        return inRange(index) ? &messages_[static_cast<std::size_t>(index)] : nullptr;
    }
    InitialMessage* at(int index) {
        return inRange(index) ? &messages_[static_cast<std::size_t>(index)] : nullptr;
    }

    void append(InitialMessage message) { messages_.push_back(std::move(message)); }

    // Replaces the message at index, or appends when index is not below count.
    void setOrAppend(int index, InitialMessage message) {
        if (index >= count() || index < 0) {
            append(std::move(message));
        } else {
            messages_[static_cast<std::size_t>(index)] = std::move(message);
        }
    }

    // Overwrites the message at index; an index outside the list changes nothing.
    void replace(int index, InitialMessage message) {
        if (inRange(index))
            messages_[static_cast<std::size_t>(index)] = std::move(message);
    }

    // Exchanges two messages whole; indices outside the list change nothing.
    void swap(int i, int j) {
        if (inRange(i) && inRange(j))
            std::swap(messages_[static_cast<std::size_t>(i)],
                      messages_[static_cast<std::size_t>(j)]);
    }

    void remove(int index) {
        if (inRange(index))
            messages_.erase(messages_.begin() + index);
    }

    void clear() { messages_.clear(); }

    const std::vector<InitialMessage>& messages() const { return messages_; }

    bool operator==(const InitialMessageList&) const = default;

  private:
    bool inRange(int index) const { return index >= 0 && index < count(); }

    std::vector<InitialMessage> messages_;
};

}  // namespace tarvelo
