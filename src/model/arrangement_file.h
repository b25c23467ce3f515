#pragma once

#include <optional>
#include <string>

#include "model/arrangement_codec.h"

namespace tarvelo {

// Reads a file into memory and parses it.
ArrangementReadResult readArrangementFile(const std::string& path);

// Writes the file so that a failure never leaves a damaged or half-written file at `path`: the
// bytes go to a new file beside it, reach the disk, and only then replace the old file.
std::optional<FileError> writeArrangementFile(const std::string& path,
                                              const StoredArrangement& arrangement);

}  // namespace tarvelo
