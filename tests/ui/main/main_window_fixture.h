#pragma once

#include <QApplication>
#include <QComboBox>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "midi/backends/virtual/virtual_backend.h"
#include "session/file_commands.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_dir.h"
#include "ui/main/main_dialog.h"

namespace tarvelo::ui::testing {

// File dialogs for tests: each call takes the next scripted answer (nullopt = Cancel) and is
// recorded with its options.
class ScriptedFileDialogs : public FileDialogs {
  public:
    struct Call {
        bool save;
        FileDialogOptions options;
    };
    std::optional<std::string> openFile(const FileDialogOptions& options) override {
        return answer(false, options);
    }
    std::optional<std::string> saveFileAs(const FileDialogOptions& options) override {
        return answer(true, options);
    }

    std::deque<std::optional<std::string>> answers;
    std::vector<Call> calls;
    int unexpected = 0;

  private:
    std::optional<std::string> answer(bool save, const FileDialogOptions& options) {
        calls.push_back(Call{save, options});
        if (answers.empty()) {
            ++unexpected;
            return std::nullopt;
        }
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
};

// A main window on a virtual MIDI system, with its boxes and dialogs scripted and the reference
// files read from a directory of its own.
struct MainWindowRig {
    // inputs and outputs: how many virtual devices ("In0".., "Out0"..) exist.
    explicit MainWindowRig(int inputs = 2, int outputs = 3, bool withReferenceFiles = true) {
        for (int i = 0; i < inputs; ++i)
            backend.addInput("In" + std::to_string(i));
        for (int i = 0; i < outputs; ++i)
            backend.addOutput("Out" + std::to_string(i));
        if (withReferenceFiles) {
            copyReferenceFile("midi_msg.mdr");
            copyReferenceFile("cc.mdr");
        }
    }

    void copyReferenceFile(const std::string& name) {
        std::filesystem::copy_file(std::filesystem::path(TARVELO_SOURCE_DIR) / "data" / name,
                                   references.path() / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // Builds the window and runs its start-up; the result of the start-up.
    bool start() {
        MainDialogServices services;
        services.messageBoxes = &boxes;
        services.fileDialogs = &dialogs;
        services.referenceFile = [dir = references.path()](std::string_view name) {
            return dir / std::string(name);
        };
        window = std::make_unique<CMainDialog>(backend, services);
        return window->initialize();
    }

    std::string title() const { return window->windowTitle().toStdString(); }

    // Lets queued events (posted closes, repaints, drains) run.
    static void settle() {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }

    VirtualBackend backend;
    tarvelo::testing::ScriptedMessageBoxes boxes;
    ScriptedFileDialogs dialogs;
    tarvelo::testing::TempDir references;
    tarvelo::testing::TempDir files;
    std::unique_ptr<CMainDialog> window;
};

}  // namespace tarvelo::ui::testing
