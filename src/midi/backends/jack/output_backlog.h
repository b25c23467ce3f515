#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "midi/held_pedals.h"
#include "midi/packed_message.h"

namespace tarvelo::jack {

// Controllers whose message is a state that a later value of the same controller on the same
// channel fully replaces. Not: bank select (0, 32), which takes effect at the next program
// change; data entry, increment and decrement (6, 38, 96, 97) and parameter numbers (98 to 101),
// which act on the parameter chosen before them; the high-resolution velocity prefix (88), which
// belongs to the next note on; channel mode messages (120 to 127), which are commands.
constexpr bool isValueController(std::uint8_t controller) {
    switch (controller) {
        case 0:
        case 6:
        case 32:
        case 38:
        case 88:
        case 96:
        case 97:
        case 98:
        case 99:
        case 100:
        case 101:
            return false;
        default:
            return controller < 120;
    }
}

// The routed messages one output port could not write in their own cycle (its buffer was full),
// waiting to go out at the start of the following cycles. Fixed size, allocated with the port:
// the process thread never allocates, and every operation takes constant time.
//
// Up to kCapacity messages wait exactly as routed. Beyond that line something gives way, chosen
// so that every receiver still ends in the state the routed stream leaves it in:
//  - A release (note off, note on with velocity 0, pedal up: controller 64, 66 or 67 below 64)
//    is always queued. Only a redundant one is not: a note off for a channel and key whose
//    newest waiting note message is already a note off (nothing struck the key again in
//    between, so the waiting one releases it), or a pedal up while an up of that pedal is its
//    newest waiting value (that one then gives way to the newer up, as below).
//  - A value (pitch bend and channel pressure per channel, key pressure per channel and key, a
//    value controller per channel, a pedal) is always queued too. When a value of the same kind
//    waits, the newest waiting one is dropped: a pedal's newest value wins, so a pedal down
//    after a waiting up drops that up, and the newest down waiting before it, if any.
//  - A note on is dropped; any other message (program change, system message, controllers that
//    are not values) takes the place of the newest waiting note on, or is dropped without one.
// What gives way never leaves, so whatever leaves, leaves in the order it was routed: a value
// that supersedes another is queued at the back, not in the old one's place. In the old place it
// would overtake what was routed between them: a Reset All Controllers, or the note on of the
// key a key pressure is for, and undo its effect on the receiver.
//
// Why a message that must be queued always finds a free slot. Give every key of the stream a
// claim on the slots it might still need at once:
//   - a channel and key: 1 unless its newest waiting note message is a note off (once its
//     newest note on has given way, the backlog forgets what waits before it and counts 1);
//   - a pedal of a channel: 2 while nothing of it waits, 0 while its newest waiting value is an
//     up with a down waiting before it, 1 otherwise;
//   - any other value key: 1 while nothing of it waits.
// The claims add up to kReserve at most, and count + claims <= kSlots holds throughout: below
// the line a message may make count kCapacity at most, and the claims stay within kReserve;
// beyond it, every message that is queued either gives up its key's claim for the slot it
// takes (a release or value whose key has nothing to replace, and then claims >= 1, so a slot
// is free), or takes the slot of the message it drops, or (a pedal down after an up with a down
// before it) frees one slot more than it takes for the 1 it claims. Sending the front message
// frees a slot and raises its key's claim by 1 at most. Dropping the newest note on frees a slot
// and leaves its key's claim at most 1. So no release, and no value, is ever refused.
//
// Process thread only, except pending(), which any thread may read.
class OutputBacklog {
  private:
    static constexpr std::size_t kChannels = 16;
    static constexpr std::size_t kNoteKeys = kChannels * 128;
    static constexpr std::size_t kPedals = kChannels * 3;
    static constexpr std::size_t kValueControllers = [] {
        std::size_t n = 0;
        for (int c = 0; c < 128; ++c)
            n += isValueController(static_cast<std::uint8_t>(c)) ? 1 : 0;
        return n;
    }();

    // Where each kind of value has its newest waiting message in newestValue_.
    static constexpr std::size_t kPitchBends = 0;
    static constexpr std::size_t kChannelPressures = kPitchBends + kChannels;
    static constexpr std::size_t kKeyPressures = kChannelPressures + kChannels;
    static constexpr std::size_t kControllers = kKeyPressures + kNoteKeys;
    static constexpr std::size_t kValueKeys = kControllers + kChannels * 128;
    // Those a message can have: pitch bend and channel pressure, key pressure, value controllers
    // (the pedals among them).
    static constexpr std::size_t kUsedValueKeys =
        2 * kChannels + kNoteKeys + kChannels * kValueControllers;

  public:
    // Messages that wait exactly as routed: over one whole buffer's worth.
    static constexpr std::size_t kCapacity = 4096;
    // The largest sum of the claims above: one per channel and key (for its note off), two per
    // pedal, one per value key that is not a pedal.
    static constexpr std::size_t kReserve = kNoteKeys + 2 * kPedals + kUsedValueKeys - kPedals;
    static constexpr std::size_t kSlots = kCapacity + kReserve;

    OutputBacklog() noexcept {
        for (std::size_t i = 0; i < kSlots; ++i)
            nodes_[i].next = static_cast<std::uint16_t>(i + 1 < kSlots ? i + 1 : kNone);
        newestNote_.fill(kNone);
        newestValue_.fill(kNone);
        newestDown_.fill(kNone);
    }

    bool empty() const noexcept { return count_ == 0; }

    // Any thread: messages waiting. Release, so that once it reads 0 (acquire) the process
    // thread has written the last of them.
    std::size_t pending() const noexcept { return published_.load(std::memory_order_acquire); }

    const PackedMessage& front() const noexcept { return nodes_[head_].message; }
    void popFront() noexcept {
        const std::uint16_t node = head_;
        const Keys keys = keysOf(nodes_[node].message);
        if (keys.role == Role::NoteOn)
            noteOns_.popFront();
        remove(node, keys);
        publish();
    }

    struct Pushed {
        bool queued = false;
        // Messages routed here that will now never leave: the newcomer when it is not queued,
        // the waiting ones it superseded or took the place of.
        std::uint32_t lost = 0;
    };

    // Queues message behind the others, making room beyond the line as described above.
    Pushed push(PackedMessage message) noexcept {
        const Keys keys = keysOf(message);
        if (count_ < kCapacity)
            return append(message, keys, 0);
        switch (keys.role) {
            case Role::NoteOn:
                return {false, 1};
            case Role::NoteRelease:
                if (isNoteRelease(newestNote_[keys.note]))
                    return {false, 1};
                return append(message, keys, 0);
            case Role::PedalUp:
                if (isPedalUp(newestValue_[keys.value])) {
                    remove(newestValue_[keys.value], keys);
                    return append(message, keys, 1);
                }
                return append(message, keys, 0);
            case Role::PedalDown:
                if (isPedalUp(newestValue_[keys.value]) && newestDown_[keys.pedal] != kNone) {
                    remove(newestValue_[keys.value], keys);
                    remove(newestDown_[keys.pedal], keys);
                    return append(message, keys, 2);
                }
                [[fallthrough]];
            case Role::Value:
                if (newestValue_[keys.value] != kNone) {
                    remove(newestValue_[keys.value], keys);
                    return append(message, keys, 1);
                }
                return append(message, keys, 0);
            case Role::Other:
                break;
        }
        if (noteOns_.empty())
            return {false, 1};
        const std::uint16_t noteOn = noteOns_.popBack();
        remove(noteOn, keysOf(nodes_[noteOn].message));
        return append(message, keys, 1);
    }

  private:
    static constexpr std::uint16_t kNone = 0xFFFF;
    static_assert(kSlots < kNone, "slot numbers are 16-bit");
    static_assert((kCapacity & (kCapacity - 1)) == 0, "the note-on ring wraps by mask");

    enum class Role : std::uint8_t { NoteOn, NoteRelease, PedalDown, PedalUp, Value, Other };

    // A message's place in the tables (kNone where it has none).
    struct Keys {
        Role role = Role::Other;
        std::uint16_t note = kNone;   // newestNote_
        std::uint16_t value = kNone;  // newestValue_
        std::uint16_t pedal = kNone;  // newestDown_
    };

    static Keys keysOf(PackedMessage m) noexcept {
        const std::uint8_t status = statusOf(m);
        const auto channel = static_cast<std::size_t>(status & 0x0F);
        const auto data1 = static_cast<std::uint8_t>(data1Of(m) & 0x7F);
        const std::uint8_t data2 = data2Of(m);
        const auto at = [](std::size_t index) { return static_cast<std::uint16_t>(index); };
        switch (status & 0xF0) {
            case 0x80:
                return {Role::NoteRelease, at(channel * 128 + data1)};
            case 0x90:
                return {data2 == 0 ? Role::NoteRelease : Role::NoteOn, at(channel * 128 + data1)};
            case 0xA0:
                return {Role::Value, kNone, at(kKeyPressures + channel * 128 + data1)};
            case 0xB0: {
                const std::uint16_t value = at(kControllers + channel * 128 + data1);
                if (isPedalController(data1)) {
                    const std::size_t pedal =
                        data1 == kSustainPedal ? 0 : (data1 == kSostenutoPedal ? 1 : 2);
                    return {isPedalDown(data2) ? Role::PedalDown : Role::PedalUp, kNone, value,
                            at(channel * 3 + pedal)};
                }
                if (isValueController(data1))
                    return {Role::Value, kNone, value};
                return {};
            }
            case 0xD0:
                return {Role::Value, kNone, at(kChannelPressures + channel)};
            case 0xE0:
                return {Role::Value, kNone, at(kPitchBends + channel)};
            default:
                return {};
        }
    }

    bool isNoteRelease(std::uint16_t node) const noexcept {
        return node != kNone && keysOf(nodes_[node].message).role == Role::NoteRelease;
    }
    bool isPedalUp(std::uint16_t node) const noexcept {
        return node != kNone && keysOf(nodes_[node].message).role == Role::PedalUp;
    }

    // Queues message at the back; lost: the waiting messages the caller removed for it.
    // There is always a free slot (see the class comment).
    Pushed append(PackedMessage message, const Keys& keys, std::uint32_t lost) noexcept {
        const std::uint16_t node = free_;
        free_ = nodes_[node].next;
        nodes_[node] = Node{message, tail_, kNone};
        if (tail_ == kNone)
            head_ = node;
        else
            nodes_[tail_].next = node;
        tail_ = node;
        ++count_;
        if (keys.note != kNone)
            newestNote_[keys.note] = node;
        if (keys.value != kNone)
            newestValue_[keys.value] = node;
        if (keys.role == Role::PedalDown)
            newestDown_[keys.pedal] = node;
        if (keys.role == Role::NoteOn)
            noteOns_.pushBack(node);
        publish();
        return {true, lost};
    }

    // Takes node out of the order and frees its slot; the tables forget it. Keys: those of the
    // message in node, or of one of the same value or pedal.
    void remove(std::uint16_t node, const Keys& keys) noexcept {
        if (keys.note != kNone && newestNote_[keys.note] == node)
            newestNote_[keys.note] = kNone;
        if (keys.value != kNone && newestValue_[keys.value] == node)
            newestValue_[keys.value] = kNone;
        if (keys.pedal != kNone && newestDown_[keys.pedal] == node)
            newestDown_[keys.pedal] = kNone;
        const Node& n = nodes_[node];
        (n.prev == kNone ? head_ : nodes_[n.prev].next) = n.next;
        (n.next == kNone ? tail_ : nodes_[n.next].prev) = n.prev;
        nodes_[node].next = free_;
        free_ = node;
        --count_;
    }

    void publish() noexcept { published_.store(count_, std::memory_order_release); }

    struct Node {
        PackedMessage message;
        std::uint16_t prev;
        std::uint16_t next;  // in the order, or in the free list
    };

    // The waiting note ons, oldest first: the first is the next to leave, the last the first to
    // give way. There are kCapacity at most, as a note on is only queued below the line.
    class NoteOnRing {
      public:
        bool empty() const noexcept { return count_ == 0; }
        void pushBack(std::uint16_t node) noexcept {
            nodes_[(head_ + count_++) & (kCapacity - 1)] = node;
        }
        void popFront() noexcept {
            head_ = (head_ + 1) & (kCapacity - 1);
            --count_;
        }
        std::uint16_t popBack() noexcept { return nodes_[(head_ + --count_) & (kCapacity - 1)]; }

      private:
        std::array<std::uint16_t, kCapacity> nodes_{};
        std::size_t head_ = 0;
        std::size_t count_ = 0;
    };

    std::array<Node, kSlots> nodes_{};
    std::uint16_t head_ = kNone;
    std::uint16_t tail_ = kNone;
    std::uint16_t free_ = 0;
    std::size_t count_ = 0;
    // The newest waiting message of each channel and key (note on or release), of each value
    // key, and the newest waiting down of each pedal.
    std::array<std::uint16_t, kNoteKeys> newestNote_;
    std::array<std::uint16_t, kValueKeys> newestValue_;
    std::array<std::uint16_t, kPedals> newestDown_;
    NoteOnRing noteOns_;
    std::atomic<std::size_t> published_{0};
};

}  // namespace tarvelo::jack
