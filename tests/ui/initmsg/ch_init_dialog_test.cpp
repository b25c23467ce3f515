#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include "init_dialog_fixture.h"
#include "ui/initmsg/init_message_text.h"

namespace tarvelo::ui::initmsg_test {
namespace {

std::vector<int> data1Order(const InitialMessageList& list) {
    std::vector<int> order;
    for (const InitialMessage& m : list.messages()) {
        order.push_back(m.data1);
    }
    return order;
}

std::vector<int> programChanges(InitialMessageList& list, int count) {
    std::vector<int> order;
    for (int i = 0; i < count; ++i) {
        list.append(makeMessage(0, 0xC0, i, -1));
        order.push_back(i);
    }
    return order;
}

TEST_F(InitDialogTest, ChoosingATypeInAnEmptyListAddsAMessageAndANewPlaceholderRow) {
    rig.session.setChannel(0, 3);
    open();
    ASSERT_EQ(list()->rowCount(), 1);
    EXPECT_TRUE(dialog->typeCombo()->isVisible());
    EXPECT_EQ(dialog->typeCombo()->geometry(), list()->cellRect(0, kColumnType));

    choose(dialog->typeCombo(), kNoteOn);

    ASSERT_EQ(messages().count(), 1);
    EXPECT_EQ(*messages().at(0), makeMessage(0, 0x90, 0x3C, 0x64));
    ASSERT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(cell(0, kColumnS), "●");
    EXPECT_EQ(cell(0, kColumnType), "Note On");
    EXPECT_EQ(cell(0, kColumnStatus), "93h");
    EXPECT_EQ(cell(0, kColumnData1), "3Ch");
    EXPECT_EQ(cell(0, kColumnData2), "64h");
    EXPECT_EQ(cell(1, kColumnType), "");
    EXPECT_EQ(dialog->typeCombo()->geometry(), list()->cellRect(1, kColumnType));
    EXPECT_EQ(dialog->typeCombo()->currentIndex(), -1);
    EXPECT_GT(modifiedCount, 0);

    // Aiming the box at the placeholder row first adds the same way.
    doubleClickCell(1, kColumnType);
    EXPECT_EQ(comboRow(), 1);
    choose(dialog->typeCombo(), kSongSelect);
    ASSERT_EQ(messages().count(), 2);
    EXPECT_EQ(*messages().at(1), makeMessage(6, 0xF3, 0, -1));
    EXPECT_EQ(cell(1, kColumnStatus), "F3h") << "no channel for a system message";
    EXPECT_EQ(list()->rowCount(), 3);
    EXPECT_EQ(dialog->typeCombo()->geometry(), list()->cellRect(2, kColumnType));
    EXPECT_EQ(comboRow(), placeholderRow());
}

TEST_F(InitDialogTest, ATypeDoubleClickRetargetsTheBoxAndAChoiceReplacesTheWholeMessage) {
    messages().append(makeSysex({0xF0, 0x41, 0xF7}));
    messages().append(makeMessage(0, 0x90, 60, 100));
    open();

    doubleClickCell(0, kColumnType);
    EXPECT_EQ(comboRow(), 0);
    EXPECT_EQ(dialog->typeCombo()->geometry(), list()->cellRect(0, kColumnType));

    choose(dialog->typeCombo(), -1);  // closed without a choice: still aimed at row 0
    EXPECT_EQ(comboRow(), 0);
    EXPECT_EQ(*messages().at(0), makeSysex({0xF0, 0x41, 0xF7}));

    choose(dialog->typeCombo(), kProgramChange);
    ASSERT_EQ(messages().count(), 2);
    EXPECT_EQ(*messages().at(0), makeMessage(0, 0xC0, 0, -1)) << "bytes dropped with the old kind";
    EXPECT_EQ(*messages().at(1), makeMessage(0, 0x90, 60, 100));
    EXPECT_EQ(cell(0, kColumnType), "Program Change");
    EXPECT_EQ(cell(0, kColumnData2), "-");
    EXPECT_EQ(list()->rowCount(), 3);
    EXPECT_EQ(comboRow(), placeholderRow());
    EXPECT_EQ(dialog->typeCombo()->geometry(), list()->cellRect(2, kColumnType));
}

TEST_F(InitDialogTest, AGenericControlChangeAsksForItsControllerAndBlocksMovesUntilChosen) {
    messages().append(makeMessage(0, 0x90, 60, 100));
    open();
    doubleClickCell(1, kColumnType);
    choose(dialog->typeCombo(), kControlChange);

    ASSERT_EQ(messages().count(), 2);
    EXPECT_TRUE(dialog->controllerShown());
    EXPECT_TRUE(dialog->controllerCombo()->isVisible());
    EXPECT_FALSE(dialog->typeCombo()->isVisible());
    EXPECT_EQ(dialog->controllerCombo()->geometry(), list()->cellRect(1, kColumnData1));
    EXPECT_EQ(dialog->controllerCombo()->currentIndex(), -1);
    EXPECT_EQ(comboRow(), 1);

    // Moves, deletes and other Type cells wait for the controller.
    selectRows({1});
    QTest::mouseClick(dialog->upButton(), Qt::LeftButton);
    QTest::keyClick(list(), Qt::Key_Delete);
    doubleClickCell(0, kColumnType);
    EXPECT_EQ(data1Order(messages()), (std::vector<int>{60, 0}));
    EXPECT_EQ(comboRow(), 1);

    choose(dialog->controllerCombo(), 7);
    EXPECT_EQ(messages().at(1)->data1, 7);
    EXPECT_EQ(messages().at(0)->data1, 60);
    EXPECT_EQ(cell(1, kColumnData1), "7h");
    EXPECT_FALSE(dialog->controllerShown());
    EXPECT_FALSE(dialog->controllerCombo()->isVisible());
    EXPECT_TRUE(dialog->typeCombo()->isVisible());
    EXPECT_EQ(dialog->typeCombo()->geometry(), list()->cellRect(2, kColumnType));
    EXPECT_EQ(comboRow(), placeholderRow());

    // The Data1 cell brings the box back on the stored controller.
    doubleClickCell(1, kColumnData1);
    EXPECT_TRUE(dialog->controllerShown());
    EXPECT_EQ(dialog->controllerCombo()->currentIndex(), 7);
    EXPECT_TRUE(dialog->inPlaceEdit()->isHidden());
    choose(dialog->controllerCombo(), 10);
    EXPECT_EQ(messages().at(1)->data1, 10);

    // A new generic Control Change shows the controller last chosen, and closing applies it.
    choose(dialog->typeCombo(), kControlChange);
    EXPECT_EQ(dialog->controllerCombo()->currentIndex(), 10);
    choose(dialog->controllerCombo(), -1);
    EXPECT_EQ(messages().at(2)->data1, 10);
}

TEST_F(InitDialogTest, UpAndDownMoveSelectedBlocksButNothingPastTheEnds) {
    programChanges(messages(), 4);
    open();

    selectRows({1, 2});
    QTest::mouseClick(dialog->upButton(), Qt::LeftButton);
    EXPECT_EQ(data1Order(messages()), (std::vector<int>{1, 2, 0, 3}));
    EXPECT_EQ(list()->selectedRowsAscending(), (std::vector<int>{0, 1}));
    EXPECT_EQ(cell(0, kColumnData1), "1h");
    EXPECT_EQ(cell(2, kColumnData1), "0h");
    EXPECT_TRUE(list()->hasFocus());

    selectRows({0, 2});
    QTest::mouseClick(dialog->upButton(), Qt::LeftButton);
    EXPECT_EQ(data1Order(messages()), (std::vector<int>{1, 2, 0, 3}));

    selectRows({3});
    QTest::mouseClick(dialog->downButton(), Qt::LeftButton);
    EXPECT_EQ(data1Order(messages()), (std::vector<int>{1, 2, 0, 3}));

    selectRows({1, 2});
    QTest::mouseClick(dialog->downButton(), Qt::LeftButton);
    EXPECT_EQ(data1Order(messages()), (std::vector<int>{1, 3, 2, 0}));
    EXPECT_EQ(list()->selectedRowsAscending(), (std::vector<int>{2, 3}));

    // The placeholder row travels with nothing.
    selectRows({2, 4});
    QTest::mouseClick(dialog->upButton(), Qt::LeftButton);
    EXPECT_EQ(data1Order(messages()), (std::vector<int>{1, 2, 3, 0}));
    EXPECT_EQ(list()->rowCount(), 5);
}

TEST_F(InitDialogTest, DeleteRemovesTheSelectedMessagesAndTheRestCloseUp) {
    programChanges(messages(), 4);
    open();

    selectRows({0, 2});
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(data1Order(messages()), (std::vector<int>{1, 3}));
    ASSERT_EQ(list()->rowCount(), 3);
    EXPECT_EQ(cell(0, kColumnData1), "1h");
    EXPECT_EQ(cell(1, kColumnData1), "3h");
    EXPECT_EQ(dialog->typeCombo()->geometry(), list()->cellRect(2, kColumnType));

    const int before = modifiedCount;
    selectRows({2});
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(messages().count(), 2);
    EXPECT_GT(modifiedCount, before) << "counts as an edit all the same";
}

TEST_F(InitDialogTest, DeleteTypedInTheEditDeletesThereTooAndItsCommitStoresNothing) {
    programChanges(messages(), 3);
    open();
    doubleClickCell(1, kColumnData1);  // also selects row 1
    CInEdit* edit = dialog->inPlaceEdit();
    ASSERT_TRUE(edit->isVisible());
    ASSERT_EQ(edit->text(), "1h");
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);

    EXPECT_EQ(data1Order(messages()), (std::vector<int>{0, 2}));
    EXPECT_EQ(edit->text(), "h");
    EXPECT_EQ(dialog->editRow(), -1);
    typeAndCommit("7F");
    EXPECT_EQ(data1Order(messages()), (std::vector<int>{0, 2}));
    EXPECT_TRUE(edit->isHidden());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(InitDialogTest, AnOpenEditFollowsItsMessageWhenRowsAboveAreDeleted) {
    programChanges(messages(), 3);
    open();
    doubleClickCell(2, kColumnData2);
    selectRows({0});
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(dialog->editRow(), 1);
    EXPECT_TRUE(dialog->inPlaceEdit()->geometry().intersects(
        QRect(list()->viewport()->mapTo(dialog.get(), list()->cellRect(1, kColumnData2).topLeft()),
              list()->cellRect(1, kColumnData2).size())));
    typeAndCommit("5");
    EXPECT_EQ(messages().at(1)->data1, 2);
    EXPECT_EQ(messages().at(1)->data2, 5);
    EXPECT_EQ(messages().at(0)->data2, -1);
}

TEST_F(InitDialogTest, HexAndDecimalEntryWithComments) {
    messages().append(makeMessage(0, 0x90, 60, 100));
    open();

    doubleClickCell(0, kColumnData2);
    CInEdit* edit = dialog->inPlaceEdit();
    ASSERT_TRUE(edit->isVisible());
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->text(), "64h");
    EXPECT_EQ(edit->selectedText(), "64h");
    EXPECT_EQ(dialog->editColumn(), kColumnData2);
    typeAndCommit("7F #vol");
    EXPECT_EQ(messages().at(0)->data2, 127);
    EXPECT_EQ(cell(0, kColumnData2), "7Fh #vol");
    EXPECT_TRUE(edit->isHidden());

    QTest::mouseClick(dialog->hexCheck(), Qt::LeftButton);
    EXPECT_FALSE(dialog->hexMode());
    EXPECT_EQ(cell(0, kColumnData2), "127") << "the comment is not kept";
    EXPECT_EQ(cell(0, kColumnStatus), "144");

    doubleClickCell(0, kColumnData1);
    EXPECT_EQ(edit->text(), "60");
    typeAndCommit("1 2 3");
    EXPECT_EQ(messages().at(0)->data1, 3);
    EXPECT_EQ(cell(0, kColumnData1).trimmed(), "3");

    doubleClickCell(0, kColumnData1);
    typeAndCommit("0x10");
    EXPECT_EQ(messages().at(0)->data1, 16);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(InitDialogTest, AMessageThatIsNoValidMidiIsMarkedUntilItsByteIsMended) {
    messages().append(makeMessage(0, 0x90, 60, 0x90));
    messages().append(makeMessage(0, 0xB0, 0xC8, 0));
    open();
    const auto toolTip = [this](int row) { return list()->item(row, kColumnS)->toolTip(); };
    EXPECT_EQ(cell(0, kColumnS), "×");
    EXPECT_TRUE(toolTip(0).contains("80h")) << toolTip(0).toStdString();
    EXPECT_EQ(cell(1, kColumnS), "×");

    doubleClickCell(0, kColumnData2);
    typeAndCommit("7F");
    EXPECT_EQ(cell(0, kColumnS), "●");
    EXPECT_TRUE(toolTip(0).isEmpty());

    // Values up to FFh are still taken, and marked again.
    doubleClickCell(0, kColumnData1);
    typeAndCommit("FF");
    EXPECT_EQ(messages().at(0)->data1, 0xFF);
    EXPECT_EQ(cell(0, kColumnS), "×");

    // A controller picked from the list mends the controller byte.
    doubleClickCell(1, kColumnData1);
    choose(dialog->controllerCombo(), 7);
    EXPECT_EQ(cell(1, kColumnS), "●");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(InitDialogTest, UsesTheProportionalUiFaceAndHoldsEveryControlWhole) {
    open();
    EXPECT_FALSE(QFontInfo(dialog->font()).fixedPitch()) << dialog->font().family().toStdString();
    for (const QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || child->isHidden())
            continue;
        EXPECT_TRUE(dialog->rect().contains(child->geometry()))
            << child->metaObject()->className() << " ends at " << child->geometry().bottom();
    }
}

TEST_F(InitDialogTest, TheControllerDropDownShowsTwelveRowsNotTheWholeScreen) {
    messages().append(makeMessage(0, 0xB0, 7, 100));
    open();
    doubleClickCell(0, kColumnData1);
    CCellComboBox* combo = dialog->controllerCombo();
    ASSERT_EQ(combo->count(), 128);
    combo->showPopup();
    const QAbstractItemView* view = combo->view();
    EXPECT_EQ(view->viewport()->height() / view->sizeHintForRow(0), 12);
    combo->hidePopup();
    QCoreApplication::processEvents();
}

TEST_F(InitDialogTest, ExclusiveDataIsTypedWholeAndShownInEitherFormat) {
    open();
    choose(dialog->typeCombo(), kSystemExclusive);
    ASSERT_EQ(messages().count(), 1);
    EXPECT_EQ(cell(0, kColumnData2), "#ここにデータを入力");

    doubleClickCell(0, kColumnData2);
    QTest::keyClick(dialog->inPlaceEdit(), Qt::Key_Return);
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"無効な値です"}));
    EXPECT_TRUE(dialog->inPlaceEdit()->isVisible());

    typeAndCommit("F0 41 10 42 12 40 00 7F 00 41 F7");
    const std::vector<std::uint8_t> reset{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40,
                                          0x00, 0x7F, 0x00, 0x41, 0xF7};
    EXPECT_EQ(messages().at(0)->sysexData, reset);
    EXPECT_EQ(messages().at(0)->sysexLength, 11);
    EXPECT_EQ(cell(0, kColumnData2), "F0h 41h 10h 42h 12h 40h 0h 7Fh 0h 41h F7h  ");

    // Reopened, the stored bytes read back unchanged.
    doubleClickCell(0, kColumnData2);
    EXPECT_EQ(dialog->inPlaceEdit()->text(), "F0h 41h 10h 42h 12h 40h 0h 7Fh 0h 41h F7h  ");
    QTest::keyClick(dialog->inPlaceEdit(), Qt::Key_Return);
    EXPECT_EQ(messages().at(0)->sysexData, reset);

    // A byte out of range anywhere in the text is refused, not cut to its low eight bits.
    doubleClickCell(0, kColumnData2);
    typeAndCommit("F0 141 F7");
    EXPECT_EQ(boxes.texts().back(), "0(00h) - 255(FFh)までの値を入力してください。");
    EXPECT_EQ(messages().at(0)->sysexData, reset);
    EXPECT_EQ(dialog->inPlaceEdit()->text(), "F0 141 F7");

    QTest::mouseClick(dialog->hexCheck(), Qt::LeftButton);
    EXPECT_EQ(cell(0, kColumnData2), "240 65 16 66 18 64 0 127 0 65 247 ");
    typeAndCommit("240 0x7E 247 #short");  // the open edit now reads decimal
    EXPECT_EQ(messages().at(0)->sysexData, (std::vector<std::uint8_t>{0xF0, 0x7E, 0xF7}));
    EXPECT_EQ(cell(0, kColumnData2), "240 126 247  #short");
}

TEST_F(InitDialogTest, ParseAndRangeErrorsKeepTheEditOpenAndStoreNothing) {
    messages().append(makeMessage(0, 0x90, 60, 100));
    open();
    doubleClickCell(0, kColumnData1);
    const int before = modifiedCount;

    typeAndCommit("F0,41");
    typeAndCommit("100");
    QTest::mouseClick(dialog->hexCheck(), Qt::LeftButton);
    typeAndCommit("256");
    typeAndCommit("-5");
    typeAndCommit("1A");

    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{
                                 "無効な値です", "0(00h) - 255(FFh)までの値を入力してください。",
                                 "0(00h) - 255(FFh)までの値を入力してください。", "無効な値です",
                                 "無効な値です"}));
    for (const auto& box : boxes.shown) {
        EXPECT_EQ(box.caption, "") << "the application's title";
        EXPECT_EQ(box.buttons, MessageButtons::Ok);
    }
    EXPECT_EQ(*messages().at(0), makeMessage(0, 0x90, 60, 100));
    EXPECT_TRUE(dialog->inPlaceEdit()->isVisible());
    EXPECT_EQ(dialog->inPlaceEdit()->text(), "1A");
    EXPECT_GE(modifiedCount, before + 5);

    typeAndCommit("255");
    EXPECT_EQ(messages().at(0)->data1, 255);
}

TEST_F(InitDialogTest, DoubleClicksOutsideEditableMessageCellsChangeNothing) {
    messages().append(makeMessage(0, 0x90, 60, 100));
    open();

    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, cellCenter(3, kColumnData1));
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"No Item"}));

    doubleClickCell(0, kColumnStatus);
    for (const int column : {kColumnS, kColumnData1, kColumnData2}) {
        doubleClickCell(1, column);  // the placeholder row
    }
    EXPECT_TRUE(dialog->inPlaceEdit()->isHidden());
    EXPECT_EQ(comboRow(), placeholderRow());

    doubleClickCell(0, kColumnS);
    EXPECT_EQ(dialog->inPlaceEdit()->text(), "●");
    typeAndCommit("12");
    EXPECT_TRUE(dialog->inPlaceEdit()->isHidden());
    EXPECT_EQ(cell(0, kColumnS), "●");

    EXPECT_EQ(messages().count(), 1);
    EXPECT_EQ(*messages().at(0), makeMessage(0, 0x90, 60, 100));
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(InitDialogTest, TheWheelScrollsNothingAndScrollingKeepsTheBoxOnItsCell) {
    programChanges(messages(), 30);
    open();
    QScrollBar* bar = list()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);

    const QPoint at = cellCenter(2, kColumnStatus);
    QWheelEvent wheel(at, list()->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list()->viewport(), &wheel);
    EXPECT_EQ(bar->value(), 0);

    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar->value(), 1);
    EXPECT_EQ(dialog->typeCombo()->geometry(), list()->cellRect(30, kColumnType));
    EXPECT_EQ(list()->cellRect(30, kColumnType), list()->visualRect(list()->model()->index(30, 1)));

    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(dialog->typeCombo()->geometry(), list()->cellRect(30, kColumnType));
    EXPECT_TRUE(list()->viewport()->rect().contains(dialog->typeCombo()->geometry()));
}

TEST_F(InitDialogTest, DraggingAColumnDividerHidesTheBoxUntilTheDragEnds) {
    messages().append(makeMessage(0, 0x90, 60, 100));
    open();
    QHeaderView* header = list()->horizontalHeader();
    const int divider = header->sectionViewportPosition(1) + header->sectionSize(1) - 1;
    const int y = header->height() / 2;

    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(divider, y));
    QTest::mouseMove(header->viewport(), QPoint(divider + 20, y));
    QTest::mouseMove(header->viewport(), QPoint(divider + 40, y));
    EXPECT_FALSE(dialog->typeCombo()->isVisible());
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(divider + 40, y));

    EXPECT_EQ(header->sectionSize(1), 190);
    EXPECT_TRUE(dialog->typeCombo()->isVisible());
    EXPECT_EQ(dialog->typeCombo()->geometry(), list()->cellRect(1, kColumnType));
    EXPECT_EQ(dialog->typeCombo()->width(), 189);
}

TEST_F(InitDialogTest, EnterDoesNothingOutsideButtonsAndEveryWayOutEndsTheRun) {
    messages().append(makeMessage(0, 0x90, 60, 100));
    open();
    EXPECT_TRUE(dialog->closeButton()->hasFocus());
    QTest::keyClick(list(), Qt::Key_Return);
    QTest::keyClick(dialog->hexCheck(), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());

    QTest::keyClick(dialog->closeButton(), Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());

    open();
    QTest::keyClick(list(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());

    // The owner's modal run returns whichever way the dialog is closed.
    QTimer::singleShot(0, dialog.get(), [this] { dialog->close(); });
    dialog->SetPart(rig.session, 0);
    dialog->exec();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(messages().count(), 1);
}

TEST_F(InitDialogTest, TabVisitsTheShownControlsInLayoutOrder) {
    messages().append(makeMessage(0, 0x90, 60, 100));
    open();
    std::vector<QWidget*> visited{QApplication::focusWidget()};
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(visited, (std::vector<QWidget*>{dialog->closeButton(), list(), dialog->typeCombo(),
                                              dialog->hexCheck(), dialog->upButton(),
                                              dialog->downButton(), dialog->closeButton()}));
}

TEST_F(InitDialogTest, EachRunStartsAfreshButKeepsHexMode) {
    rig.session.split(0, 64);
    rig.session.setChannel(1, 9);
    rig.session.setName(1, "Strings");
    messages(1).append(makeMessage(0, 0x90, 60, 100));

    open(0);
    EXPECT_EQ(dialog->windowTitle(), "初期情報 (Part1,Out0,Ch0)");
    choose(dialog->typeCombo(), kControlChange);
    ASSERT_TRUE(dialog->controllerShown());
    QTest::mouseClick(dialog->hexCheck(), Qt::LeftButton);
    dialog->reject();

    open(1);
    EXPECT_EQ(dialog->windowTitle(), "初期情報 (Strings,Out0,Ch9)");
    EXPECT_FALSE(dialog->hexCheck()->isChecked());
    EXPECT_FALSE(dialog->controllerShown());
    EXPECT_EQ(comboRow(), placeholderRow());
    EXPECT_TRUE(dialog->controllerCombo()->isHidden());
    EXPECT_TRUE(dialog->typeCombo()->isVisible());
    EXPECT_EQ(cell(0, kColumnStatus), "153");
    EXPECT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(messages(0).count(), 1) << "the first part keeps its message";
}

}  // namespace
}  // namespace tarvelo::ui::initmsg_test
