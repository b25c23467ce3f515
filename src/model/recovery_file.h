#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "model/arrangement_file.h"

namespace tarvelo {

// An arrangement that was not saved when the window was stopped by a signal is written to
// "recovery.trv" in the recovery directory (with its companion file, as every save), so that
// nothing is lost; the next start takes it out of the way (under a name with the date) and offers
// to open it.

// $XDG_STATE_HOME/tarvelo, or ~/.local/state/tarvelo; empty when neither can be told.
std::filesystem::path defaultRecoveryDirectory();

// Makes the directory when needed and has `save` write the arrangement to `directory`/recovery.trv;
// returns the file's path, or the error.
struct RecoveryWrite {
    std::filesystem::path path;
    std::optional<FileError> error;
};
RecoveryWrite writeRecoveryFile(
    const std::filesystem::path& directory,
    const std::function<std::optional<FileError>(const std::string& path)>& save);

// When `directory`/recovery.trv exists: renames it to recovered-YYYYMMDD-HHMMSS.trv (local time
// `now`; a number is added when that name is taken), and its companion file with it, and
// returns the new path. Without such a
// file, or when it cannot be renamed, nullopt, and the file stays where it is.
std::optional<std::filesystem::path> takeRecoveryFile(
    const std::filesystem::path& directory,
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

}  // namespace tarvelo
