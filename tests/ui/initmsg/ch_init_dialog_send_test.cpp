// A whole editor run as the main window makes it: edit in the modal dialog, close it, and send the
// part's list to its device.
#include <gtest/gtest.h>

#include <QTimer>

#include "init_dialog_fixture.h"
#include "midi/initial_message_sender.h"
#include "midi/packed_message.h"
#include "ui/initmsg/init_message_text.h"

namespace tarvelo::ui::initmsg_test {
namespace {

// The owner's side of the sender: notices and completions are handed back until nothing is left.
class EditAndSendTest : public InitDialogTest, public InitialMessageHost, public MailboxVisitor {
  protected:
    void postInitSent(int part) override { posted.push_back(part); }
    PartList& partList() override { return rig.parts; }
    MessageBoxes& messageBoxes() override { return boxes; }
    void onMidiNote(PackedMessage) override {}
    void onLongMessageDone(LongMessageToken token) override { sender.onLongMessageDone(token); }
    void onServerLost() override {}

    void settle() {
        for (;;) {
            rig.mailbox.drain(*this);
            if (posted.empty()) {
                return;
            }
            const int part = posted.front();
            posted.erase(posted.begin());
            finished.push_back(part);
            sender.onInitSent(part);
        }
    }

    // One run of the editor for Part part, `edits` made while it is open, then the send that
    // follows the close.
    void runEditorAndSend(int part, const std::function<void()>& edits) {
        dialog->SetPart(rig.parts, part);
        QTimer::singleShot(0, dialog.get(), [this, edits] {
            edits();
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        });
        dialog->exec();
        ASSERT_FALSE(dialog->isVisible());
        rig.backend.clearRecords();
        sender.sendInitialMessages(part);
        settle();
    }

    InitialMessageSender sender{*this};
    std::vector<int> posted;
    std::vector<int> finished;
};

TEST_F(EditAndSendTest, WhatWasEditedReachesThePartsDeviceAfterTheClose) {
    rig.parts.partAt(0).channel = 2;
    runEditorAndSend(0, [this] {
        choose(dialog->typeCombo(), kProgramChange);
        doubleClickCell(0, kColumnData1);
        typeAndCommit("5 #strings");
        choose(dialog->typeCombo(), kSystemExclusive);
        doubleClickCell(1, kColumnData2);
        typeAndCommit("F0 7E 7F 09 01 F7");
        choose(dialog->typeCombo(), kControlChange);
        choose(dialog->controllerCombo(), 7);
        doubleClickCell(2, kColumnData2);
        typeAndCommit("64");
        // The last message was typed in error; it goes again.
        choose(dialog->typeCombo(), kNoteOn);
        selectRows({3});
        QTest::keyClick(list(), Qt::Key_Delete);
    });

    EXPECT_EQ(
        rig.backend.shortMessages("Out0"),
        (std::vector<PackedMessage>{packMessage(0xC2, 0x05, 0xFF), packMessage(0xB2, 7, 100)}));
    EXPECT_EQ(rig.backend.longMessages("Out0"),
              (std::vector<std::vector<std::uint8_t>>{{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}}));
    EXPECT_EQ(finished, (std::vector<int>{0}));
    EXPECT_GT(modifiedCount, 0);
}

TEST_F(EditAndSendTest, ClosingWithoutChangesSendsTheListAgain) {
    messages().append(makeMessage(0, 0x90, 60, 100));
    runEditorAndSend(0, [] {});
    EXPECT_EQ(rig.backend.shortMessages("Out0"),
              (std::vector<PackedMessage>{packMessage(0x90, 60, 100)}));
    EXPECT_EQ(modifiedCount, 0);
}

}  // namespace
}  // namespace tarvelo::ui::initmsg_test
