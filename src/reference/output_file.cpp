#include "reference/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "reference/input_file.h"

namespace tarvelo {

namespace {

namespace fs = std::filesystem;

// Tries this many names before giving up (the earlier ones taken by files left behind).
constexpr int kNameAttempts = 100;

std::string reason(int error) {
    return std::system_category().message(error);
}

std::string pendingName(const fs::path& target, OutputFile::Pending pending, int attempt) {
    if (pending == OutputFile::Pending::Temporary) {
        // Several files may be written at once from one process (an arrangement and its
        // companions); the number keeps their names apart.
        static std::atomic<unsigned> counter{0};
        return target.string() + ".tmp-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
    }
    fs::path name = target.parent_path() / target.stem();
    name += attempt == 0 ? ".partial" : ".partial-" + std::to_string(attempt + 1);
    name += target.extension();
    return name.string();
}

}  // namespace

OutputFile::~OutputFile() {
    abandon();
}

std::optional<std::string> OutputFile::open(const std::string& target, Pending pending) {
    abandon();
    fs::path resolved(target);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(resolved, ec))) {
        const fs::path destination = fs::weakly_canonical(resolved, ec);
        if (!ec)
            resolved = destination;
    }
    struct stat old {};
    const bool replacing = ::stat(resolved.c_str(), &old) == 0;
    if (replacing) {
        if (auto what = whyNotAFile(old.st_mode))
            return what;
    }

    int error = 0;
    for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
        path_ = pendingName(resolved, pending, attempt);
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        error = errno;
        if (fd_ < 0 && error != EEXIST)
            break;
    }
    if (fd_ < 0) {
        path_.clear();
        return reason(error);
    }
    // The new file takes the old one's permissions (the owner may differ; that cannot be kept).
    if (replacing)
        (void)::fchmod(fd_, old.st_mode & 07777);
    pending_ = pending;
    target_ = resolved.string();
    return std::nullopt;
}

std::optional<std::string> OutputFile::writeAll(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0)
        return reason(EBADF);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return reason(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

std::optional<std::string> OutputFile::sync() {
    if (fd_ < 0)
        return reason(EBADF);
    if (::fsync(fd_) != 0)
        return reason(errno);
    return std::nullopt;
}

std::optional<std::string> OutputFile::commit() {
    if (fd_ < 0)
        return reason(EBADF);
    if (::fsync(fd_) != 0) {
        const int error = errno;
        abandon();
        return reason(error);
    }
    const int closed = ::close(fd_);
    const int closeError = errno;
    fd_ = -1;
    if (closed != 0 || ::rename(path_.c_str(), target_.c_str()) != 0) {
        const int error = closed != 0 ? closeError : errno;
        abandon();
        return reason(error);
    }
    // Make the rename itself durable; a failure here leaves a complete file either way.
    const fs::path target(target_);
    const std::string dir = target.has_parent_path() ? target.parent_path().string() : ".";
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    path_.clear();
    return std::nullopt;
}

void OutputFile::abandon() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!path_.empty() && pending_ == Pending::Temporary) {
        ::unlink(path_.c_str());
        path_.clear();
    }
}

}  // namespace tarvelo
