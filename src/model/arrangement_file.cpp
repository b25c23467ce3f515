#include "model/arrangement_file.h"

#include <filesystem>

#include "reference/input_file.h"
#include "reference/output_file.h"

namespace tarvelo {

namespace {

FileError writeError(std::string detail) {
    return FileError{FileErrorKind::CannotWrite, std::move(detail)};
}

// Writes `bytes` to a pending file for `path` and makes them durable; the file takes its name
// only at commit().
std::optional<std::string> prepare(OutputFile& file, const std::string& path,
                                   std::span<const std::uint8_t> bytes) {
    if (auto error = file.open(path, OutputFile::Pending::Temporary))
        return error;
    if (auto error = file.writeAll(bytes))
        return error;
    return file.sync();
}

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
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
    OutputFile file;
    if (auto error = prepare(file, path, encodeArrangement(arrangement)))
        return writeError(*error);
    if (auto error = file.commit())
        return writeError(*error);
    return std::nullopt;
}

std::optional<FileError> writeArrangementFiles(const std::string& path,
                                               const StoredArrangement& arrangement,
                                               const CompanionSettings& settings) {
    const std::string companion = companionPath(path);
    const auto companionError = [&companion](const std::string& reason) {
        return writeError(std::filesystem::path(companion).filename().string() + ": " + reason);
    };
    // Both are made whole and durable before either takes its name, so a failure up to here
    // leaves both earlier files as they were.
    OutputFile trv;
    OutputFile json;
    if (auto error = prepare(trv, path, encodeArrangement(arrangement)))
        return writeError(*error);
    if (auto error = prepare(json, companion, bytesOf(encodeCompanion(settings))))
        return companionError(*error);
    if (auto error = trv.commit())
        return writeError(*error);
    if (auto error = json.commit())
        return companionError(*error);
    return std::nullopt;
}

}  // namespace tarvelo
