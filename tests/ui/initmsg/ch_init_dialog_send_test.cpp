// A whole editor run as the main window makes it: edit in the modal dialog, close it, and send the
// part's list to its device.
#include <gtest/gtest.h>

#include <QTimer>

#include "init_dialog_fixture.h"
#include "midi/packed_message.h"
#include "ui/initmsg/init_message_text.h"

namespace tarvelo::ui::initmsg_test {
namespace {

class EditAndSendTest : public InitDialogTest {
  protected:
    // One run of the editor for Part part, `edits` made while it is open, then the send that
    // follows the close.
    void runEditorAndSend(int part, const std::function<void()>& edits) {
        dialog->SetPart(rig.session, part);
        QTimer::singleShot(0, dialog.get(), [this, edits] {
            edits();
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        });
        dialog->exec();
        ASSERT_FALSE(dialog->isVisible());
        rig.backend.clearRecords();
        rig.session.sendInitialMessages(part);
        rig.settle();
    }
};

TEST_F(EditAndSendTest, WhatWasEditedReachesThePartsDeviceAfterTheClose) {
    rig.session.setChannel(0, 2);
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
    EXPECT_EQ(rig.delivered, (std::vector<int>{0}));
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
