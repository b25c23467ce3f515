#pragma once

#include <string>
#include <vector>

#include "midi/backends/virtual/virtual_backend.h"
#include "session/live_session.h"
#include "support/recording_host.h"

namespace tarvelo::testing {

// A virtual MIDI system with keyboards "In" and "In2" and outputs "Out0".."Out<n-1>", and a live
// session on it in its start-up state: the default arrangement, Part 0 the target, input 0 open.
// As the session's host it keeps the posted initial-message notices until settle() hands them
// back, and answers boxes from a script.
struct VirtualRig : RecordingHost {
    explicit VirtualRig(int outputs = 3, std::size_t logCapacity = std::size_t{1} << 18)
        : backend(logCapacity) {
        backend.addInput("In");
        backend.addInput("In2");
        for (int i = 0; i < outputs; ++i)
            backend.addOutput("Out" + std::to_string(i));
        session.newArrangement();
    }

    // Part 0: keys 0..59 on device 0, channel 0. Part 1: keys 60..127 on device 1, channel 1,
    // +12. Forgets what was recorded on the way.
    void useTwoPartSplit() {
        session.split(0, 60);
        session.setOutputDevice(1, 1);
        session.setNoteShift(1, 12);
        backend.clearRecords();
    }

    std::vector<PackedMessage> sent(int output) const {
        return backend.shortMessages("Out" + std::to_string(output));
    }
    void play(PackedMessage m) { backend.inject(0, m); }

    // What the mailbox holds now, taken out without handing it to the session.
    RecordingVisitor drain() {
        RecordingVisitor v;
        session.mailbox().drain(v);
        return v;
    }

    // Runs the owner's event loop until nothing is left: completions reach the sender, posted
    // notices go back to the session one by one.
    void settle() {
        for (;;) {
            session.drain();
            if (posted.empty())
                return;
            const int part = posted.front();
            posted.pop_front();
            delivered.push_back(part);
            session.initialMessagesSent(part);
        }
    }

    const PartList& parts() const { return session.parts(); }

    VirtualBackend backend;
    std::vector<int> delivered;
    LiveSession session{backend, *this};
};

}  // namespace tarvelo::testing
