#pragma once

#include <string>
#include <vector>

#include "midi/backends/virtual/virtual_backend.h"
#include "midi/owner_mailbox.h"
#include "model/part_list.h"

namespace tarvelo::testing {

// Collects what the owner's mailbox delivers.
struct RecordingVisitor : MailboxVisitor {
    std::vector<PackedMessage> notes;
    std::vector<LongMessageToken> completions;
    int serverLost = 0;
    int devicesChanged = 0;
    void onMidiNote(PackedMessage m) override { notes.push_back(m); }
    void onLongMessageDone(LongMessageToken t) override { completions.push_back(t); }
    void onServerLost() override { ++serverLost; }
    void onDevicesChanged() override { ++devicesChanged; }
};

// A virtual MIDI system with one keyboard "In" and outputs "Out0".."Out<n-1>", and a PartList on
// it in its start-up state: the default arrangement, Part 0 the target, input 0 open.
struct VirtualRig {
    explicit VirtualRig(int outputs = 3, std::size_t logCapacity = std::size_t{1} << 18)
        : backend(logCapacity) {
        backend.addInput("In");
        backend.addInput("In2");
        for (int i = 0; i < outputs; ++i)
            backend.addOutput("Out" + std::to_string(i));
        parts.createDefault(&mailbox, 0, 127);
        parts.setTarget(0);
        parts.devices().openInput(0);
        parts.rebuildRoutes();
    }

    // Moves Part part to output device as the output device box does: release before acquire.
    void moveToDevice(int part, int device) {
        parts.devices().releaseOutput(parts.partAt(part).outputDevice);
        parts.devices().acquireOutput(device);
        parts.partAt(part).outputDevice = device;
    }

    // Part 0: keys 0..59 on device 0, channel 0. Part 1: keys 60..127 on device 1, channel 1,
    // +12. Forgets what was recorded on the way.
    void useTwoPartSplit() {
        parts.splitPart(0, 60);
        moveToDevice(1, 1);
        parts.partAt(1).noteShift = 12;
        parts.rebuildRoutes();
        backend.clearRecords();
    }

    std::vector<PackedMessage> sent(int output) const {
        return backend.shortMessages("Out" + std::to_string(output));
    }
    void play(PackedMessage m) { backend.inject(0, m); }
    RecordingVisitor drain() {
        RecordingVisitor v;
        mailbox.drain(v);
        return v;
    }

    VirtualBackend backend;
    OwnerMailbox mailbox;
    PartList parts{backend};
};

}  // namespace tarvelo::testing
