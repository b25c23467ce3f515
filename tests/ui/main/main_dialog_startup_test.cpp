#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "main_window_fixture.h"
#include "ui/controls/button_images.h"
#include "ui/controls/in_edit.h"
#include "ui/controls/stylish_button.h"
#include "ui/controls/stylish_check_button.h"
#include "ui/main/band_strip_view.h"
#include "ui/main/dialog_layout.h"
#include "ui/main/keyboard_view.h"
#include "ui/main/property_panel.h"

namespace tarvelo::ui {
namespace {

using testing::MainWindowRig;

QStringList items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

TEST(MainWindowStartUp, OpensOnANewArrangementWithPartOneSelected) {
    MainWindowRig rig;
    ASSERT_TRUE(rig.start());
    CMainDialog& w = *rig.window;

    EXPECT_TRUE(rig.boxes.shown.empty());
    EXPECT_EQ(rig.title(), "NewFile.trv - Tarvelo 1.0");
    EXPECT_FALSE(rig.modified());
    EXPECT_EQ(rig.shownFileName(), "NewFile.trv");

    const PartList& parts = rig.model.session.parts();
    ASSERT_EQ(parts.partCount(), 1);
    EXPECT_EQ(parts.partAt(0).name, "Part1");
    EXPECT_EQ(parts.partAt(0).lowKey, 0);
    EXPECT_EQ(parts.partAt(0).highKey, 127);
    EXPECT_EQ(parts.targetPart(), 0);
    EXPECT_EQ(rig.model.session.devices().inputDevice(), 0);
    EXPECT_TRUE(rig.backend.isInputOpen("In0"));
    EXPECT_TRUE(rig.backend.isOutputOpen("Out0"));

    EXPECT_EQ(rig.model.selection.entries(), std::vector<int>{0});
    EXPECT_EQ(rig.model.selection.current(), 0);
    EXPECT_FALSE(joinButton(w)->isEnabled());
    EXPECT_FALSE(splitButton(w)->checked());
}

TEST(MainWindowStartUp, FillsBothDeviceBoxesInDeviceOrder) {
    MainWindowRig rig(2, 3);
    ASSERT_TRUE(rig.start());
    CMainDialog& w = *rig.window;
    EXPECT_EQ(items(inputDeviceBox(w)), (QStringList{"In0", "In1"}));
    EXPECT_EQ(inputDeviceBox(w)->currentIndex(), 0);
    EXPECT_EQ(items(panel(w)->outputBox()), (QStringList{"Out0", "Out1", "Out2"}));
    EXPECT_EQ(panel(w)->outputBox()->currentIndex(), 0);
}

TEST(MainWindowStartUp, NewListsTheDevicesAgainAndTheBoxesFollow) {
    MainWindowRig rig(1, 2);
    ASSERT_TRUE(rig.start());
    CMainDialog& w = *rig.window;
    // A synthesizer appears while the program runs, as JACK clients do.
    rig.backend.addInput("In late");
    rig.backend.addOutput("Out late");
    newButton(w)->click();
    EXPECT_EQ(items(inputDeviceBox(w)), (QStringList{"In0", "In late"}));
    EXPECT_EQ(inputDeviceBox(w)->currentIndex(), 0);
    EXPECT_EQ(items(panel(w)->outputBox()), (QStringList{"Out0", "Out1", "Out late"}));
    // A box position is still the device index.
    panel(w)->outputBox()->setCurrentIndex(2);
    emit panel(w)->outputBox()->activated(2);
    EXPECT_TRUE(rig.backend.isOutputOpen("Out late"));
    EXPECT_EQ(rig.model.session.parts().partAt(0).outputDevice, 2);
}

TEST(MainWindowStartUp, PanelShowsPartOneWithHexDisplayOn) {
    MainWindowRig rig;
    ASSERT_TRUE(rig.start());
    PropertyPanel& panel = *ui::panel(*rig.window);
    EXPECT_TRUE(panel.hexBox()->isChecked());
    EXPECT_EQ(panel.rangeLowEdit()->text(), "0h");
    EXPECT_EQ(panel.rangeHighEdit()->text(), "7Fh");
    EXPECT_EQ(panel.channelEdit()->text(), "1");
    EXPECT_EQ(panel.noteShiftEdit()->text(), "0");
    EXPECT_EQ(panel.nameEdit()->text(), "Part1");
    // The only band holds both keyboard ends, so neither end can be typed.
    EXPECT_FALSE(panel.rangeLowEdit()->isEnabled());
    EXPECT_FALSE(panel.rangeHighEdit()->isEnabled());
    EXPECT_TRUE(panel.channelMessageBox()->isChecked());
    EXPECT_EQ(panel.channelSpin()->minimum(), 1);
    EXPECT_EQ(panel.channelSpin()->maximum(), 16);
    EXPECT_EQ(panel.noteShiftSpin()->minimum(), -128);
    EXPECT_EQ(panel.noteShiftSpin()->maximum(), 128);
    EXPECT_EQ(panel.rangeLowSpin()->maximum(), 127);
    EXPECT_EQ(panel.rangeHighSpin()->value(), 127);
    EXPECT_FALSE(keyboardHookBox(*rig.window)->isChecked());
}

TEST(MainWindowStartUp, KeyboardShowsKeyTwelveAtTheLeftWithTheScrollBarAtSeven) {
    MainWindowRig rig;
    ASSERT_TRUE(rig.start());
    CMainDialog& w = *rig.window;
    EXPECT_EQ(keyboardScrollBar(w)->minimum(), 0);
    EXPECT_EQ(keyboardScrollBar(w)->maximum(), 21);
    EXPECT_EQ(keyboardScrollBar(w)->value(), 7);
    EXPECT_EQ(w.viewOriginX(), -97);
    EXPECT_EQ(keyboardView(w)->viewOriginX(), -97);
    EXPECT_EQ(keyImageX(w.viewOriginX(), 12), 1);
}

TEST(MainWindowStartUp, LaysTheWindowOutAtOneAndThreeQuarterPixelsPerDialogUnit) {
    MainWindowRig rig;
    ASSERT_TRUE(rig.start());
    CMainDialog& w = *rig.window;
    EXPECT_EQ(w.size(), QSize(810, 290));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "the window has a fixed size";
    EXPECT_EQ(keyboardView(w)->width(), 785);
    EXPECT_EQ(keyboardView(w)->geometry(), QRect(12, 182, 785, 77));
    EXPECT_EQ(bandStrip(w)->geometry(), QRect(12, 140, 785, 42));
    EXPECT_EQ(bandStrip(w)->x(), keyboardView(w)->x());
    // Every control of the window is there, found by its id.
    for (int id : {1004, 1006, 1008, 1012, 1013, 1014, 1017, 1021, 1022, 1023, 1024, 1025, 1027,
                   1028, 1033, 1034, 1035, 1036, 1037, 1038, 1039, 1040, 1041, 1055, 1062, 1063}) {
        EXPECT_NE(findControl(&w, id), nullptr) << id;
    }
    EXPECT_EQ(findControl(&w, control_id::kExit), exitButton(w));
    EXPECT_TRUE(exitButton(w)->isDefault());
    EXPECT_EQ(exitButton(w)->text(), "終了(&X)");
    // The four panel edits commit with Enter; the name edit is a plain edit.
    for (int id : {1006, 1008, 1012, 1013})
        EXPECT_NE(qobject_cast<CInEdit*>(findControl(&w, id)), nullptr) << id;
    EXPECT_EQ(qobject_cast<CInEdit*>(findControl(&w, 1014)), nullptr);
}

// The panic button, the panic controller's button and the pedal and wheel switches sit in room
// the other controls leave free.
TEST(MainWindowStartUp, PutsItsAddedControlsWhereNoOtherControlIs) {
    MainWindowRig rig;
    ASSERT_TRUE(rig.start());
    CMainDialog& w = *rig.window;
    w.show();
    const QList<QWidget*> all = w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (const int id : {control_id::kPanic, control_id::kPanicTrigger, control_id::kFollowsPedals,
                         control_id::kFollowsWheels}) {
        const QWidget* added = findControl(&w, id);
        ASSERT_NE(added, nullptr) << id;
        EXPECT_TRUE(w.rect().contains(added->geometry())) << id;
        for (const QWidget* other : all) {
            if (other == added || !other->isVisible() || qobject_cast<const QGroupBox*>(other))
                continue;
            EXPECT_FALSE(added->geometry().intersects(other->geometry()))
                << id << " overlaps " << other->metaObject()->className() << " "
                << other->property(kControlIdProperty).toInt();
        }
    }
}

TEST(MainWindowStartUp, GivesEveryToolButtonItsImagesAndTooltip) {
    MainWindowRig rig;
    ASSERT_TRUE(rig.start());
    CMainDialog& w = *rig.window;
    w.show();
    EXPECT_EQ(newButton(w)->toolTip(), "新規作成");
    EXPECT_EQ(openButton(w)->toolTip(), "開く");
    EXPECT_EQ(saveButton(w)->toolTip(), "保存");
    EXPECT_EQ(saveAsButton(w)->toolTip(), "名前をつけて保存");
    EXPECT_EQ(joinButton(w)->toolTip(), "結合");
    EXPECT_EQ(splitButton(w)->toolTip(), "分割");
    EXPECT_EQ(bandStrip(w)->toolTip(), "分割帯");

    using enum BitmapId;
    using ui::testing::buttonImage;
    using ui::testing::shownImage;
    EXPECT_EQ(shownImage(*newButton(w)), buttonImage(*newButton(w), {NewNormal}));
    EXPECT_EQ(shownImage(*openButton(w)), buttonImage(*openButton(w), {OpenNormal}));
    EXPECT_EQ(shownImage(*saveButton(w)), buttonImage(*saveButton(w), {SaveNormal}));
    EXPECT_EQ(shownImage(*saveAsButton(w)), buttonImage(*saveAsButton(w), {SaveAsNormal}));
    EXPECT_EQ(shownImage(*joinButton(w)), buttonImage(*joinButton(w), {JoinNormal, JoinDisabled}));
    EXPECT_EQ(shownImage(*splitButton(w)), buttonImage(*splitButton(w), {SplitNormal}));
}

TEST(MainWindowStartUp, UsesJapaneseFacesForTheWindowAndTheBandNames) {
    MainWindowRig rig;
    ASSERT_TRUE(rig.start());
    EXPECT_EQ(QFontInfo(rig.window->font()).family(), "IPAPGothic");
    const QFontInfo band(bandStrip(*rig.window)->font());
    EXPECT_EQ(band.family(), "IPAGothic");
    EXPECT_EQ(band.pixelSize(), 15);
}

TEST(MainWindowStartUp, WarnsAboutMissingInputThenOutputAndCloses) {
    MainWindowRig rig(0, 0);
    EXPECT_FALSE(rig.start());
    ASSERT_EQ(rig.boxes.shown.size(), 2u);
    EXPECT_EQ(rig.boxes.shown[0].text, "有効なMIDI INデバイスが一つもありません");
    EXPECT_EQ(rig.boxes.shown[0].caption, "警告");
    EXPECT_EQ(rig.boxes.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(rig.boxes.shown[1].text, "有効なMIDI OUTデバイスが一つもありません");
    EXPECT_EQ(rig.boxes.shown[1].caption, "警告");
    // Start-up still ran to its end.
    EXPECT_EQ(rig.title(), "NewFile.trv - Tarvelo 1.0");
}

TEST(MainWindowStartUp, WarnsOnlyAboutTheMissingKind) {
    MainWindowRig noOutputs(1, 0);
    EXPECT_FALSE(noOutputs.start());
    EXPECT_EQ(noOutputs.boxes.texts(),
              std::vector<std::string>{"有効なMIDI OUTデバイスが一つもありません"});

    MainWindowRig noInputs(0, 1);
    EXPECT_FALSE(noInputs.start());
    EXPECT_EQ(noInputs.boxes.texts(),
              std::vector<std::string>{"有効なMIDI INデバイスが一つもありません"});
}

TEST(MainWindowStartUp, AMissingControllerFileIsReportedAndTheWindowOpens) {
    MainWindowRig rig(1, 1, false);
    rig.copyReferenceFile("midi_msg.mdr");
    ASSERT_TRUE(rig.start());
    ASSERT_EQ(rig.boxes.shown.size(), 1u);
    EXPECT_EQ(rig.boxes.shown[0].text, "Error : LoadControlChangeReference");
    EXPECT_EQ(rig.boxes.shown[0].caption, "") << "the application title";
    EXPECT_EQ(rig.boxes.shown[0].buttons, MessageButtons::Ok);
    EXPECT_GT(rig.model.reference.messageCount(), 0);
    EXPECT_EQ(rig.model.reference.controllerCount(), 0);
}

TEST(MainWindowStartUp, BothReferenceFilesMissingAreReportedInOrderBeforeTheDeviceCheck) {
    MainWindowRig rig(0, 1, false);
    EXPECT_FALSE(rig.start());
    EXPECT_EQ(rig.boxes.texts(),
              (std::vector<std::string>{"Error : LoadMidiMessageReference",
                                        "Error : LoadControlChangeReference",
                                        "有効なMIDI INデバイスが一つもありません"}));
}

}  // namespace
}  // namespace tarvelo::ui
