#pragma once

#include <optional>
#include <string>

#include "model/arrangement_codec.h"
#include "model/companion_file.h"

namespace tarvelo {

// Reads a file into memory and parses it.
ArrangementReadResult readArrangementFile(const std::string& path);

// Writes the file so that a failure never leaves a damaged or half-written file at `path`: the
// bytes go to a new file beside it, reach the disk, and only then replace the old file.
std::optional<FileError> writeArrangementFile(const std::string& path,
                                              const StoredArrangement& arrangement);

// Writes the arrangement file and its companion (companionPath), each as writeArrangementFile
// does, and both whole and on disk before either replaces its earlier file; then the arrangement
// file takes its name, and the companion right after it. No two files can be replaced in one
// step: a failure before the first rename leaves both earlier files, one between the two renames
// (rare: the disk fails or the companion's name is taken by a directory meanwhile) leaves the new
// arrangement file beside the earlier companion, and is returned naming the companion.
std::optional<FileError> writeArrangementFiles(const std::string& path,
                                               const StoredArrangement& arrangement,
                                               const CompanionSettings& settings);

}  // namespace tarvelo
