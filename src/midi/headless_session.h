#pragma once

#include <deque>
#include <iosfwd>
#include <optional>
#include <string>

#include "midi/initial_message_sender.h"
#include "midi/owner_mailbox.h"
#include "model/arrangement_file.h"
#include "model/message_boxes.h"
#include "model/part_list.h"

namespace tarvelo {

// Plays an arrangement without a window: loads it, sends every Part's initial messages, and
// routes the input until told to stop. Messages meant for boxes go to a text stream, one line
// each. Everything but the device threads runs on the thread that calls these functions.
class HeadlessSession final : private InitialMessageHost,
                              private MailboxVisitor,
                              private MessageBoxes {
  public:
    HeadlessSession(MidiBackend& backend, std::ostream& diagnostics);
    ~HeadlessSession() override;
    HeadlessSession(const HeadlessSession&) = delete;
    HeadlessSession& operator=(const HeadlessSession&) = delete;

    // Reads the file and opens its devices; a missing device is reported and device 0 used.
    // On failure nothing is opened.
    std::optional<FileError> load(const std::string& path);

    // Rebuilds the routes and starts sending the initial messages, Part 0 first.
    void start();

    // Handles whatever the devices delivered and the notices posted meanwhile, waiting up to
    // timeoutMs (-1: forever) for something to arrive. Returns false when stopFd (if not -1)
    // became readable instead.
    bool processEvents(int timeoutMs, int stopFd = -1);

    // Runs processEvents until stopFd becomes readable.
    void run(int stopFd);

    // Silences and closes every device (the input first).
    void shutdown();

    // No list is being sent or waiting, and no notice is pending.
    bool idle() const { return !sender_.busy() && !sender_.sending() && posted_.empty(); }

    PartList& parts() { return parts_; }
    const InitialMessageSender& sender() const { return sender_; }

  private:
    // InitialMessageHost
    void postInitSent(int part) override { posted_.push_back(part); }
    PartList& partList() override { return parts_; }
    MessageBoxes& messageBoxes() override { return *this; }
    // One line naming the Part and the message.
    void reportUnsendable(int part, int index, PackedMessage message,
                          ShortMessageFault fault) override;

    // MailboxVisitor
    void onMidiNote(PackedMessage) override {}
    void onLongMessageDone(LongMessageToken token) override { sender_.onLongMessageDone(token); }
    void onServerLost() override;

    // MessageBoxes: one line per box; questions are answered No.
    MessageAnswer show(std::string_view text, std::string_view caption, MessageButtons buttons,
                       MessageIcon icon) override;

    void deliverPosted();

    std::ostream& diagnostics_;
    OwnerMailbox mailbox_;  // outlives the devices, which complete long messages into it
    PartList parts_;
    InitialMessageSender sender_{*this};
    std::deque<int> posted_;
};

}  // namespace tarvelo
