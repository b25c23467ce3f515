#include "midi/owner_mailbox.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvelo {
namespace {

struct Collect final : MailboxVisitor {
    void onMidiNote(PackedMessage m) override { notes.push_back(m); }
    void onLongMessageDone(LongMessageToken t) override { done.push_back(t); }
    void onServerLost() override {}
    std::vector<PackedMessage> notes;
    std::vector<LongMessageToken> done;
};

// A window that paints at its own pace is woken by the first note only; the notes that follow
// queue without a wake-up until it re-arms, and completions always wake it.
TEST(OwnerMailbox, NotesWakeTheOwnerOnlyOnTheEdgeItArmed) {
    OwnerMailbox mailbox;
    Collect seen;
    mailbox.postNote(packMessage(0x90, 60, 100));
    EXPECT_TRUE(mailbox.wakeSignal().wait(0));
    EXPECT_TRUE(mailbox.drainPaced(seen));
    EXPECT_FALSE(mailbox.wakeSignal().wait(0));

    // Disarmed: notes queue silently and the next paced pass finds them.
    mailbox.postNote(packMessage(0x80, 60, 0));
    mailbox.postNote(packMessage(0x90, 62, 90));
    EXPECT_FALSE(mailbox.wakeSignal().wait(0));
    // A completion still wakes the owner at once; a pass on the owner's timer takes that wake-up
    // too, so the descriptor does not wake it again for nothing.
    mailbox.longMessageDone(7);
    EXPECT_TRUE(mailbox.wakeSignal().wait(0));
    EXPECT_TRUE(mailbox.drainPaced(seen, WakeSignal::Woken::OnItsOwn));
    EXPECT_FALSE(mailbox.wakeSignal().wait(0));
    EXPECT_EQ(seen.notes.size(), 3u);
    EXPECT_EQ(seen.done, (std::vector<LongMessageToken>{7}));

    // A pass that finds nothing re-arms; a note that slipped in before is reported, not lost.
    EXPECT_FALSE(mailbox.drainPaced(seen, WakeSignal::Woken::OnItsOwn));
    mailbox.postNote(packMessage(0x80, 62, 0));
    EXPECT_TRUE(mailbox.armNoteWake());
    EXPECT_TRUE(mailbox.drainPaced(seen));
    EXPECT_FALSE(mailbox.armNoteWake());
    mailbox.postNote(packMessage(0x90, 64, 80));
    EXPECT_TRUE(mailbox.wakeSignal().wait(0));
    mailbox.drain(seen);
    EXPECT_EQ(seen.notes.size(), 5u);
    EXPECT_EQ(mailbox.droppedNotes(), 0u);
}

TEST(OwnerMailbox, AnOwnerWithoutANoteDisplayIsNeitherWokenNorSentNotes) {
    OwnerMailbox mailbox(NoteDisplay::Off);
    Collect seen;
    for (int i = 0; i < 10000; ++i)
        mailbox.postNote(packMessage(0x90, 60, 100));
    EXPECT_FALSE(mailbox.wakeSignal().wait(0));
    mailbox.drain(seen);
    EXPECT_TRUE(seen.notes.empty());
    EXPECT_EQ(mailbox.droppedNotes(), 0u);
}

}  // namespace
}  // namespace tarvelo
