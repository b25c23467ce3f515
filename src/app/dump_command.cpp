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
    // The companion's settings are shown when it can be used; otherwise the arrangement alone,
    // as a load would open it, and one line says why.
    const CompanionReadResult companion =
        readCompanionFile(std::string(path), static_cast<int>(read.arrangement->parts.size()));
    if (companion.fault) {
        std::fprintf(stderr, "tarvelo: '%s': %s; its settings are not shown\n",
                     companionPath(std::string(path)).c_str(), companion.fault->detail.c_str());
    }
    const std::string json =
        arrangementToJson(*read.arrangement, companion.settings ? &*companion.settings : nullptr);
    if (std::fwrite(json.data(), 1, json.size(), stdout) != json.size() ||
        std::fflush(stdout) != 0) {
        std::perror("tarvelo: writing the dump");
        return 1;
    }
    return 0;
}

}  // namespace tarvelo::app
