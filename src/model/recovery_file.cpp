#include "model/recovery_file.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <system_error>

namespace tarvelo {

namespace {
constexpr const char* kRecoveryFileName = "recovery.trv";
}  // namespace

std::filesystem::path defaultRecoveryDirectory() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/')
        return std::filesystem::path(state) / "tarvelo";
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::filesystem::path(home) / ".local" / "state" / "tarvelo";
    return {};
}

RecoveryWrite writeRecoveryFile(
    const std::filesystem::path& directory,
    const std::function<std::optional<FileError>(const std::string& path)>& save) {
    RecoveryWrite result;
    result.path = directory / kRecoveryFileName;
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec) {
        result.error = FileError{FileErrorKind::CannotWrite, ec.message()};
        return result;
    }
    result.error = save(result.path.string());
    return result;
}

std::optional<std::filesystem::path> takeRecoveryFile(const std::filesystem::path& directory,
                                                      std::chrono::system_clock::time_point now) {
    const std::filesystem::path pending = directory / kRecoveryFileName;
    std::error_code ec;
    if (directory.empty() || !std::filesystem::is_regular_file(pending, ec))
        return std::nullopt;
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    for (int n = 1; n < 100; ++n) {
        std::string name = std::string("recovered-") + stamp;
        if (n > 1)
            name += "-" + std::to_string(n);
        const std::filesystem::path kept = directory / (name + ".trv");
        // Never over a file of that name, even one that appears meanwhile.
        if (::renameat2(AT_FDCWD, pending.c_str(), AT_FDCWD, kept.c_str(), RENAME_NOREPLACE) == 0) {
            // Its companion goes along; a stray one of the new name belongs to no arrangement.
            const std::string companion = companionPath(kept.string());
            if (std::rename(companionPath(pending.string()).c_str(), companion.c_str()) != 0 &&
                errno == ENOENT)
                std::filesystem::remove(companion, ec);
            return kept;
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace tarvelo
