#pragma once

#include <string>
#include <string_view>

#include "model/arrangement_file.h"

namespace tarvelo::app {

// One line for standard error about an arrangement file that could not be read.
inline std::string fileErrorLine(std::string_view path, const FileError& error) {
    std::string line = "tarvelo: ";
    line +=
        error.kind == FileErrorKind::Corrupt ? "not a valid arrangement file: " : "cannot read ";
    line += path;
    line += ": ";
    line += error.detail;
    return line;
}

}  // namespace tarvelo::app
