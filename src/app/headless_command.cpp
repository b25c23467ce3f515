#include "app/headless_command.h"

#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "app/file_error_line.h"
#include "app/offline_render.h"
#include "midi/built_in_devices.h"
#include "session/headless_runner.h"

namespace tarvelo::app {

namespace {

// Written by the signal handler, watched by the session's loop. Set before the handlers are
// installed and closed after they are restored.
int stopFd = -1;

extern "C" void onStopSignal(int) {
    const int saved = errno;
    const std::uint64_t one = 1;
    // write() is async-signal-safe; a full counter cannot happen with one write per signal.
    [[maybe_unused]] const auto written = ::write(stopFd, &one, sizeof one);
    errno = saved;
}

// Installs the stop handlers for its lifetime.
class StopSignals {
  public:
    StopSignals() {
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &oldInt_);
        ::sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~StopSignals() {
        ::sigaction(SIGINT, &oldInt_, nullptr);
        ::sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

// How often a run that plays a file looks whether it has ended.
constexpr int kPlayPollMs = 20;

}  // namespace

int runHeadless(std::string_view path, const MidiOptions& options) {
    std::unique_ptr<MidiSystem> system = MidiSystem::open(options, true);
    if (!system)
        return 2;
    stopFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (stopFd < 0) {
        std::perror("tarvelo: eventfd");
        return 1;
    }
    int status = 0;
    {
        // A stop that comes while the file loads or the lists go out is seen by the first wait.
        const StopSignals signals;
        HeadlessRunner session(system->backend(), std::cerr);
        if (const auto error = session.load(std::string(path))) {
            std::fprintf(stderr, "%s\n", fileErrorLine(path, *error).c_str());
            status = 2;
        } else {
            // What reaches the synthesizer before its SoundFont has loaded is lost.
            system->waitForSynth();
            // The file plays into the virtual input, so that is the input while it plays.
            if (system->playback() != nullptr)
                session.selectInput(kVirtualInputName);
            session.start();
            if (system->offline()) {
                renderOffline(*system, session, stopFd);
            } else if (system->playback() != nullptr) {
                system->startPlayback();
                while (!system->playedOut() && session.processEvents(kPlayPollMs, stopFd)) {
                }
            } else {
                session.run(stopFd);
            }
            session.shutdown();
        }
    }
    ::close(stopFd);
    stopFd = -1;
    if (!system->finish() && status == 0)
        status = 1;
    return status;
}

}  // namespace tarvelo::app
