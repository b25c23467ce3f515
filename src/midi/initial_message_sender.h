#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "midi/backend.h"
#include "midi/packed_message.h"
#include "model/initial_message.h"

namespace tarvelo {

class MessageBoxes;
class MidiDeviceSet;
class PartList;

// What the sender needs of the window that owns it.
class InitialMessageHost {
  public:
    virtual ~InitialMessageHost() = default;

    // User-interface thread. Tells the host that Part part's list has been sent completely. The
    // host must hand the notice back to InitialMessageSender::onInitSent later, from its own event
    // loop, never from inside this call; notices come back in the order they were posted.
    virtual void postInitSent(int part) = 0;

    // Where the box for an unknown message type goes.
    virtual MessageBoxes& messageBoxes() = 0;

    // User-interface thread. Message `index` of Part part's list was not sent: as `message` it is
    // no valid short MIDI message (see shortMessageFault). The list goes on with the next one.
    virtual void reportUnsendable(int /*part*/, int /*index*/, PackedMessage /*message*/,
                                  ShortMessageFault /*fault*/) {}
};

// Sends Parts' initial-message lists to their output devices: short messages back to back, each
// system-exclusive message as a long message whose completion the rest of the list waits for.
// A finished list is reported through InitialMessageHost::postInitSent.
//
// A list whose device is in use and listed but not yet connected is not sent (it would be lost):
// it is skipped, remembered, and counts as finished; its owner asks for it again once the device
// is connected (takeSkipped).
//
// One list is sent at a time. A request made while another list is under way (a long message in
// flight, or requests already waiting) waits its turn: requests are served in arrival order.
// A request copies the Part's list, device index and channel when it is made, so editing the
// list, joining Parts, New or loading never touches what is being sent; the bytes of the long
// message in flight stay owned here until its completion arrives.
//
// Everything runs on the user-interface thread. Completions must reach onLongMessageDone: the
// device set's owner mailbox delivers them (MailboxVisitor::onLongMessageDone). Without an owner
// a device's completions are lost and a list that reaches an exclusive message on it never ends.
class InitialMessageSender {
  public:
    static constexpr const char* kUnknownMessageText = "Unkown Message";

    // host, parts and devices must outlive the sender; the lists are read from parts, the open
    // output devices from devices.
    InitialMessageSender(InitialMessageHost& host, const PartList& parts,
                         const MidiDeviceSet& devices)
        : host_(host), parts_(&parts), devices_(devices) {}
    InitialMessageSender(const InitialMessageSender&) = delete;
    InitialMessageSender& operator=(const InitialMessageSender&) = delete;

    // Sends Part part's list, or queues it behind the list under way. True when the list was
    // finished within this call (its notice posted); false when it now waits for a long message
    // or for its turn. Throws InvalidArgumentError for a Part index outside the arrangement.
    bool sendInitialMessages(int part);

    // The same for a list sent as its song is switched to: a program change that would select
    // the program its channel has already (OutputDevice::sendSetUp) is skipped.
    bool sendForSongSwitch(int part);

    // Sends every Part's list, Part 0 first, each one after the previous Part's notice has come
    // back through onInitSent. Starting again abandons the walk over the Parts that was under
    // way (lists already requested are still sent).
    void sendAllInitialMessages();

    // The host delivers a notice posted through postInitSent.
    void onInitSent(int part);

    // Reads the lists from parts from now on (another song is played). The walk over all Parts
    // under way is abandoned, and the requests waiting their turn are dropped (they were for the
    // song before, and count as finished); the list being sent finishes.
    void switchParts(const PartList& parts);

    // A long message has completed on some device. Tokens this sender is not waiting for are
    // ignored.
    void onLongMessageDone(LongMessageToken token);

    // Set from sendAllInitialMessages until the last Part's list has been reported.
    bool sending() const { return sequence_.has_value(); }
    // A list is under way or waiting.
    bool busy() const { return current_.has_value() || !queue_.empty(); }
    // The Parts whose lists were skipped because output device was not yet connected, oldest
    // first; they are forgotten here.
    std::vector<int> takeSkipped(int device);

    // The id of the newest request (0 before the first); a request is finished once every
    // message of its list has gone out. Requests finish in the order they were made.
    std::uint64_t lastRequestId() const { return nextRequestId_ - 1; }
    bool finished(std::uint64_t requestId) const { return finishedUpTo_ >= requestId; }
    // Waiting for the completion of this token, if any.
    std::optional<LongMessageToken> tokenInFlight() const;

  private:
    struct Request {
        int part = 0;
        int device = 0;
        std::uint8_t channel = 0;
        std::vector<InitialMessage> messages;
        std::uint64_t sequence = 0;  // the walk over all Parts it belongs to; 0 for none
        std::uint64_t id = 0;        // arrival number
        bool skipKnownPrograms = false;
    };
    struct Run {
        Request request;
        std::size_t next = 0;  // the message to send next
        std::optional<LongMessageToken> inFlight;
    };
    struct PostedNotice {
        int part = 0;
        std::uint64_t sequence = 0;
    };

    // Queues a copy of Part part's list and serves the queue. True when it has been sent.
    bool request(int part, std::uint64_t sequence, bool skipKnownPrograms = false);
    // Runs the current list and then the queued ones until one waits for a completion.
    void pump();
    // Sends the current run's messages up to the next long message. True when the list is done.
    bool continueRun(Run& run);
    void finishRun(const Run& run);

    InitialMessageHost& host_;
    const PartList* parts_;
    const MidiDeviceSet& devices_;
    std::optional<Run> current_;
    std::deque<Request> queue_;
    std::deque<PostedNotice> posted_;
    struct Skipped {
        int part = 0;
        int device = 0;
    };
    std::vector<Skipped> skipped_;
    // The walk over all Parts: its id while under way.
    std::optional<std::uint64_t> sequence_;
    std::uint64_t nextSequence_ = 1;
    std::uint64_t nextRequestId_ = 1;
    std::uint64_t finishedUpTo_ = 0;  // requests are finished in arrival order
    std::uint64_t droppedUpTo_ = 0;   // requests dropped by switchParts count as finished
    LongMessageToken nextToken_ = 1;
    bool pumping_ = false;  // guards against re-entry from inside a message box
};

}  // namespace tarvelo
