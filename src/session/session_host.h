#pragma once

#include <chrono>

#include "midi/packed_message.h"

namespace tarvelo {

class MessageBoxes;
struct DeviceListChanges;

// What the owner of a LiveSession (the main window, the headless runner) does for it. Every
// function is called on the user-interface thread, from inside a session operation or from
// LiveSession's mailbox drain.
class SessionHost {
  public:
    virtual ~SessionHost() = default;

    // A note off or note on as the input received it, untransposed (for the keyboard picture).
    virtual void noteReceived(PackedMessage message) = 0;

    // A note off or note on played from this thread (LiveSession::notePlayer), with the key as
    // played, untransposed (for the keyboard picture).
    virtual void notePlayed(PackedMessage /*message*/) {}

    // The backend's server went away; the devices stay silent. Reported once per loss.
    virtual void serverLost() = 0;

    // The backend reached a server again after a loss: the devices the arrangement uses are open
    // again and their Parts' initial messages on their way. Reported once per return.
    virtual void serverBack() = 0;

    // Devices left, came back or arrived (by index, see MidiDeviceSet::refresh); the session has
    // already closed what left and reopened what came back. The changes a lost server and its
    // return bring are not reported here: serverLost and serverBack say it once.
    virtual void devicesChanged(const DeviceListChanges& changes) = 0;

    // Part part's initial messages have all been sent. The host hands the notice back through
    // LiveSession::initialMessagesSent later, from its own event loop, never from inside this
    // call; notices come back in the order they were posted.
    virtual void postInitSent(int part) = 0;

    // The session wants LiveSession::followDevices() called again within interval although no
    // change was announced (a device waits for its connection, the graph is settling, the server
    // is away); zero: only on notices. Said whenever the wish changes.
    virtual void followUpWanted(std::chrono::milliseconds /*interval*/) {}

    // Every output a Part or the target uses was just silenced (LiveSession::panic), asked for
    // by the owner or by the input's panic controller.
    virtual void panicked() {}

    // Where the session's boxes go (a device named in a file is missing, an unknown initial
    // message).
    virtual MessageBoxes& messageBoxes() = 0;

    // The song played now changed (a set list: the input, the window or a signal switched), and
    // the session now shows and edits song index (parts(), currentSong()). `took` is the owner's
    // share of the switch: from the switch noticed until the new song's devices were open and its
    // initial messages on their way.
    virtual void songChanged(int /*index*/, std::chrono::microseconds /*took*/) {}

    // Message `index` of Part part's initial messages was not sent: as `message` it is no valid
    // short MIDI message (see shortMessageFault). The list goes on with the next one.
    virtual void reportUnsendable(int /*part*/, int /*index*/, PackedMessage /*message*/,
                                  ShortMessageFault /*fault*/) {}
};

}  // namespace tarvelo
