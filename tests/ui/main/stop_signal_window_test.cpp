#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "model/part_list.h"
#include "ui/main/main_window_fixture.h"
#include "ui/main/property_panel.h"

namespace tarvelo::ui {
namespace {

using testing::MainWindowRig;

// A stop signal with unsaved changes: the held note is released, the arrangement is kept in the
// recovery file, and the next start names it and opens it when asked; the start after that finds
// nothing more to offer.
TEST(WindowStop, UnsavedWorkIsKeptForTheNextStartAndHeldNotesAreReleased) {
    tarvelo::testing::TempDir state;
    {
        MainWindowRig rig;
        rig.recoveryDirectory = state.path();
        ASSERT_TRUE(rig.start());
        QLineEdit* name = panel(*rig.window)->nameEdit();
        name->setFocus();
        name->selectAll();
        QTest::keyClicks(name, "Kept");
        rig.backend.inject(0, packMessage(0x90, 60, 100));
        rig.window->stopBySignal();
        const std::vector<PackedMessage> out = rig.backend.shortMessages("Out0");
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out.front(), packMessage(0x90, 60, 100));
        EXPECT_NE(std::find(out.begin(), out.end(), packMessage(0x80, 60, 0)), out.end());
        EXPECT_FALSE(rig.backend.isOutputOpen("Out0"));
        EXPECT_FALSE(rig.backend.isInputOpen("In0"));
        EXPECT_TRUE(std::filesystem::exists(state.path() / "recovery.trv"));
        EXPECT_TRUE(std::filesystem::exists(state.path() / "recovery.tarvelo.json"));
        EXPECT_TRUE(rig.boxes.shown.empty());
    }
    {
        MainWindowRig rig;
        rig.recoveryDirectory = state.path();
        rig.boxes.answers = {MessageAnswer::Yes};
        ASSERT_TRUE(rig.start());
        ASSERT_EQ(rig.boxes.shown.size(), 1u);
        const std::string& text = rig.boxes.shown[0].text;
        EXPECT_NE(text.find((state.path() / "recovered-").string()), std::string::npos) << text;
        EXPECT_EQ(rig.model.session.parts().partAt(0).name, "Kept");
        EXPECT_FALSE(std::filesystem::exists(state.path() / "recovery.trv"));
        // Its companion went along: no box says it is missing or stray.
        EXPECT_FALSE(std::filesystem::exists(state.path() / "recovery.tarvelo.json"));
    }
    {
        MainWindowRig rig;
        rig.recoveryDirectory = state.path();
        ASSERT_TRUE(rig.start());
        EXPECT_TRUE(rig.boxes.shown.empty());
    }
}

}  // namespace
}  // namespace tarvelo::ui
