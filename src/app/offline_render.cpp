#include "app/offline_render.h"

#include <array>
#include <cstdint>

namespace tarvelo::app {

namespace {
constexpr std::uint32_t kPeriodFrames = 256;
// The session looks at its mailbox every this many periods (about 85 ms of sound at 48 kHz).
constexpr int kPeriodsPerLook = 16;
}  // namespace

RenderEnd renderOffline(MidiSystem& system, HeadlessRunner& session, int stopFd) {
    synth::SynthEngine& engine = *system.engine();
    // The initial messages (each system-exclusive one waits for its completion) go out first.
    while (!session.idle()) {
        if (!session.processEvents(0, stopFd))
            return RenderEnd::Stopped;
    }
    // The synthesizer's worker applies tuning messages between two periods, whenever it gets to
    // them; the render starts once it has, so the same inputs always give the same bytes.
    engine.waitForTuning();
    system.startPlayback();
    std::array<float, kPeriodFrames> left{};
    std::array<float, kPeriodFrames> right{};
    for (int period = 0;; ++period) {
        engine.renderAudio(left.data(), right.data(), kPeriodFrames);
        if (system.recordingFailed())
            return RenderEnd::Failed;
        if (system.playedOut())
            return RenderEnd::Played;
        if (period % kPeriodsPerLook == 0 && !session.processEvents(0, stopFd))
            return RenderEnd::Stopped;
    }
}

}  // namespace tarvelo::app
