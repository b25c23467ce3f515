#pragma once

#include <deque>
#include <vector>

#include "midi/midi_device_set.h"
#include "midi/owner_mailbox.h"
#include "session/session_host.h"
#include "support/scripted_message_boxes.h"

namespace tarvelo::testing {

// Collects what an owner mailbox delivers, for tests that drain it themselves.
struct RecordingVisitor : MailboxVisitor {
    std::vector<PackedMessage> notes;
    std::vector<PackedMessage> played;
    std::vector<LongMessageToken> completions;
    int serverLost = 0;
    int devicesChanged = 0;
    void onMidiNote(PackedMessage m) override { notes.push_back(m); }
    void onLongMessageDone(LongMessageToken t) override { completions.push_back(t); }
    void onServerLost() override { ++serverLost; }
    void onDevicesChanged() override { ++devicesChanged; }
};

// A live session's owner for tests: records the notes received and played, lost servers and device
// changes it is told of, keeps the posted initial-message notices until the test hands them back,
// answers boxes from a script.
struct RecordingHost : SessionHost {
    void noteReceived(PackedMessage m) override { notes.push_back(m); }
    void notePlayed(PackedMessage m) override { played.push_back(m); }
    void serverLost() override { ++serverLosses; }
    void serverBack() override { ++serverReturns; }
    void devicesChanged(const DeviceListChanges& c) override { changes.push_back(c); }
    void postInitSent(int part) override { posted.push_back(part); }
    void songChanged(int index, std::chrono::microseconds) override { songs.push_back(index); }
    MessageBoxes& messageBoxes() override { return boxes; }

    ScriptedMessageBoxes boxes;
    std::vector<PackedMessage> notes;
    std::vector<PackedMessage> played;
    int serverLosses = 0;
    int serverReturns = 0;
    std::vector<DeviceListChanges> changes;
    std::vector<int> songs;  // songChanged, in order
    std::deque<int> posted;
};

}  // namespace tarvelo::testing
