#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/arrangement_file.h"
#include "model/message_boxes.h"
#include "model/set_list_file.h"

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
// Open takes an arrangement or a set list, told apart by the file's first bytes (fileKindOf),
// whatever its name. With a set list the file state is the song played now: the title names its
// arrangement file, Save writes that arrangement, and the modified mark is kept per song (the
// session's songModified), so New, Open and Close ask about every song with changes, each by its
// file name, and then about the list itself when it has changes (see setListModified).
//
// Unlike a bare read or write, a failure never loses work: a failed save is reported and the
// arrangement stays marked modified (a New, Open or Close waiting for that save does not go on),
// and a failed open is reported and changes nothing (not even the file name).
class FileCommands {
  public:
    static constexpr std::string_view kNewFileName = "NewFile.trv";
    static constexpr std::string_view kNewSetListName = "NewSetList.trvset";
    static constexpr std::string_view kTitleSuffix = " - Tarvelo 1.0";
    static constexpr std::string_view kPromptCaption = "Tarvelo";
    static constexpr std::string_view kSaveChangesQuestion = "は変更されています。保存しますか？";
    static constexpr std::string_view kSetListCaption = "セットリスト";

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

    // Loads `path` as Open does after its dialog and prompt; a set list starts with song
    // firstSong (0-based, clamped into the list). True on success.
    bool openPath(const std::string& path, int firstSong = 0);

    // Every change the user makes calls this with true; the title follows. It marks the song
    // played now.
    void setModified(bool modified);

    // The session switched songs: the title follows the new song's file and mark.
    void songChanged();

    // Asks, with the save-changes prompt naming its file, whether song index's changes are kept;
    // Yes saves the song to its file (Save As for one that has none). True when the caller may go
    // on: the song has no changes, it was saved, the answer was No, or its Save As was cancelled.
    bool offerToSaveSong(int index);

    // The set list's own changes (songs added, removed, moved, renamed, a song saved under another
    // name): kept apart from the songs' marks, and asked about after them.
    void setSetListModified(bool modified) { setListModified_ = modified; }
    bool setListModified() const { return setListModified_; }
    // Writes the set list to its file, or asks for one (Save As) when it has none. True when it
    // was written; a failure is reported and the list stays modified.
    bool saveSetList();
    bool saveSetListAs();
    // The set list's file name, or kNewSetListName for one not yet saved.
    std::string setListName() const;

    bool modified() const;
    std::string filePath() const;
    std::string fileName() const;
    std::string title() const;

  private:
    enum class SaveOutcome { Saved, Cancelled, Failed };
    enum class PromptOutcome { GoOn, Stop };
    enum class SaveWith { Save, SaveAs };

    // The save-changes prompt for every song with changes, then the set list's; on Yes, the
    // save: New always asks for a file name for a single arrangement, Open and Close save to the
    // current path when there is one; a song of a set list is saved to its own file.
    PromptOutcome promptToSave(SaveWith how);
    // The prompt naming `name`; Yes runs save.
    PromptOutcome prompt(const std::string& name, const std::function<SaveOutcome()>& save);
    SaveOutcome saveTo(const std::string& path);
    SaveOutcome saveSongTo(int index, const std::string& path);
    SaveOutcome runSave();
    SaveOutcome runSaveAs();
    SaveOutcome saveSetListTo(const std::string& path);
    SaveOutcome runSaveSetListAs();
    // After a load or New: the window shows it, unmodified.
    void shown();
    void resetToNew();

    LiveSession& session_;
    MessageBoxes& boxes_;
    FileDialogs& dialogs_;
    FileWindowHooks& window_;
    bool setListModified_ = false;
};

// The dialog set-ups: Open (arrangements and set lists), an arrangement alone (Save As, a song
// to add), a set list (its Save As).
FileDialogOptions openFileOptions();
FileDialogOptions arrangementFileOptions();
FileDialogOptions setListFileOptions();

// The Japanese texts of the error boxes, exposed for the windows and the tests.
std::string describeReadError(const std::string& path, const FileError& error);
std::string describeWriteError(const std::string& path, const FileError& error);
// A set list that cannot be read: a Japanese lead, the path, then every problem with its line,
// one a line, in the reader's words.
std::string describeSetListProblems(const std::string& path,
                                    const std::vector<SetListProblem>& problems);

}  // namespace tarvelo
