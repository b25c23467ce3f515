#include "session/set_list_commands.h"

#include <optional>
#include <string>

#include "session/file_commands.h"
#include "session/live_session.h"

namespace tarvelo {

namespace {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

SetListCommands::SetListCommands(LiveSession& session, FileCommands& files, MessageBoxes& boxes,
                                 FileDialogs& dialogs)
    : session_(session), files_(files), boxes_(boxes), dialogs_(dialogs) {}

void SetListCommands::refuse(std::string_view text) {
    boxes_.show(text, FileCommands::kSetListCaption, MessageButtons::Ok, MessageIcon::Information);
}

bool SetListCommands::addSong() {
    if (!session_.playingSetList() && session_.songInfo(0).path.empty()) {
        refuse(kSaveArrangementFirst);
        return false;
    }
    if (session_.songCount() >= static_cast<int>(SetList::kMaxSongs)) {
        refuse(kListFull);
        return false;
    }
    const std::optional<std::string> path = dialogs_.openFile(arrangementFileOptions());
    if (!path)
        return false;
    if (const std::optional<FileError> error = session_.addSong(*path)) {
        boxes_.show(describeReadError(*path, *error), "", MessageButtons::Ok, MessageIcon::Error);
        return false;
    }
    files_.setSetListModified(true);
    return true;
}

bool SetListCommands::removeSong(int index) {
    if (index < 0 || index >= session_.songCount())
        return false;
    if (index == session_.currentSong()) {
        refuse(kCannotRemovePlayed);
        return false;
    }
    if (session_.songCount() <= 1) {
        refuse(kCannotRemoveLast);
        return false;
    }
    if (!files_.offerToSaveSong(index) || !session_.removeSong(index))
        return false;
    files_.setSetListModified(true);
    return true;
}

bool SetListCommands::moveSong(int index, int by) {
    if (!session_.moveSong(index, index + by))
        return false;
    files_.setSetListModified(true);
    return true;
}

bool SetListCommands::renameSong(int index, std::string_view name) {
    const std::string_view kept = trimmed(name);
    if (kept.empty() || kept.find_first_of("|\r\n") != std::string_view::npos) {
        refuse(kBadName);
        return false;
    }
    if (index < 0 || index >= session_.songCount())
        return false;
    if (session_.songInfo(index).name == kept)
        return true;
    if (!session_.renameSong(index, std::string(kept)))
        return false;
    files_.setSetListModified(true);
    return true;
}

}  // namespace tarvelo
