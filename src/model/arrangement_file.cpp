#include "model/arrangement_file.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "reference/input_file.h"
#include "reference/output_file.h"

namespace tarvelo {

namespace {

FileError osError(FileErrorKind kind, int error) {
    return FileError{kind, std::system_category().message(error)};
}

}  // namespace

ArrangementReadResult readArrangementFile(const std::string& path) {
    InputFileBytes read = readInputFile(path, input_limits::kArrangementBytes);
    if (!read.error)
        return decodeArrangement(read.bytes);
    switch (read.error->kind) {
        case InputFileError::Kind::TooLarge:
            return {std::nullopt,
                    FileError{FileErrorKind::Corrupt,
                              "larger than any arrangement (" + read.error->detail + ")"}};
        case InputFileError::Kind::CannotRead:
            return {std::nullopt, FileError{FileErrorKind::CannotRead, read.error->detail}};
        case InputFileError::Kind::CannotOpen:
        case InputFileError::Kind::NotAFile:
            break;
    }
    return {std::nullopt, FileError{FileErrorKind::CannotOpen, read.error->detail}};
}

std::optional<FileError> writeArrangementFile(const std::string& path,
                                              const StoredArrangement& arrangement) {
    const std::vector<std::uint8_t> bytes = encodeArrangement(arrangement);
    OutputFile file;
    if (auto error = file.open(path, OutputFile::Pending::Temporary))
        return FileError{FileErrorKind::CannotWrite, *error};
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file.fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return osError(FileErrorKind::CannotWrite, errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (auto error = file.commit())
        return FileError{FileErrorKind::CannotWrite, *error};
    return std::nullopt;
}

}  // namespace tarvelo
