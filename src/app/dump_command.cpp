#include "app/dump_command.h"

#include <cstdio>
#include <string>

#include "app/file_error_line.h"
#include "model/arrangement_json.h"

namespace tarvelo::app {

int runDump(std::string_view path) {
    const ArrangementReadResult read = readArrangementFile(std::string(path));
    if (!read.ok()) {
        std::fprintf(stderr, "%s\n", fileErrorLine(path, read.error).c_str());
        return 2;
    }
    const std::string json = arrangementToJson(*read.arrangement);
    if (std::fwrite(json.data(), 1, json.size(), stdout) != json.size() ||
        std::fflush(stdout) != 0) {
        std::perror("tarvelo: writing the dump");
        return 1;
    }
    return 0;
}

}  // namespace tarvelo::app
