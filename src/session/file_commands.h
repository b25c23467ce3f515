#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/arrangement_file.h"
#include "model/message_boxes.h"

namespace tarvelo {

class LiveSession;

// How the file dialogs are set up.
struct FileDialogOptions {
    std::string_view filterDescription = "Tarvelo Files (*.trv)";
    std::string_view filterPattern = "*.trv";
    std::string_view defaultExtension = "trv";  // added to a name typed without one
    bool confirmOverwrite = false;              // ask before an existing file is replaced
};

// The Open and Save As dialogs. User-interface thread.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // The chosen file's full path, or nullopt when the user cancelled.
    virtual std::optional<std::string> openFile(const FileDialogOptions& options) = 0;
    virtual std::optional<std::string> saveFileAs(const FileDialogOptions& options) = 0;
};

// What the file commands ask of the main window. User-interface thread.
class FileWindowHooks {
  public:
    virtual ~FileWindowHooks() = default;
    virtual void setTitle(std::string_view title) = 0;
    // After New or a load: show the arrangement's input device, select Part 0 alone (the band
    // selection's current Part), show Part 0 in the property panel and redraw the band strip.
    virtual void showNewArrangement() = 0;
};

// New, Open, Save, Save As and Close, with the file state (path, name, modified mark) and the
// window title. A load sends every Part's initial messages, Part 0 first, once the window shows
// the arrangement. User-interface thread.
//
// Unlike a bare read or write, a failure never loses work: a failed save is reported and the
// arrangement stays marked modified (a New, Open or Close waiting for that save does not go on),
// and a failed open is reported and changes nothing (not even the file name).
class FileCommands {
  public:
    static constexpr std::string_view kNewFileName = "NewFile.trv";
    static constexpr std::string_view kTitleSuffix = " - Tarvelo 1.0";
    static constexpr std::string_view kPromptCaption = "Tarvelo";
    static constexpr std::string_view kSaveChangesQuestion = "は変更されています。保存しますか？";

    // Everything passed in must outlive the commands.
    FileCommands(LiveSession& session, MessageBoxes& boxes, FileDialogs& dialogs,
                 FileWindowHooks& window);

    // The start-up arrangement: New without the prompt.
    void initialize();

    void newArrangement();
    // True when a file was loaded.
    bool open();
    // True when the arrangement was written.
    bool save();
    bool saveAs();
    // True when the window may close.
    bool close();

    // Loads `path` as Open does after its dialog and prompt. True on success.
    bool openPath(const std::string& path);

    // Every change the user makes calls this with true; the title follows.
    void setModified(bool modified);

    bool modified() const { return modified_; }
    const std::string& filePath() const { return filePath_; }
    const std::string& fileName() const { return fileName_; }
    std::string title() const;

  private:
    enum class SaveOutcome { Saved, Cancelled, Failed };
    enum class PromptOutcome { GoOn, Stop };
    enum class SaveWith { Save, SaveAs };

    // The save-changes prompt and, on Yes, the save: New always asks for a file name, Open and
    // Close save to the current path when there is one.
    PromptOutcome promptToSave(SaveWith how);
    SaveOutcome saveTo(const std::string& path);
    SaveOutcome runSave();
    SaveOutcome runSaveAs();
    void resetToNew();

    LiveSession& session_;
    MessageBoxes& boxes_;
    FileDialogs& dialogs_;
    FileWindowHooks& window_;
    std::string filePath_;
    std::string fileName_{kNewFileName};
    bool modified_ = false;
};

// The Japanese texts of the error boxes, exposed for the windows and the tests.
std::string describeReadError(const std::string& path, const FileError& error);
std::string describeWriteError(const std::string& path, const FileError& error);

}  // namespace tarvelo
