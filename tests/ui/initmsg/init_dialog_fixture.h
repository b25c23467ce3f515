#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "reference/midi_reference.h"
#include "support/scripted_message_boxes.h"
#include "support/virtual_rig.h"
#include "ui/controls/in_edit.h"
#include "ui/initmsg/cell_combo_box.h"
#include "ui/initmsg/ch_init_dialog.h"
#include "ui/initmsg/init_message_text.h"

namespace tarvelo::ui::initmsg_test {

// Indices of the test message table.
enum TestEntry : int {
    kNoteOn = 0,
    kControlChange = 1,
    kVolume = 2,
    kProgramChange = 3,
    kSystemExclusive = 4,
    kSongSelect = 5,
};

inline constexpr const char* kTestMessageTable =
    "# test table\n"
    "6\n"
    "Note On,0,9n,3C,64\n"
    "Control Change,0,Bn,00,00\n"
    "Volume,1,Bn,07,64\n"
    "Program Change,0,Cn,00,-\n"
    "System Exclusive,5,F0,-,-\n"
    "Song Select,6,F3,00,-\n";

inline std::string testControllerTable() {
    std::string text;
    for (int n = 0; n < 128; ++n) {
        text += "Controller " + std::to_string(n) + "," + std::to_string(n) + ",0,x\n";
    }
    return text;
}

inline InitialMessage makeMessage(int type, int status, int data1, int data2) {
    InitialMessage m;
    m.type = type;
    m.status = status;
    m.data1 = data1;
    m.data2 = data2;
    return m;
}

inline InitialMessage makeSysex(std::vector<std::uint8_t> bytes) {
    InitialMessage m = makeMessage(5, 0xF0, -1, -1);
    m.sysexLength = static_cast<std::int32_t>(bytes.size());
    m.sysexData = std::move(bytes);
    return m;
}

// A dialog on Part 0 of a virtual rig, driven by synthetic mouse and key events.
class InitDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(reference.LoadMidiMessageReferenceFromText(kTestMessageTable));
        ASSERT_TRUE(reference.LoadControlChangeReferenceFromText(testControllerTable()));
        dialog = std::make_unique<CChInitDialog>(reference, boxes);
        dialog->setModifiedCallback([this] { ++modifiedCount; });
    }

    void TearDown() override {
        if (dialog && dialog->isVisible()) {
            dialog->reject();
        }
    }

    InitialMessageList& messages(int part = 0) { return rig.session.messageList(part); }
    CChInitListCtrl* list() const { return dialog->listCtrl(); }

    void open(int part = 0) {
        dialog->SetPart(rig.session, part);
        dialog->open();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }

    QPoint cellCenter(int row, int column) const { return list()->cellRect(row, column).center(); }

    void doubleClickCell(int row, int column) {
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, cellCenter(row, column));
    }

    // Opens the drop-down, picks item (or nothing for -1) and lets the close notice arrive.
    void choose(CCellComboBox* combo, int item) {
        combo->showPopup();
        if (item >= 0) {
            QAbstractItemView* view = combo->view();
            view->setCurrentIndex(view->model()->index(item, 0));
            QTest::keyClick(view, Qt::Key_Return);
        } else {
            combo->hidePopup();
        }
        QCoreApplication::processEvents();
    }

    // Types text over the in-place edit's selection and presses Enter.
    void typeAndCommit(const QString& text) {
        CInEdit* edit = dialog->inPlaceEdit();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    void selectRows(std::initializer_list<int> rows) {
        list()->setFocus();
        list()->clearSelection();
        for (const int row : rows) {
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              cellCenter(row, 2));
        }
    }

    QString cell(int row, int column) const { return list()->cellText(row, column); }
    int placeholderRow() const { return list()->rowCount() - 1; }
    // The row the combo boxes serve, as the user sees it: the row whose cell the visible box
    // covers (the controller box's Data1 cell while a controller is chosen, else the Type cell).
    int comboRow() const {
        const bool controller = dialog->controllerCombo()->isVisible();
        const QWidget* box = controller ? static_cast<QWidget*>(dialog->controllerCombo())
                                        : static_cast<QWidget*>(dialog->typeCombo());
        for (int row = 0; row < list()->rowCount(); ++row) {
            if (box->geometry() == list()->cellRect(row, controller ? kColumnData1 : kColumnType))
                return row;
        }
        return -1;
    }

    tarvelo::testing::VirtualRig rig{2};
    MidiReference reference;
    tarvelo::testing::ScriptedMessageBoxes boxes;
    std::unique_ptr<CChInitDialog> dialog;
    int modifiedCount = 0;
};

}  // namespace tarvelo::ui::initmsg_test
