#include "app/headless_command.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "app/file_error_line.h"
#include "app/stop_signals.h"
#include "midi/backends/backend_factory.h"
#include "session/headless_runner.h"

namespace tarvelo::app {

int runHeadless(std::string_view path, std::string_view api) {
    std::unique_ptr<MidiBackend> backend = createBackend(api);
    if (!backend) {
        std::fprintf(stderr, "tarvelo: unknown MIDI API '%s'\n", requestedMidiApi(api).c_str());
        return 2;
    }
    // A stop that comes while the file loads or the lists go out is seen by the first wait.
    const StopSignals signals;
    if (signals.fd() < 0) {
        std::perror("tarvelo: eventfd");
        return 1;
    }
    HeadlessRunner session(*backend, std::cerr);
    if (const auto error = session.load(std::string(path))) {
        std::fprintf(stderr, "%s\n", fileErrorLine(path, *error).c_str());
        return 2;
    }
    session.start();
    session.run(signals.fd());
    session.shutdown();
    return 0;
}

}  // namespace tarvelo::app
