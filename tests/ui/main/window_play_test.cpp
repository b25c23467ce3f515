// Notes played on the real window: clicks on the keyboard picture, Shift-held mouse notes and the
// computer keyboard with the hook box on and off.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

#include "ui/controls/in_edit.h"
#include "ui/main/property_panel.h"
#include "window_input_fixture.h"

namespace tarvelo::ui {
namespace {

using Messages = std::vector<PackedMessage>;
using testing::WindowInputTest;

class MousePlay : public WindowInputTest {};

TEST_F(MousePlay, AKeyClickPlaysThroughTheBandUnderTheMouse) {
    splitAt({60});
    session().setNoteShift(1, 12);
    session().setChannel(1, 1);
    moveToDevice(1, 1);

    pressKey(64);
    EXPECT_EQ(sent("Out1"), Messages{packMessage(0x91, 76, 0x7F)});
    EXPECT_TRUE(keyboardView(w())->keyPressed(64)) << "the key shown is the key pressed";
    releaseKey(64);
    EXPECT_EQ(sent("Out1"), (Messages{packMessage(0x91, 76, 0x7F), packMessage(0x81, 76, 0x7F)}));
    EXPECT_FALSE(keyboardView(w())->keyPressed(64));
    EXPECT_TRUE(sent("Out0").empty());
    EXPECT_FALSE(modified());
}

TEST_F(MousePlay, ShiftKeepsMouseNotesUntilShiftIsReleased) {
    pressKey(60);
    releaseKey(60, Qt::ShiftModifier);
    pressKey(64);
    releaseKey(64, Qt::ShiftModifier);
    EXPECT_EQ(sent("Out0"), (Messages{packMessage(0x90, 60, 0x7F), packMessage(0x90, 64, 0x7F)}));

    // The Shift release ends both, newest first, and still reaches the window.
    sendKey(QEvent::KeyRelease, Qt::Key_Shift);
    EXPECT_EQ(sent("Out0"), (Messages{packMessage(0x90, 60, 0x7F), packMessage(0x90, 64, 0x7F),
                                      packMessage(0x80, 64, 0x7F), packMessage(0x80, 60, 0x7F)}));
    EXPECT_FALSE(keyboardView(w())->keyPressed(60));
}

class KeyboardHook : public WindowInputTest {
  protected:
    void hookOn() {
        QTest::mouseClick(keyboardHookBox(w()), Qt::LeftButton);
        ASSERT_TRUE(keyboardHookBox(w())->isChecked());
    }
};

TEST_F(KeyboardHook, StartsOffAndLeavesKeysToTheWidgets) {
    EXPECT_FALSE(keyboardHookBox(w())->isChecked());
    QLineEdit* name = panel(w())->nameEdit();
    name->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), name);
    name->selectAll();
    QTest::keyClicks(name, "vb");
    EXPECT_EQ(parts().partAt(0).name, "vb");
    EXPECT_TRUE(sent("Out0").empty());
}

TEST_F(KeyboardHook, HeldKeyPlaysOneNoteDespiteAutoRepeat) {
    hookOn();
    sendKey(QEvent::KeyPress, Qt::Key_V);
    for (int i = 0; i < 3; ++i) {
        sendKey(QEvent::KeyRelease, Qt::Key_V, Qt::NoModifier, true);
        sendKey(QEvent::KeyPress, Qt::Key_V, Qt::NoModifier, true);
    }
    EXPECT_EQ(sent("Out0"), Messages{packMessage(0x90, 60, 0x7F)});
    EXPECT_TRUE(keyboardView(w())->keyPressed(60));
    sendKey(QEvent::KeyRelease, Qt::Key_V);
    EXPECT_EQ(sent("Out0"), (Messages{packMessage(0x90, 60, 0x7F), packMessage(0x80, 60, 0x7F)}));
    EXPECT_FALSE(keyboardView(w())->keyPressed(60));
}

TEST_F(KeyboardHook, KeysPlayThroughThePartThatOwnsTheirNote) {
    splitAt({60});
    session().setChannel(1, 2);
    session().setNoteShift(1, -12);
    moveToDevice(1, 1);
    hookOn();
    QTest::keyClick(&w(), Qt::Key_V);  // 60
    QTest::keyClick(&w(), Qt::Key_C);  // 59
    EXPECT_EQ(sent("Out1"), (Messages{packMessage(0x92, 48, 0x7F), packMessage(0x82, 48, 0x7F)}));
    EXPECT_EQ(sent("Out0"), (Messages{packMessage(0x90, 59, 0x7F), packMessage(0x80, 59, 0x7F)}));
}

TEST_F(KeyboardHook, TakesEveryKeyButAltCombinationsAndEnterInACommitEdit) {
    QLineEdit* name = panel(w())->nameEdit();
    name->setFocus();
    hookOn();
    name->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), name);
    QTest::keyClicks(name, "fj3");  // keys that play nothing are taken all the same
    QTest::keyClick(name, Qt::Key_Tab);
    EXPECT_EQ(parts().partAt(0).name, "Part1");
    EXPECT_EQ(name->text(), "Part1");
    EXPECT_EQ(QApplication::focusWidget(), name) << "Tab was taken too";
    EXPECT_FALSE(modified());
    EXPECT_TRUE(sent("Out0").empty());

    // Alt+V is the window's, not a note.
    QTest::keyClick(name, Qt::Key_V, Qt::AltModifier);
    EXPECT_TRUE(sent("Out0").empty());

    // Enter still commits a panel edit.
    CInEdit* channel = panel(w())->channelEdit();
    channel->setFocus();
    channel->setText("5");
    QTest::keyClick(channel, Qt::Key_Return);
    EXPECT_EQ(parts().partAt(0).channel, 4);
    EXPECT_TRUE(w().isVisible()) << "Enter did not reach the exit button";
}

TEST_F(KeyboardHook, TurningTheHookOffOrLeavingTheWindowEndsHeldNotes) {
    hookOn();
    sendKey(QEvent::KeyPress, Qt::Key_V);
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(&w(), &deactivate);
    EXPECT_EQ(sent("Out0"), (Messages{packMessage(0x90, 60, 0x7F), packMessage(0x80, 60, 0x7F)}));

    // The same key plays again at once: it is no longer marked held.
    sendKey(QEvent::KeyPress, Qt::Key_V);
    EXPECT_EQ(sent("Out0").size(), 3u);
    QTest::mouseClick(keyboardHookBox(w()), Qt::LeftButton);
    EXPECT_FALSE(keyboardHookBox(w())->isChecked());
    EXPECT_EQ(sent("Out0").back(), packMessage(0x80, 60, 0x7F));
    // With the hook off the release is the window's and sends nothing.
    sendKey(QEvent::KeyRelease, Qt::Key_V);
    EXPECT_EQ(sent("Out0").size(), 4u);
}

TEST_F(KeyboardHook, ShiftReleaseEndsMouseNotesWithTheHookOn) {
    hookOn();
    pressKey(67);
    releaseKey(67, Qt::ShiftModifier);
    sendKey(QEvent::KeyRelease, Qt::Key_Shift);
    EXPECT_EQ(sent("Out0"), (Messages{packMessage(0x90, 67, 0x7F), packMessage(0x80, 67, 0x7F)}));
}

}  // namespace
}  // namespace tarvelo::ui
