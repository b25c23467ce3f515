#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
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
#include "ui/controls/stylish_button.h"
#include "ui/controls/stylish_check_button.h"
#include "ui/initmsg/ch_init_dialog.h"
#include "ui/main/band_strip_view.h"
#include "ui/main/dialog_layout.h"
#include "ui/main/keyboard_view.h"
#include "ui/main/main_dialog.h"
#include "ui/main/midi_note_pump.h"
#include "ui/main/property_panel.h"

namespace tarvelo::ui {

// Found by argument-dependent lookup wherever a test holds the window.
// The window's controls, found by their object names.
template <typename T>
T* control(const QWidget& window, int id) {
    return window.findChild<T*>(QString::fromLatin1(controlName(id)));
}
inline KeyboardView* keyboardView(const CMainDialog& w) {
    return control<KeyboardView>(w, control_id::kKeyboard);
}
inline BandStripView* bandStrip(const CMainDialog& w) {
    return control<BandStripView>(w, control_id::kBandStrip);
}
inline QComboBox* inputDeviceBox(const CMainDialog& w) {
    return control<QComboBox>(w, control_id::kInputDevice);
}
inline QScrollBar* keyboardScrollBar(const CMainDialog& w) {
    return control<QScrollBar>(w, control_id::kKeyboardScroll);
}
inline CStylishButton* joinButton(const CMainDialog& w) {
    return control<CStylishButton>(w, control_id::kJoin);
}
inline CStylishCheckButton* splitButton(const CMainDialog& w) {
    return control<CStylishCheckButton>(w, control_id::kSplit);
}
inline CStylishButton* newButton(const CMainDialog& w) {
    return control<CStylishButton>(w, control_id::kNew);
}
inline CStylishButton* openButton(const CMainDialog& w) {
    return control<CStylishButton>(w, control_id::kOpen);
}
inline CStylishButton* saveButton(const CMainDialog& w) {
    return control<CStylishButton>(w, control_id::kSave);
}
inline CStylishButton* saveAsButton(const CMainDialog& w) {
    return control<CStylishButton>(w, control_id::kSaveAs);
}
inline QCheckBox* keyboardHookBox(const CMainDialog& w) {
    return control<QCheckBox>(w, control_id::kKeyboardHook);
}
inline QPushButton* exitButton(const CMainDialog& w) {
    return control<QPushButton>(w, control_id::kExit);
}
inline PropertyPanel* panel(const CMainDialog& w) {
    return w.findChild<PropertyPanel*>(QString::fromLatin1(kPropertyPanelName));
}
inline MidiNotePump& notePump(const CMainDialog& w) {
    return *w.findChild<MidiNotePump*>(QString::fromLatin1(MidiNotePump::kObjectName));
}
inline CChInitDialog* initialMessageEditor(const CMainDialog& w) {
    return w.findChild<CChInitDialog*>();
}

}  // namespace tarvelo::ui

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
        services.recoveryDirectory = recoveryDirectory;
        window = std::make_unique<CMainDialog>(model, services);
        return window->initialize();
    }

    std::string title() const { return window->windowTitle().toStdString(); }
    // The file name the title shows, and whether it shows the modified mark after it.
    std::string shownFileName() const {
        std::string name = title().substr(0, title().size() - FileCommands::kTitleSuffix.size());
        if (!name.empty() && name.back() == '*')
            name.pop_back();
        return name;
    }
    bool modified() const {
        return title().size() > FileCommands::kTitleSuffix.size() &&
               title()[title().size() - FileCommands::kTitleSuffix.size() - 1] == '*';
    }

    // Opens the arrangement file at path as the user does, through the Open button and its file
    // dialog. True when the window then shows that file.
    bool open(const std::string& path) {
        dialogs.answers.push_back(path);
        control<CStylishButton>(*window, control_id::kOpen)->click();
        return shownFileName() == std::filesystem::path(path).filename().string();
    }

    // Lets queued events (posted closes, repaints, drains) run.
    static void settle() {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }

    VirtualBackend backend;
    MainWindowModel model{backend};  // what the window shows, outliving it as in the program
    tarvelo::testing::ScriptedMessageBoxes boxes;
    ScriptedFileDialogs dialogs;
    tarvelo::testing::TempDir references;
    tarvelo::testing::TempDir files;
    std::filesystem::path recoveryDirectory;  // none unless a test sets one
    std::unique_ptr<CMainDialog> window;
};

}  // namespace tarvelo::ui::testing
