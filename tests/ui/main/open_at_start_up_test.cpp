// The arrangement named on the command line, opened once the window has started.

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>

#include "main_window_fixture.h"
#include "model/arrangement_file.h"
#include "session/arrangement_devices.h"

namespace tarvelo::ui {
namespace {

using testing::MainWindowRig;

// Runs the test in another working directory and goes back afterwards.
class InDirectory {
  public:
    explicit InDirectory(const std::filesystem::path& directory)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(directory);
    }
    ~InDirectory() { std::filesystem::current_path(previous_); }
    InDirectory(const InDirectory&) = delete;
    InDirectory& operator=(const InDirectory&) = delete;

  private:
    std::filesystem::path previous_;
};

TEST(OpenAtStartUp, LoadsTheFileAsOpenDoesAndReportsItsMissingDevice) {
    MainWindowRig rig;
    // Saved on another machine: Part 1 plays on "Gone" with a program change.
    {
        StoredArrangement song;
        song.inputDeviceName = "In0";
        StoredPart low;
        low.part.name = "Part1";
        low.part.highKey = 59;
        low.outputDeviceName = "Out0";
        StoredPart high;
        high.part.name = "Part2";
        high.part.channel = 1;
        high.part.lowKey = 60;
        high.part.highKey = 127;
        high.outputDeviceName = "Gone";
        InitialMessage program;
        program.type = 0;
        program.status = 0xC0;
        program.data1 = 9;
        high.messages.append(program);
        song.parts = {low, high};
        song.nextPartNumber = 2;
        ASSERT_FALSE(writeArrangementFile(rig.files.file("song.trv"), song).has_value());
    }
    ASSERT_TRUE(rig.start());
    rig.backend.clearRecords();
    {
        // A name relative to the directory the program was started in.
        const InDirectory there(rig.files.path());
        EXPECT_TRUE(rig.window->openAtStartUp("song.trv"));
    }
    MainWindowRig::settle();

    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_EQ(rig.boxes.texts(), std::vector<std::string>{missingDeviceText("Gone")});
    EXPECT_EQ(rig.title(), "song.trv - Tarvelo 1.0");
    // The relative name was taken in the start directory: Save, from elsewhere, goes back to
    // that file without asking for a name.
    std::filesystem::remove(rig.files.file("song.trv"));
    saveButton(*rig.window)->click();
    EXPECT_TRUE(rig.dialogs.calls.empty());
    EXPECT_TRUE(std::filesystem::exists(rig.files.file("song.trv")));
    ASSERT_EQ(rig.model.session.parts().partCount(), 2);
    // The missing device is kept under its name, so Part 1's program change waits for it rather
    // than reach another instrument; the device boxes offer it, marked absent.
    EXPECT_EQ(rig.model.session.outputDeviceName(1), "Gone");
    const std::vector<PackedMessage> sent = rig.backend.shortMessages("Out0");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), packMessage(0xC1, 9, 0xFF)), 0);
    rig.backend.addOutput("Gone");
    MainWindowRig::settle();
    EXPECT_EQ(rig.backend.shortMessages("Gone"),
              (std::vector<PackedMessage>{packMessage(0xC1, 9, 0xFF)}));
}

TEST(OpenAtStartUp, AFileThatCannotBeReadIsReportedAndTheWindowStartsOnANewArrangement) {
    const tarvelo::testing::TempDir files;
    tarvelo::testing::writeBytes(files.file("broken.trv"), {'T', 'R', 'V'});
    for (const std::string& path : {files.file("broken.trv"), files.file("no-such.trv")}) {
        SCOPED_TRACE(path);
        MainWindowRig fresh;
        ASSERT_TRUE(fresh.start());
        EXPECT_FALSE(fresh.window->openAtStartUp(path));
        EXPECT_TRUE(fresh.window->isVisible());
        ASSERT_EQ(fresh.boxes.shown.size(), 1u);
        EXPECT_EQ(fresh.boxes.shown[0].icon, MessageIcon::Error);
        EXPECT_NE(fresh.boxes.shown[0].text.find(path), std::string::npos);
        EXPECT_EQ(fresh.title(), "NewFile.trv - Tarvelo 1.0");
        EXPECT_EQ(fresh.model.session.parts().partCount(), 1);
    }
}

}  // namespace
}  // namespace tarvelo::ui
