// The file buttons, the close request and the title, through the window with scripted answers.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "main_window_fixture.h"
#include "model/arrangement_file.h"
#include "ui/controls/in_edit.h"
#include "ui/controls/stylish_button.h"
#include "ui/main/band_strip_view.h"
#include "ui/main/property_panel.h"

namespace tarvelo::ui {
namespace {

using testing::MainWindowRig;
using Answer = MessageAnswer;

const char* const kPromptText = "NewFile.trv\nは変更されています。保存しますか？";

class WindowFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(rig.start());
        rig.window->show();
    }

    CMainDialog& w() { return *rig.window; }
    LiveSession& session() { return rig.model.session; }
    std::string path(const std::string& name) { return rig.files.file(name); }

    // A change the user could have made: a split, then the mark.
    void change() {
        session().split(0, 60);
        w().setModified(true);
    }

    MainWindowRig rig;
};

TEST_F(WindowFiles, TitleShowsTheModifiedMark) {
    w().setModified(true);
    EXPECT_EQ(rig.title(), "NewFile.trv* - Tarvelo 1.0");
    w().setModified(false);
    EXPECT_EQ(rig.title(), "NewFile.trv - Tarvelo 1.0");
}

TEST_F(WindowFiles, SaveOnANeverSavedArrangementAsksForANameThenSavesThere) {
    change();
    rig.dialogs.answers.push_back(path("a.trv"));
    saveButton(w())->click();
    ASSERT_EQ(rig.dialogs.calls.size(), 1u);
    EXPECT_TRUE(rig.dialogs.calls[0].save);
    EXPECT_EQ(rig.dialogs.calls[0].options.filterDescription, "Tarvelo Files (*.trv)");
    EXPECT_EQ(rig.dialogs.calls[0].options.defaultExtension, "trv");
    EXPECT_TRUE(rig.dialogs.calls[0].options.confirmOverwrite);
    EXPECT_EQ(rig.title(), "a.trv - Tarvelo 1.0");
    EXPECT_TRUE(std::filesystem::exists(path("a.trv")));

    // A second save writes to the same path without a dialog.
    session().setName(1, "Lead");
    w().setModified(true);
    saveButton(w())->click();
    EXPECT_EQ(rig.dialogs.calls.size(), 1u);
    EXPECT_EQ(rig.title(), "a.trv - Tarvelo 1.0");
    const ArrangementReadResult reread = readArrangementFile(path("a.trv"));
    ASSERT_TRUE(reread.ok());
    EXPECT_EQ(reread.arrangement->parts.at(1).part.name, "Lead");
}

TEST_F(WindowFiles, SaveAsAlwaysAsksAndCancelChangesNothing) {
    change();
    rig.dialogs.answers.push_back(std::nullopt);
    saveAsButton(w())->click();
    EXPECT_EQ(rig.dialogs.calls.size(), 1u);
    EXPECT_EQ(rig.title(), "NewFile.trv* - Tarvelo 1.0");
    EXPECT_TRUE(rig.files.entries().empty());
}

TEST_F(WindowFiles, AFailedSaveIsReportedAndKeepsTheArrangementModified) {
    change();
    rig.dialogs.answers.push_back(path("missing-dir/a.trv"));
    saveButton(w())->click();
    ASSERT_EQ(rig.boxes.shown.size(), 1u);
    EXPECT_EQ(rig.boxes.shown[0].buttons, MessageButtons::Ok);
    EXPECT_TRUE(rig.modified());
    EXPECT_EQ(rig.title(), "NewFile.trv* - Tarvelo 1.0");
    EXPECT_EQ(rig.shownFileName(), "NewFile.trv");
}

TEST_F(WindowFiles, OpenCancelledInTheDialogShowsNoPrompt) {
    change();
    rig.dialogs.answers.push_back(std::nullopt);
    openButton(w())->click();
    EXPECT_TRUE(rig.boxes.shown.empty());
    EXPECT_EQ(session().parts().partCount(), 2);
    EXPECT_EQ(rig.title(), "NewFile.trv* - Tarvelo 1.0");
}

TEST_F(WindowFiles, OpenAsksOnlyAfterAFileWasChosenAndCancelKeepsEverything) {
    change();
    rig.dialogs.answers.push_back(path("other.trv"));
    rig.boxes.answers.push_back(Answer::Cancel);
    openButton(w())->click();
    ASSERT_EQ(rig.boxes.shown.size(), 1u);
    EXPECT_EQ(rig.boxes.shown[0].text, kPromptText);
    EXPECT_EQ(rig.boxes.shown[0].caption, "Tarvelo");
    EXPECT_EQ(rig.boxes.shown[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(rig.boxes.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(session().parts().partCount(), 2);
    EXPECT_EQ(rig.shownFileName(), "NewFile.trv");
    EXPECT_TRUE(rig.modified());
}

TEST_F(WindowFiles, OpenRefreshesTheWindowAndSendsTheInitialMessages) {
    // An arrangement with two bands on input In1, Part 1 on Out2 with a program change.
    change();
    session().setOutputDevice(1, 2);
    InitialMessage program;
    program.type = 0;
    program.status = 0xC0;
    program.data1 = 5;
    session().messageList(1).append(program);
    session().setInputDevice(1);
    ASSERT_FALSE(session().save(path("two.trv")).has_value());

    rig.boxes.answers.push_back(Answer::No);
    newButton(w())->click();  // modified: the prompt, answered No
    rig.boxes.shown.clear();
    ASSERT_EQ(session().parts().partCount(), 1);
    rig.model.selection.toggle(0);  // leave the selection in a state the load must reset
    rig.backend.clearRecords();

    rig.dialogs.answers.push_back(path("two.trv"));
    openButton(w())->click();
    MainWindowRig::settle();

    EXPECT_TRUE(rig.boxes.shown.empty());
    EXPECT_EQ(rig.title(), "two.trv - Tarvelo 1.0");
    ASSERT_EQ(session().parts().partCount(), 2);
    EXPECT_EQ(rig.model.selection.entries(), std::vector<int>{0});
    EXPECT_EQ(inputDeviceBox(w())->currentIndex(), 1);
    EXPECT_EQ(panel(w())->nameEdit()->text(), "Part1");
    EXPECT_EQ(panel(w())->rangeHighEdit()->text(), "3Bh");
    EXPECT_FALSE(joinButton(w())->isEnabled());
    // Part 1's program change went to Out2 on Part 1's channel.
    EXPECT_EQ(rig.backend.shortMessages("Out2"),
              std::vector<PackedMessage>{packMessage(0xC1, 5, 0xFF)});
}

TEST_F(WindowFiles, AFailedReadIsReportedAndKeepsTheCurrentArrangement) {
    change();
    w().setModified(false);
    tarvelo::testing::writeBytes(path("bad.trv"), {1, 2, 3});
    rig.dialogs.answers.push_back(path("bad.trv"));
    openButton(w())->click();
    ASSERT_EQ(rig.boxes.shown.size(), 1u);
    EXPECT_EQ(rig.boxes.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(session().parts().partCount(), 2);
    EXPECT_EQ(rig.title(), "NewFile.trv - Tarvelo 1.0");
    EXPECT_EQ(rig.shownFileName(), "NewFile.trv");
}

TEST_F(WindowFiles, NewOnAModifiedArrangementWithAPathAsksForANewName) {
    change();
    rig.dialogs.answers.push_back(path("a.trv"));
    saveAsButton(w())->click();
    w().setModified(true);

    rig.boxes.answers.push_back(Answer::Yes);
    rig.dialogs.answers.push_back(path("b.trv"));
    newButton(w())->click();
    ASSERT_EQ(rig.dialogs.calls.size(), 2u);
    EXPECT_TRUE(rig.dialogs.calls[1].save);
    EXPECT_TRUE(std::filesystem::exists(path("b.trv")));
    EXPECT_EQ(rig.title(), "NewFile.trv - Tarvelo 1.0");
    EXPECT_EQ(session().parts().partCount(), 1);
    EXPECT_EQ(rig.model.selection.entries(), std::vector<int>{0});
}

TEST_F(WindowFiles, NewCancelledAtThePromptChangesNothing) {
    change();
    rig.boxes.answers.push_back(Answer::Cancel);
    newButton(w())->click();
    EXPECT_EQ(session().parts().partCount(), 2);
    EXPECT_TRUE(rig.modified());
}

TEST_F(WindowFiles, ClosingAnUnchangedArrangementClosesWithoutAPrompt) {
    EXPECT_TRUE(w().close());
    EXPECT_FALSE(w().isVisible());
    EXPECT_TRUE(rig.boxes.shown.empty());
}

TEST_F(WindowFiles, ClosingAChangedArrangementAsksAndCancelKeepsTheWindow) {
    change();
    rig.boxes.answers.push_back(Answer::Cancel);
    EXPECT_FALSE(w().close());
    EXPECT_TRUE(w().isVisible());
    EXPECT_TRUE(rig.modified());
    EXPECT_EQ(rig.boxes.texts(), std::vector<std::string>{kPromptText});

    rig.boxes.answers.push_back(Answer::No);
    EXPECT_TRUE(w().close());
    EXPECT_FALSE(w().isVisible());
    EXPECT_TRUE(rig.files.entries().empty()) << "No writes nothing";
}

TEST_F(WindowFiles, ClosingWithYesSavesFirstAndClosesEvenWhenSaveAsIsCancelled) {
    change();
    rig.boxes.answers.push_back(Answer::Yes);
    rig.dialogs.answers.push_back(std::nullopt);
    EXPECT_TRUE(w().close());
    EXPECT_FALSE(w().isVisible());
    EXPECT_EQ(rig.dialogs.calls.size(), 1u);
}

TEST_F(WindowFiles, TheExitButtonAndEscapeCloseThroughThePrompt) {
    change();
    rig.boxes.answers.push_back(Answer::Cancel);
    exitButton(w())->click();
    EXPECT_TRUE(rig.boxes.shown.empty()) << "the exit button only posts the close request";
    MainWindowRig::settle();
    EXPECT_EQ(rig.boxes.shown.size(), 1u);
    EXPECT_TRUE(w().isVisible());

    rig.boxes.answers.push_back(Answer::Cancel);
    QTest::keyClick(&w(), Qt::Key_Escape);
    EXPECT_EQ(rig.boxes.shown.size(), 2u);
    EXPECT_TRUE(w().isVisible()) << "Escape must not drop a changed arrangement";
}

TEST_F(WindowFiles, EnterInAPanelEditDoesNotPressTheExitButton) {
    change();
    panel(w())->channelEdit()->setFocus();
    QTest::keyClick(panel(w())->channelEdit(), Qt::Key_Return);
    MainWindowRig::settle();
    EXPECT_TRUE(rig.boxes.shown.empty());
    EXPECT_TRUE(w().isVisible());
}

}  // namespace
}  // namespace tarvelo::ui
