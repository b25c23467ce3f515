#include "session/file_commands.h"

#include <gtest/gtest.h>

#include <deque>

#include "support/scripted_message_boxes.h"
#include "support/temp_dir.h"
#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

using testing::ScriptedMessageBoxes;
using testing::TempDir;
using testing::VirtualRig;

constexpr const char* kPromptTail = "\nは変更されています。保存しますか？";

struct ScriptedDialogs : FileDialogs {
    std::optional<std::string> openFile(const FileDialogOptions& options) override {
        return answer(openAnswers, options, "open");
    }
    std::optional<std::string> saveFileAs(const FileDialogOptions& options) override {
        return answer(saveAnswers, options, "save");
    }
    std::optional<std::string> answer(std::deque<std::optional<std::string>>& script,
                                      const FileDialogOptions& options, const char* which) {
        calls.push_back(which);
        lastOptions = options;
        if (script.empty())
            return std::nullopt;
        auto a = script.front();
        script.pop_front();
        return a;
    }
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::vector<std::string> calls;
    FileDialogOptions lastOptions;
};

struct RecordingWindow : FileWindowHooks {
    void setTitle(std::string_view t) override { titles.emplace_back(t); }
    void showNewArrangement() override { ++shown; }
    std::vector<std::string> titles;
    int shown = 0;
};

// The main window's file side over a virtual rig, started as at start-up.
struct FileRig {
    FileRig() { commands.initialize(); }

    // Makes a change the user could make, as the window does.
    void edit() {
        rig.session.split(rig.parts().partCount() - 1, 100 + rig.parts().partCount());
        commands.setModified(true);
    }
    std::string title() const { return window.titles.empty() ? "" : window.titles.back(); }
    // Whether a walk over every Part's initial messages was started: it begins with Part 0.
    bool sentAll() const { return rig.posted == std::deque<int>{0}; }

    TempDir dir;
    VirtualRig rig;
    // The window shows its own boxes and the session's in the same place.
    ScriptedMessageBoxes& boxes = rig.boxes;
    ScriptedDialogs dialogs;
    RecordingWindow window;
    FileCommands commands{rig.session, boxes, dialogs, window};
};

TEST(FileTitle, NewArrangementThenAChange) {
    FileRig f;
    EXPECT_EQ(f.title(), "NewFile.trv - Tarvelo 1.0");
    EXPECT_EQ(f.commands.filePath(), "");
    f.edit();
    EXPECT_EQ(f.title(), "NewFile.trv* - Tarvelo 1.0");
    EXPECT_EQ(f.window.shown, 1);
    EXPECT_EQ(f.rig.parts().targetPart(), 0);
}

TEST(FileSave, FirstSaveAsksForANameLaterSavesDoNot) {
    FileRig f;
    f.edit();
    const std::string path = f.dir.file("a.trv");
    f.dialogs.saveAnswers.push_back(path);
    EXPECT_TRUE(f.commands.save());
    EXPECT_EQ(f.dialogs.calls, (std::vector<std::string>{"save"}));
    EXPECT_TRUE(f.dialogs.lastOptions.confirmOverwrite);
    EXPECT_EQ(f.dialogs.lastOptions.filterDescription, "Tarvelo Files (*.trv)");
    EXPECT_EQ(f.dialogs.lastOptions.filterPattern, "*.trv");
    EXPECT_EQ(f.dialogs.lastOptions.defaultExtension, "trv");
    EXPECT_EQ(f.title(), "a.trv - Tarvelo 1.0");
    EXPECT_EQ(f.commands.filePath(), path);

    f.edit();
    EXPECT_TRUE(f.commands.save());
    EXPECT_EQ(f.dialogs.calls.size(), 1u);
    const ArrangementReadResult r = readArrangementFile(path);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.arrangement->parts.size(), 3u);
    EXPECT_EQ(f.title(), "a.trv - Tarvelo 1.0");
}

TEST(FileSave, CancelledSaveAsChangesNothing) {
    FileRig f;
    f.edit();
    f.dialogs.saveAnswers.push_back(std::nullopt);
    EXPECT_FALSE(f.commands.saveAs());
    EXPECT_TRUE(f.commands.modified());
    EXPECT_EQ(f.commands.fileName(), "NewFile.trv");
}

TEST(FileSave, FailedSaveIsReportedAndStaysModified) {
    FileRig f;
    f.edit();
    const std::string bad = f.dir.file("no/such/dir/b.trv");
    f.dialogs.saveAnswers.push_back(bad);
    EXPECT_FALSE(f.commands.saveAs());
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(f.boxes.shown[0].text.rfind("ファイルを保存できませんでした。\n" + bad + "\n", 0),
              0u);
    EXPECT_NE(f.boxes.shown[0].text.find("No such file"), std::string::npos);
    EXPECT_TRUE(f.commands.modified());
    EXPECT_EQ(f.title(), "NewFile.trv* - Tarvelo 1.0");
    EXPECT_EQ(f.commands.filePath(), "");
}

// The switches and the panic go through Open and Save As; the earlier companion is not touched.
TEST(FileSave, SaveAsWritesTheCompanionBesideTheNewName) {
    FileRig f;
    const CompanionSettings settings{{{true, true}}, PanicTrigger{20, 1}};
    const std::string first = f.dir.file("first.trv");
    StoredArrangement a;
    a.parts.resize(1);
    ASSERT_EQ(writeArrangementFiles(first, a, settings), std::nullopt);
    const std::vector<std::uint8_t> before = testing::readBytes(companionPath(first));
    f.dialogs.openAnswers.push_back(first);
    ASSERT_TRUE(f.commands.open());
    EXPECT_EQ(companionSettingsOf(f.rig.parts()), settings);

    f.dialogs.saveAnswers.push_back(f.dir.file("second.trv"));
    ASSERT_TRUE(f.commands.saveAs());
    EXPECT_EQ(readCompanionFile(f.dir.file("second.trv"), 1).settings, settings);
    EXPECT_EQ(testing::readBytes(companionPath(first)), before);
}

TEST(FileOpen, CancelInTheDialogShowsNoPrompt) {
    FileRig f;
    f.edit();
    f.dialogs.openAnswers.push_back(std::nullopt);
    EXPECT_FALSE(f.commands.open());
    EXPECT_TRUE(f.boxes.shown.empty());
    EXPECT_TRUE(f.commands.modified());
}

TEST(FileOpen, PromptComesAfterTheChoiceAndCancelKeepsEverything) {
    FileRig f;
    f.edit();
    f.dialogs.openAnswers.push_back(f.dir.file("x.trv"));
    f.boxes.answers.push_back(MessageAnswer::Cancel);
    EXPECT_FALSE(f.commands.open());
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    const auto& prompt = f.boxes.shown[0];
    EXPECT_EQ(prompt.text, std::string("NewFile.trv") + kPromptTail);
    EXPECT_EQ(prompt.caption, "Tarvelo");
    EXPECT_EQ(prompt.buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(prompt.icon, MessageIcon::Information);
    EXPECT_EQ(f.commands.fileName(), "NewFile.trv");
    EXPECT_EQ(f.rig.parts().partCount(), 2);
    EXPECT_TRUE(f.commands.modified());
}

TEST(FileOpen, LoadReplacesTheArrangementRefreshesAndSends) {
    FileRig f;
    StoredArrangement a;
    a.inputDeviceName = "In2";
    for (int i = 0; i < 2; ++i) {
        StoredPart p;
        p.part.name = "P" + std::to_string(i);
        p.part.lowKey = static_cast<std::uint8_t>(i * 64);
        p.part.highKey = static_cast<std::uint8_t>(i * 64 + 63);
        p.part.channel = static_cast<std::uint8_t>(9 + i);
        p.outputDeviceName = "Out" + std::to_string(i + 1);
        a.parts.push_back(p);
    }
    a.targetPart = 1;
    a.targetDeviceName = "Out2";
    a.targetChannel = 10;
    const std::string path = f.dir.file("song.trv");
    ASSERT_EQ(writeArrangementFile(path, a), std::nullopt);

    f.edit();
    f.dialogs.openAnswers.push_back(path);
    f.boxes.answers.push_back(MessageAnswer::No);
    EXPECT_TRUE(f.commands.open());
    EXPECT_EQ(f.commands.filePath(), path);
    EXPECT_EQ(f.title(), "song.trv - Tarvelo 1.0");
    EXPECT_EQ(f.window.shown, 2);
    EXPECT_TRUE(f.sentAll());
    EXPECT_EQ(f.rig.parts().partAt(1).name, "P1");
    EXPECT_EQ(f.rig.session.devices().inputDevice(), 1);
    EXPECT_EQ(f.rig.session.routes().at(100).device, 2);
    EXPECT_EQ(f.rig.session.routes().at(100).channel, 10);
    EXPECT_EQ(f.rig.parts().targetDevice(), 2);
}

TEST(FileOpen, FailedReadKeepsArrangementNameAndMark) {
    FileRig f;
    f.edit();
    const std::string path = f.dir.file("broken.trv");
    testing::writeBytes(path, {1, 0, 0, 0, 0x7F});
    f.dialogs.openAnswers.push_back(path);
    f.boxes.answers.push_back(MessageAnswer::No);
    EXPECT_FALSE(f.commands.open());
    ASSERT_EQ(f.boxes.shown.size(), 2u);
    EXPECT_EQ(f.boxes.shown[1].text.rfind("ファイルが壊れているか", 0), 0u);
    EXPECT_NE(f.boxes.shown[1].text.find(path), std::string::npos);
    EXPECT_EQ(f.commands.fileName(), "NewFile.trv");
    EXPECT_TRUE(f.commands.modified());
    EXPECT_EQ(f.rig.parts().partCount(), 2);
    EXPECT_FALSE(f.sentAll());
    EXPECT_TRUE(f.rig.backend.isOutputOpen("Out0"));
}

TEST(FileOpen, YesSavesToTheCurrentPathFirst) {
    FileRig f;
    const std::string first = f.dir.file("first.trv");
    f.dialogs.saveAnswers.push_back(first);
    f.commands.saveAs();
    ASSERT_EQ(f.rig.session.save(f.dir.file("second.trv")), std::nullopt);
    f.edit();
    f.dialogs.openAnswers.push_back(f.dir.file("second.trv"));
    f.boxes.answers.push_back(MessageAnswer::Yes);
    EXPECT_TRUE(f.commands.open());
    EXPECT_EQ(f.dialogs.calls, (std::vector<std::string>{"save", "open"}));
    EXPECT_EQ(readArrangementFile(first).arrangement->parts.size(), 2u);
    EXPECT_EQ(f.commands.fileName(), "second.trv");
}

TEST(FileNew, YesAlwaysAsksForAFileNameEvenWithAPath) {
    FileRig f;
    f.dialogs.saveAnswers.push_back(f.dir.file("kept.trv"));
    f.commands.saveAs();
    f.edit();
    const std::string other = f.dir.file("other.trv");
    f.dialogs.saveAnswers.push_back(other);
    f.boxes.answers.push_back(MessageAnswer::Yes);
    f.commands.newArrangement();
    EXPECT_EQ(f.dialogs.calls, (std::vector<std::string>{"save", "save"}));
    EXPECT_EQ(readArrangementFile(other).arrangement->parts.size(), 2u);
    EXPECT_EQ(f.title(), "NewFile.trv - Tarvelo 1.0");
    EXPECT_EQ(f.commands.filePath(), "");
    EXPECT_EQ(f.rig.parts().partCount(), 1);
    EXPECT_FALSE(f.sentAll());
}

TEST(FileNew, CancelledSaveAsStillDiscardsButAFailedSaveStops) {
    FileRig f;
    f.edit();
    f.boxes.answers.push_back(MessageAnswer::Yes);
    f.dialogs.saveAnswers.push_back(std::nullopt);
    f.commands.newArrangement();
    EXPECT_EQ(f.rig.parts().partCount(), 1);

    f.edit();
    f.boxes.answers.push_back(MessageAnswer::Yes);
    f.dialogs.saveAnswers.push_back(f.dir.file("missing/dir.trv"));
    f.commands.newArrangement();
    EXPECT_EQ(f.rig.parts().partCount(), 2);
    EXPECT_TRUE(f.commands.modified());

    f.boxes.answers.push_back(MessageAnswer::Cancel);
    f.commands.newArrangement();
    EXPECT_EQ(f.rig.parts().partCount(), 2);
}

TEST(FileClose, PromptOnlyWhenModified) {
    FileRig f;
    EXPECT_TRUE(f.commands.close());
    EXPECT_TRUE(f.boxes.shown.empty());

    f.edit();
    f.boxes.answers.push_back(MessageAnswer::Cancel);
    EXPECT_FALSE(f.commands.close());
    f.boxes.answers.push_back(MessageAnswer::No);
    EXPECT_TRUE(f.commands.close());
    EXPECT_EQ(f.boxes.shown.size(), 2u);
}

TEST(FileClose, YesSavesAndAFailedSaveKeepsTheWindowOpen) {
    FileRig f;
    f.edit();
    const std::string path = f.dir.file("c.trv");
    f.boxes.answers.push_back(MessageAnswer::Yes);
    f.dialogs.saveAnswers.push_back(path);
    EXPECT_TRUE(f.commands.close());
    EXPECT_TRUE(readArrangementFile(path).ok());

    f.edit();
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);  // the save can no longer replace it
    f.boxes.answers.push_back(MessageAnswer::Yes);
    EXPECT_FALSE(f.commands.close());
    EXPECT_TRUE(f.commands.modified());
}

}  // namespace
}  // namespace tarvelo
