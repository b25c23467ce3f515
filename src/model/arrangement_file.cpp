#include "model/arrangement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace tarvelo {

namespace {

// No arrangement comes anywhere near this; anything larger is not one (or is /dev/zero).
constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

std::string systemReason(int error) {
    return std::system_category().message(error);
}

FileError osError(FileErrorKind kind, int error) {
    return FileError{kind, systemReason(error)};
}

}  // namespace

ArrangementReadResult readArrangementFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {std::nullopt, osError(FileErrorKind::CannotOpen, errno)};
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return {std::nullopt, osError(FileErrorKind::CannotRead, errno)};
    if (S_ISDIR(st.st_mode))
        return {std::nullopt, osError(FileErrorKind::CannotOpen, EISDIR)};

    std::vector<std::uint8_t> bytes;
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used > kMaxFileBytes) {
                return {std::nullopt, FileError{FileErrorKind::Corrupt,
                                                "larger than any arrangement (over " +
                                                    std::to_string(kMaxFileBytes >> 20) + " MiB)"}};
            }
            bytes.resize(std::min(std::max<std::size_t>(used * 2, 4096), kMaxFileBytes + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {std::nullopt, osError(FileErrorKind::CannotRead, errno)};
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return decodeArrangement(bytes);
}

std::optional<FileError> writeArrangementFile(const std::string& path,
                                              const StoredArrangement& arrangement) {
    const std::vector<std::uint8_t> bytes = encodeArrangement(arrangement);

    // Replace what a symbolic link points at, not the link.
    std::filesystem::path target(path);
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(target, ec))) {
        const auto resolved = std::filesystem::weakly_canonical(target, ec);
        if (!ec)
            target = resolved;
    }

    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && S_ISDIR(old.st_mode))
        return osError(FileErrorKind::CannotWrite, EISDIR);

    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target.string() + ".tmp-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter++);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return osError(FileErrorKind::CannotWrite, errno);

    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temp.c_str());
        return osError(FileErrorKind::CannotWrite, error);
    };

    // The new file takes the old one's permissions (the owner may differ; that cannot be kept).
    if (replacing)
        (void)::fchmod(fd, old.st_mode & 07777);

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return osError(FileErrorKind::CannotWrite, error);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return osError(FileErrorKind::CannotWrite, error);
    }
    // Make the rename itself durable; a failure here leaves a complete file either way.
    const std::string dir =
        target.has_parent_path() ? target.parent_path().string() : std::string(".");
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return std::nullopt;
}

}  // namespace tarvelo
