#pragma once

#include "midi/packed_message.h"

namespace tarvelo {

class MessageBoxes;

// What the owner of a LiveSession (the main window, the headless runner) does for it. Every
// function is called on the user-interface thread, from inside a session operation or from
// LiveSession's mailbox drain.
class SessionHost {
  public:
    virtual ~SessionHost() = default;

    // A note off or note on as the input received it, untransposed (for the keyboard picture).
    virtual void noteReceived(PackedMessage message) = 0;

    // The backend's server went away; the devices stay silent. Reported once per loss.
    virtual void serverLost() = 0;

    // Part part's initial messages have all been sent. The host hands the notice back through
    // LiveSession::initialMessagesSent later, from its own event loop, never from inside this
    // call; notices come back in the order they were posted.
    virtual void postInitSent(int part) = 0;

    // Where the session's boxes go (a device named in a file is missing, an unknown initial
    // message).
    virtual MessageBoxes& messageBoxes() = 0;

    // Message `index` of Part part's initial messages was not sent: as `message` it is no valid
    // short MIDI message (see shortMessageFault). The list goes on with the next one.
    virtual void reportUnsendable(int /*part*/, int /*index*/, PackedMessage /*message*/,
                                  ShortMessageFault /*fault*/) {}
};

}  // namespace tarvelo
