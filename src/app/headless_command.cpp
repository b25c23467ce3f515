#include "app/headless_command.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/file_error_line.h"
#include "app/offline_render.h"
#include "app/stop_signals.h"
#include "midi/built_in_devices.h"
#include "model/set_list_file.h"
#include "session/headless_runner.h"

namespace tarvelo::app {

namespace {

// How often a run that plays a file looks whether it has ended.
constexpr int kPlayPollMs = 20;

// Loads the arrangement or the set list; says why not, one line per problem.
bool loaded(HeadlessRunner& session, std::string_view path, bool setList, int song) {
    if (!setList) {
        const auto error = session.load(std::string(path));
        if (error)
            std::fprintf(stderr, "%s\n", fileErrorLine(path, *error).c_str());
        return !error;
    }
    const std::vector<SetListProblem> problems =
        session.loadSetList(std::string(path), std::max(song, 0));
    for (const SetListProblem& problem : problems) {
        std::fprintf(stderr, "tarvelo: %.*s: %s\n", static_cast<int>(path.size()), path.data(),
                     problem.text().c_str());
    }
    if (!problems.empty())
        return false;
    if (song >= session.session().songCount()) {
        std::fprintf(stderr, "tarvelo: %.*s has %d songs: there is no song %d\n",
                     static_cast<int>(path.size()), path.data(), session.session().songCount(),
                     song + 1);
        return false;
    }
    return true;
}

}  // namespace

int runHeadless(std::string_view path, const MidiOptions& options, int song) {
    std::unique_ptr<MidiSystem> system = MidiSystem::open(options, true);
    if (!system)
        return 2;
    const FileKindResult kind = fileKindOf(std::string(path));
    if (kind.error) {
        std::fprintf(stderr, "tarvelo: cannot read %.*s: %s\n", static_cast<int>(path.size()),
                     path.data(), kind.error->detail.c_str());
        return 2;
    }
    const bool setList = kind.kind == FileKind::SetList;
    if (song >= 0 && !setList) {
        std::fprintf(stderr,
                     "tarvelo: option '--song' needs a set list, and %.*s is an arrangement\n",
                     static_cast<int>(path.size()), path.data());
        return 2;
    }
    int status = 0;
    // A run that plays a file has a recording that is whole once the file has played out; one
    // that routes the input until stopped, whenever it is stopped.
    bool complete = true;
    {
        // A stop that comes while the file loads or the lists go out is seen by the first wait.
        const StopSignals signals;
        if (signals.fd() < 0) {
            std::perror("tarvelo: eventfd");
            return 1;
        }
        const int stopFd = signals.fd();
        const PanicSignal panic;
        HeadlessRunner session(system->backend(), std::cerr);
        session.watchPanicRequests(panic.fd());
        const NextSongSignal nextSong;
        session.watchNextSongRequests(nextSong.fd());
        if (!loaded(session, path, setList, song)) {
            status = 2;
        } else if (!system->startRecording(stopFd)) {
            status = 2;
        } else {
            // What reaches the synthesizer before its SoundFont has loaded is lost.
            system->waitForSynth();
            // The file plays into the virtual input, so that is the input while it plays.
            if (system->playback() != nullptr)
                session.selectInput(kVirtualInputName);
            session.start();
            if (system->offline()) {
                complete = renderOffline(*system, session, stopFd) == RenderEnd::Played;
            } else if (system->playback() != nullptr) {
                system->startPlayback();
                while (!system->playedOut() && !system->recordingFailed() &&
                       session.processEvents(kPlayPollMs, stopFd)) {
                }
                complete = system->playedOut();
            } else {
                session.run(stopFd);
            }
            session.shutdown();
        }
    }
    if (!system->finish(complete) && status == 0)
        status = 1;
    return status;
}

}  // namespace tarvelo::app
