#include "session/file_commands.h"

#include <filesystem>

#include "session/live_session.h"

namespace tarvelo {

namespace {

std::string lastComponent(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

FileDialogOptions openOptions() {
    return FileDialogOptions{};
}

FileDialogOptions saveAsOptions() {
    FileDialogOptions options;
    options.confirmOverwrite = true;
    return options;
}

}  // namespace

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

FileCommands::FileCommands(LiveSession& session, MessageBoxes& boxes, FileDialogs& dialogs,
                           FileWindowHooks& window)
    : session_(session), boxes_(boxes), dialogs_(dialogs), window_(window) {}

std::string FileCommands::title() const {
    std::string t = fileName_;
    if (modified_)
        t += "*";
    t += kTitleSuffix;
    return t;
}

void FileCommands::setModified(bool modified) {
    modified_ = modified;
    window_.setTitle(title());
}

void FileCommands::initialize() {
    resetToNew();
}

void FileCommands::resetToNew() {
    session_.newArrangement();
    fileName_ = kNewFileName;
    filePath_.clear();
    setModified(false);
    window_.showNewArrangement();
}

FileCommands::PromptOutcome FileCommands::promptToSave(SaveWith how) {
    std::string text = fileName_;
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
    const SaveOutcome saved = how == SaveWith::SaveAs ? runSaveAs() : runSave();
    return saved == SaveOutcome::Failed ? PromptOutcome::Stop : PromptOutcome::GoOn;
}

void FileCommands::newArrangement() {
    if (modified_ && promptToSave(SaveWith::SaveAs) == PromptOutcome::Stop)
        return;
    resetToNew();
}

bool FileCommands::open() {
    const std::optional<std::string> path = dialogs_.openFile(openOptions());
    if (!path)
        return false;
    if (modified_ && promptToSave(SaveWith::Save) == PromptOutcome::Stop)
        return false;
    return openPath(*path);
}

bool FileCommands::openPath(const std::string& path) {
    if (const std::optional<FileError> error = session_.load(path)) {
        boxes_.show(describeReadError(path, *error), "", MessageButtons::Ok, MessageIcon::Error);
        return false;
    }
    filePath_ = path;
    fileName_ = lastComponent(path);
    window_.showNewArrangement();
    session_.sendAllInitialMessages();
    setModified(false);
    return true;
}

bool FileCommands::save() {
    return runSave() == SaveOutcome::Saved;
}

bool FileCommands::saveAs() {
    return runSaveAs() == SaveOutcome::Saved;
}

FileCommands::SaveOutcome FileCommands::runSave() {
    if (filePath_.empty())
        return runSaveAs();
    return saveTo(filePath_);
}

FileCommands::SaveOutcome FileCommands::runSaveAs() {
    const std::optional<std::string> path = dialogs_.saveFileAs(saveAsOptions());
    if (!path)
        return SaveOutcome::Cancelled;
    return saveTo(*path);
}

FileCommands::SaveOutcome FileCommands::saveTo(const std::string& path) {
    if (const std::optional<FileError> error = session_.save(path)) {
        boxes_.show(describeWriteError(path, *error), "", MessageButtons::Ok, MessageIcon::Error);
        return SaveOutcome::Failed;
    }
    filePath_ = path;
    fileName_ = lastComponent(path);
    setModified(false);
    return SaveOutcome::Saved;
}

bool FileCommands::close() {
    if (!modified_)
        return true;
    return promptToSave(SaveWith::Save) == PromptOutcome::GoOn;
}

}  // namespace tarvelo
