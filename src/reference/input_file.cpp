#include "reference/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <system_error>

namespace tarvelo {

namespace {

InputFileError systemError(InputFileError::Kind kind, int error) {
    return {kind, std::system_category().message(error)};
}

InputFileError tooLarge(std::uint64_t maxBytes) {
    const std::string size = maxBytes % input_limits::kMiB == 0
                                 ? std::to_string(maxBytes / input_limits::kMiB) + " MiB"
                                 : std::to_string(maxBytes) + " bytes";
    return {InputFileError::Kind::TooLarge, "larger than " + size};
}

// The file open for reading, checked; closes it when it goes.
struct CheckedFile {
    int fd = -1;
    std::uint64_t size = 0;
    std::optional<InputFileError> error;

    CheckedFile(const std::string& path, std::uint64_t maxBytes) {
        // O_NONBLOCK: opening a FIFO does not wait for a writer; it is refused below instead.
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            error = systemError(InputFileError::Kind::CannotOpen, errno);
            return;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            error = systemError(InputFileError::Kind::CannotRead, errno);
            return;
        }
        if (auto what = whyNotAFile(st.st_mode))
            error = InputFileError{InputFileError::Kind::NotAFile, *what};
        if (!error && static_cast<std::uint64_t>(st.st_size) > maxBytes)
            error = tooLarge(maxBytes);
        if (!error)
            size = static_cast<std::uint64_t>(st.st_size);
    }
    ~CheckedFile() {
        if (fd >= 0)
            ::close(fd);
    }
    CheckedFile(const CheckedFile&) = delete;
    CheckedFile& operator=(const CheckedFile&) = delete;
};

// Reads into bytes from `used` on until they are full or the file ends, counting in `used`.
std::optional<InputFileError> fill(int fd, std::vector<std::uint8_t>& bytes, std::size_t& used) {
    while (used < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return systemError(InputFileError::Kind::CannotRead, errno);
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> whyNotAFile(unsigned mode) {
    if (S_ISREG(mode))
        return std::nullopt;
    const char* what = S_ISDIR(mode)                    ? "a directory"
                       : S_ISFIFO(mode)                 ? "a FIFO"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                 ? "a socket"
                                                        : "a special file";
    return std::string(what) + ", not a file";
}

InputFileBytes readInputFile(const std::string& path, std::uint64_t maxBytes) {
    InputFileBytes result;
    const CheckedFile file(path, maxBytes);
    if (file.error) {
        result.error = file.error;
        return result;
    }
    // One byte more than the size said: a file that grows meanwhile is still held to the limit.
    result.bytes.resize(static_cast<std::size_t>(file.size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (auto error = fill(file.fd, result.bytes, used)) {
            result.error = error;
            result.bytes.clear();
            return result;
        }
        if (used < result.bytes.size())
            break;
        if (used > maxBytes) {
            result.error = tooLarge(maxBytes);
            result.bytes.clear();
            return result;
        }
        result.bytes.resize(std::min<std::uint64_t>(used * 2, maxBytes + 1));
    }
    result.bytes.resize(used);
    return result;
}

InputFileBytes readInputFileHead(const std::string& path, std::size_t count) {
    InputFileBytes result;
    const CheckedFile file(path, std::numeric_limits<std::uint64_t>::max());
    result.error = file.error;
    if (!result.error) {
        result.bytes.resize(count);
        std::size_t used = 0;
        result.error = fill(file.fd, result.bytes, used);
        result.bytes.resize(result.error ? 0 : used);
    }
    return result;
}

std::optional<InputFileError> checkInputFile(const std::string& path, std::uint64_t maxBytes) {
    return CheckedFile(path, maxBytes).error;
}

}  // namespace tarvelo
