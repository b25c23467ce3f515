#include "session/file_commands.h"

#include <filesystem>

#include "session/live_session.h"

namespace tarvelo {

namespace {

std::string lastComponent(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

FileDialogOptions withOverwritePrompt(FileDialogOptions options) {
    options.confirmOverwrite = true;
    return options;
}

}  // namespace

FileDialogOptions openFileOptions() {
    FileDialogOptions options;
    options.filterDescription = "Tarvelo Files (*.trv *.trvset)";
    options.filterPattern = "*.trv *.trvset";
    return options;
}

FileDialogOptions arrangementFileOptions() {
    return FileDialogOptions{};
}

FileDialogOptions setListFileOptions() {
    FileDialogOptions options;
    options.filterDescription = "セットリスト (*.trvset)";
    options.filterPattern = "*.trvset";
    options.defaultExtension = "trvset";
    return options;
}

std::string describeReadError(const std::string& path, const FileError& error) {
    std::string text = error.kind == FileErrorKind::Corrupt
                           ? "ファイルが壊れているか、Tarvelo のファイルではありません。\n"
                           : "ファイルを読み込めませんでした。\n";
    text += path;
    text += "\n";
    text += error.detail;
    return text;
}

std::string describeWriteError(const std::string& path, const FileError& error) {
    std::string text = "ファイルを保存できませんでした。\n";
    text += path;
    text += "\n";
    text += error.detail;
    return text;
}

std::string describeSetListProblems(const std::string& path,
                                    const std::vector<SetListProblem>& problems) {
    std::string text = "セットリストを読み込めませんでした。\n";
    text += path;
    for (const SetListProblem& problem : problems) {
        text += "\n";
        text += problem.text();
    }
    return text;
}

FileCommands::FileCommands(LiveSession& session, MessageBoxes& boxes, FileDialogs& dialogs,
                           FileWindowHooks& window)
    : session_(session), boxes_(boxes), dialogs_(dialogs), window_(window) {}

bool FileCommands::modified() const {
    return session_.songModified(session_.currentSong());
}

std::string FileCommands::filePath() const {
    return session_.songInfo(session_.currentSong()).path;
}

std::string FileCommands::fileName() const {
    const std::string path = filePath();
    return path.empty() ? std::string(kNewFileName) : lastComponent(path);
}

std::string FileCommands::setListName() const {
    return session_.setListPath().empty() ? std::string(kNewSetListName)
                                          : lastComponent(session_.setListPath());
}

std::string FileCommands::title() const {
    std::string t = fileName();
    if (modified())
        t += "*";
    t += kTitleSuffix;
    return t;
}

void FileCommands::setModified(bool modified) {
    session_.setSongModified(session_.currentSong(), modified);
    window_.setTitle(title());
}

void FileCommands::songChanged() {
    window_.setTitle(title());
}

void FileCommands::initialize() {
    resetToNew();
}

void FileCommands::resetToNew() {
    session_.newArrangement();
    shown();
}

void FileCommands::shown() {
    setListModified_ = false;
    setModified(false);
    window_.showNewArrangement();
}

FileCommands::PromptOutcome FileCommands::prompt(const std::string& name,
                                                 const std::function<SaveOutcome()>& save) {
    std::string text = name;
    text += "\n";
    text += kSaveChangesQuestion;
    const MessageAnswer answer =
        boxes_.show(text, kPromptCaption, MessageButtons::YesNoCancel, MessageIcon::Information);
    if (answer == MessageAnswer::Cancel)
        return PromptOutcome::Stop;
    if (answer != MessageAnswer::Yes)
        return PromptOutcome::GoOn;
    // A cancelled file dialog still lets the command go on (the user chose to drop the changes
    // there); a save that failed stops it, so the changes are not lost.
    return save() == SaveOutcome::Failed ? PromptOutcome::Stop : PromptOutcome::GoOn;
}

FileCommands::PromptOutcome FileCommands::promptToSave(SaveWith how) {
    if (!session_.playingSetList()) {
        if (!modified())
            return PromptOutcome::GoOn;
        return prompt(fileName(),
                      [this, how] { return how == SaveWith::SaveAs ? runSaveAs() : runSave(); });
    }
    for (int song = 0; song < session_.songCount(); ++song) {
        if (!offerToSaveSong(song))
            return PromptOutcome::Stop;
    }
    if (!setListModified_)
        return PromptOutcome::GoOn;
    return prompt(setListName(), [this] {
        return session_.setListPath().empty() ? runSaveSetListAs()
                                              : saveSetListTo(session_.setListPath());
    });
}

bool FileCommands::offerToSaveSong(int index) {
    if (!session_.songModified(index))
        return true;
    const std::string path = session_.songInfo(index).path;
    const std::string name = path.empty() ? std::string(kNewFileName) : lastComponent(path);
    return prompt(name, [this, index, &path] {
               if (!path.empty())
                   return saveSongTo(index, path);
               const std::optional<std::string> chosen =
                   dialogs_.saveFileAs(withOverwritePrompt(arrangementFileOptions()));
               return chosen ? saveSongTo(index, *chosen) : SaveOutcome::Cancelled;
           }) == PromptOutcome::GoOn;
}

void FileCommands::newArrangement() {
    if (promptToSave(SaveWith::SaveAs) == PromptOutcome::Stop)
        return;
    resetToNew();
}

bool FileCommands::open() {
    const std::optional<std::string> path = dialogs_.openFile(openFileOptions());
    if (!path)
        return false;
    if (promptToSave(SaveWith::Save) == PromptOutcome::Stop)
        return false;
    return openPath(*path);
}

bool FileCommands::openPath(const std::string& path, int firstSong) {
    // What the file is, by its first bytes; one that cannot be opened is said as an
    // arrangement's read error.
    const FileKindResult kind = fileKindOf(path);
    if (!kind.error && kind.kind == FileKind::SetList) {
        const std::vector<SetListProblem> problems = session_.loadSetList(path, firstSong);
        if (!problems.empty()) {
            boxes_.show(describeSetListProblems(path, problems), kSetListCaption,
                        MessageButtons::Ok, MessageIcon::Error);
            return false;
        }
    } else if (const std::optional<FileError> error = session_.load(path)) {
        boxes_.show(describeReadError(path, *error), "", MessageButtons::Ok, MessageIcon::Error);
        return false;
    }
    shown();
    session_.sendAllInitialMessages();
    return true;
}

bool FileCommands::save() {
    return runSave() == SaveOutcome::Saved;
}

bool FileCommands::saveAs() {
    return runSaveAs() == SaveOutcome::Saved;
}

FileCommands::SaveOutcome FileCommands::runSave() {
    const std::string path = filePath();
    if (path.empty())
        return runSaveAs();
    return saveTo(path);
}

FileCommands::SaveOutcome FileCommands::runSaveAs() {
    const std::optional<std::string> path =
        dialogs_.saveFileAs(withOverwritePrompt(arrangementFileOptions()));
    if (!path)
        return SaveOutcome::Cancelled;
    return saveTo(*path);
}

FileCommands::SaveOutcome FileCommands::saveTo(const std::string& path) {
    return saveSongTo(session_.currentSong(), path);
}

FileCommands::SaveOutcome FileCommands::saveSongTo(int index, const std::string& path) {
    const std::string before = session_.songInfo(index).path;
    if (const std::optional<FileError> error = session_.saveSong(index, path)) {
        boxes_.show(describeWriteError(path, *error), "", MessageButtons::Ok, MessageIcon::Error);
        return SaveOutcome::Failed;
    }
    // A song saved under another name is named so in the list from now on.
    if (session_.playingSetList() && path != before)
        setListModified_ = true;
    session_.setSongModified(index, false);
    window_.setTitle(title());
    return SaveOutcome::Saved;
}

bool FileCommands::close() {
    return promptToSave(SaveWith::Save) == PromptOutcome::GoOn;
}

bool FileCommands::saveSetList() {
    if (session_.setListPath().empty())
        return saveSetListAs();
    return saveSetListTo(session_.setListPath()) == SaveOutcome::Saved;
}

bool FileCommands::saveSetListAs() {
    return runSaveSetListAs() == SaveOutcome::Saved;
}

FileCommands::SaveOutcome FileCommands::runSaveSetListAs() {
    const std::optional<std::string> path =
        dialogs_.saveFileAs(withOverwritePrompt(setListFileOptions()));
    if (!path)
        return SaveOutcome::Cancelled;
    return saveSetListTo(*path);
}

FileCommands::SaveOutcome FileCommands::saveSetListTo(const std::string& path) {
    if (const std::optional<FileError> error = session_.saveSetList(path)) {
        boxes_.show(describeWriteError(path, *error), "", MessageButtons::Ok, MessageIcon::Error);
        return SaveOutcome::Failed;
    }
    setListModified_ = false;
    return SaveOutcome::Saved;
}

}  // namespace tarvelo
