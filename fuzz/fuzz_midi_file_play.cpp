// Feeds arbitrary bytes through the path `tarvelo --headless demo.trv --play FILE` takes, short
// of the sound: the MIDI file reader (FluidSynth's parser and our timing), the playback one
// period at a time, and the demo arrangement loaded by the headless runner and routing on a
// virtual MIDI system whose devices carry the built-in ones' names. Checks what every schedule
// and every routed stream must satisfy.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <sstream>
#include <string>

#include "midi/backends/virtual/virtual_backend.h"
#include "midi/built_in_devices.h"
#include "midi/synth/file_playback.h"
#include "midi/synth/midi_file_schedule.h"
#include "session/headless_runner.h"

namespace {

// FluidSynth's lowest rate: timing a long file takes the fewest blocks. Periods play the same.
constexpr std::uint32_t kRate = 8000;
constexpr std::uint32_t kPeriodFrames = 256;
// The runner looks at its mailbox every this many periods, as the offline render does.
constexpr std::uint64_t kPeriodsPerLook = 16;
// Playing stops here: a valid file may last six hours, and later periods add nothing new.
constexpr std::uint64_t kMaxFrames = std::uint64_t{120} * kRate;

void check(bool condition) {
    if (!condition)
        std::abort();
}

void checkSchedule(const tarvelo::synth::MidiFileSchedule& schedule) {
    std::uint64_t previous = 0;
    for (const tarvelo::synth::ScheduledMessage& m : schedule.messages) {
        check(m.frame >= previous);
        check(tarvelo::isWellFormedShortMessage(m.message));
        previous = m.frame;
    }
    check(schedule.endFrame == previous);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    auto schedule = tarvelo::synth::readMidiFile(std::span(data, size), kRate, "input", error);
    if (!schedule) {
        check(!error.empty());
        return 0;
    }
    checkSchedule(*schedule);
    const std::size_t scheduled = schedule->messages.size();

    // The devices stay (making their logs is most of the work); a fresh runner opens them
    // anew each time, so that no note or controller of one input reaches the next.
    static tarvelo::VirtualBackend backend(std::size_t{1} << 16);
    [[maybe_unused]] static const bool devicesAdded = [] {
        backend.addInput(tarvelo::kVirtualInputName);
        backend.addOutput(tarvelo::kSynthDeviceName);
        return true;
    }();
    std::ostringstream diagnostics;
    tarvelo::HeadlessRunner runner(backend, diagnostics);
    check(!runner.load(TARVELO_SOURCE_DIR "/data/demo.trv"));
    runner.start();
    while (!runner.idle())
        runner.processEvents(0);
    backend.clearRecords();

    tarvelo::synth::FilePlayback playback(std::move(*schedule));
    playback.start();
    std::size_t played = 0;
    for (std::uint64_t frame = 0; !playback.finished() && frame < kMaxFrames;
         frame += kPeriodFrames) {
        playback.playPeriod(kPeriodFrames, [&](std::uint32_t at, tarvelo::PackedMessage m) {
            check(at < kPeriodFrames);
            backend.inject(0, m);
            ++played;
        });
        if (frame % (kPeriodsPerLook * kPeriodFrames) == 0)
            runner.processEvents(0);
    }
    check(played <= scheduled);
    // A message reaches each of the demo's two parts once at most.
    const auto routed = backend.shortMessages(tarvelo::kSynthDeviceName);
    check(routed.size() <= 2 * played);
    for (const tarvelo::PackedMessage m : routed)
        check(tarvelo::isWellFormedShortMessage(m));
    runner.shutdown();
    return 0;
}
