// Button "ﾊﾟｰﾄ初期情報" on the real window: the editor opens on the current band, and when it
// closes that band's list goes to the band's device.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>

#include "ui/initmsg/ch_init_dialog.h"
#include "ui/main/property_panel.h"
#include "window_input_fixture.h"

namespace tarvelo::ui {
namespace {

using Messages = std::vector<PackedMessage>;
using testing::MainWindowRig;
using testing::WindowInputTest;

InitialMessage controlChange(int controller, int value) {
    InitialMessage m;
    m.type = 1;
    m.status = 0xB0;
    m.data1 = controller;
    m.data2 = value;
    return m;
}

class InitialMessageButton : public WindowInputTest {
  protected:
    // Clicks the button; while the editor runs, `inside` sees it, then it is closed by `close`.
    void runEditor(const std::function<void(CChInitDialog&)>& inside,
                   const std::function<void(CChInitDialog&)>& close) {
        CChInitDialog* editor = initialMessageEditor(w());
        ASSERT_NE(editor, nullptr);
        bool ran = false;
        QTimer::singleShot(0, editor, [&] {
            ran = true;
            inside(*editor);
            close(*editor);
        });
        QTest::mouseClick(panel(w())->initialMessagesButton(), Qt::LeftButton);
        ASSERT_TRUE(ran) << "the editor did not run";
        EXPECT_FALSE(editor->isVisible());
        MainWindowRig::settle();
    }
    static void closeButton(CChInitDialog& editor) { editor.closeButton()->click(); }
    static void escape(CChInitDialog& editor) { QTest::keyClick(&editor, Qt::Key_Escape); }
};

TEST_F(InitialMessageButton, EditsTheCurrentBandAndSendsItsListWhenClosed) {
    splitAt({60});
    session().setChannel(1, 3);
    moveToDevice(1, 2);
    session().messageList(1).append(controlChange(7, 100));
    session().messageList(0).append(controlChange(10, 64));
    clickStrip(insideBand(1));
    rig.backend.clearRecords();

    runEditor(
        [&](CChInitDialog& editor) {
            EXPECT_TRUE(editor.isVisible());
            EXPECT_EQ(editor.partIndex(), 1);
            EXPECT_TRUE(sent("Out2").empty()) << "nothing is sent while the editor is open";
        },
        closeButton);
    EXPECT_EQ(sent("Out2"), Messages{packMessage(0xB3, 7, 100)});
    EXPECT_TRUE(sent("Out0").empty()) << "only the current band's list";
    EXPECT_FALSE(modified()) << "opening and closing changes nothing";
}

TEST_F(InitialMessageButton, EveryWayOfClosingSendsTheListAgain) {
    session().messageList(0).append(controlChange(7, 90));
    runEditor([](CChInitDialog&) {}, escape);
    runEditor([](CChInitDialog&) {}, closeButton);
    EXPECT_EQ(sent("Out0"), (Messages{packMessage(0xB0, 7, 90), packMessage(0xB0, 7, 90)}));
}

TEST_F(InitialMessageButton, AnEditInTheEditorMarksTheArrangementModifiedAndIsSent) {
    session().messageList(0).append(controlChange(7, 90));
    session().messageList(0).append(controlChange(10, 64));
    runEditor(
        [](CChInitDialog& editor) {
            // Row 0 selected and deleted with the Delete key.
            editor.listCtrl()->setFocus();
            editor.listCtrl()->setRowSelected(0, true);
            QTest::keyClick(editor.listCtrl(), Qt::Key_Delete);
        },
        closeButton);
    EXPECT_TRUE(modified());
    EXPECT_NE(rig.title().find('*'), std::string::npos);
    EXPECT_EQ(session().messageList(0).count(), 1);
    EXPECT_EQ(sent("Out0"), Messages{packMessage(0xB0, 10, 64)});
}

}  // namespace
}  // namespace tarvelo::ui
