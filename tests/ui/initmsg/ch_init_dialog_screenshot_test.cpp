// Pictures of the dialog for a visual check, written only when TARVELO_SCREENSHOT_DIR names a
// directory (scripts/screenshot_initmsg.sh sets it).
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QTest>

#include "init_dialog_fixture.h"
#include "ui/initmsg/init_message_text.h"

namespace tarvelo::ui::initmsg_test {
namespace {

class InitDialogScreenshot : public InitDialogTest {
  protected:
    void SetUp() override {
        directory = qEnvironmentVariable("TARVELO_SCREENSHOT_DIR");
        if (directory.isEmpty()) {
            GTEST_SKIP() << "TARVELO_SCREENSHOT_DIR is not set";
        }
        InitDialogTest::SetUp();
        // The names the program ships with.
        ASSERT_TRUE(reference.LoadMidiMessageReference(TARVELO_SOURCE_DIR "/data/midi_msg.mdr"));
        ASSERT_TRUE(reference.LoadControlChangeReference(TARVELO_SOURCE_DIR "/data/cc.mdr"));
        QDir().mkpath(directory);
    }

    void save(const QString& name) {
        QCoreApplication::processEvents();
        const QString path = QDir(directory).filePath(name);
        ASSERT_TRUE(dialog->grab().save(path)) << path.toStdString();
    }

    QString directory;
};

TEST_F(InitDialogScreenshot, MixedListInBothNumberModes) {
    rig.session.setChannel(0, 3);
    InitialMessageList& list = messages();
    list.append(makeMessage(1, 0xB0, 0x07, 0x64));  // Volume
    list.append(makeMessage(0, 0xB0, 0x5B, 0x28));  // a controller picked from the list
    list.append(makeMessage(0, 0xC0, 0x05, -1));    // Program Change
    list.append(makeSysex({0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}));
    list.append(makeSysex({}));
    list.append(makeMessage(6, 0xF3, 0x02, -1));    // Song Select
    list.append(makeMessage(3, 0xA0, 0x3C, 0x40));  // a kind the table does not know
    list.append(makeMessage(0, 0xE0, 0x00, 0x40));  // Pitch Bend
    list.append(makeMessage(0, 0x90, 0x3C, 0x90));  // a velocity that is no MIDI data byte
    open();
    save("initmsg_hex.png");
    // The buttons' bottom edge four times enlarged, to check that no pixel row is cut off.
    const QRect corner(dialog->width() - 140, dialog->height() - 34, 140, 34);
    ASSERT_TRUE(dialog->grab(corner)
                    .toImage()
                    .scaled(560, 136, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                    .save(QDir(directory).filePath("initmsg_close_zoom.png")));

    doubleClickCell(2, kColumnData1);
    typeAndCommit("7 #piano");
    doubleClickCell(4, kColumnData2);
    save("initmsg_hex_editing.png");

    QTest::mouseClick(dialog->hexCheck(), Qt::LeftButton);
    doubleClickCell(1, kColumnData1);  // the controller list over its cell
    save("initmsg_decimal.png");

    // The controller list opened, drawn over the dialog where it appears on the screen.
    CCellComboBox* combo = dialog->controllerCombo();
    combo->showPopup();
    QCoreApplication::processEvents();
    QWidget* popup = combo->view()->window();
    const QRect dialogArea(dialog->mapToGlobal(QPoint(0, 0)), dialog->size());
    const QRect popupArea(popup->mapToGlobal(QPoint(0, 0)), popup->size());
    const QRect whole = dialogArea.united(popupArea);
    QPixmap picture(whole.size());
    picture.fill(Qt::darkGray);
    QPainter painter(&picture);
    painter.drawPixmap(dialogArea.topLeft() - whole.topLeft(), dialog->grab());
    painter.drawPixmap(popupArea.topLeft() - whole.topLeft(), popup->grab());
    painter.end();
    ASSERT_TRUE(picture.save(QDir(directory).filePath("initmsg_dropdown.png")));
    combo->hidePopup();
    QCoreApplication::processEvents();
}

}  // namespace
}  // namespace tarvelo::ui::initmsg_test
