#include "midi/synth/synth_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "midi/synth/midi_file_schedule.h"
#include "midi/synth/sound_font_locator.h"
#include "support/midi_file_writer.h"
#include "support/temp_dir.h"

namespace tarvelo::synth {
namespace {

constexpr const char* kSmallSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

std::size_t firstSound(const std::array<float, 256>& samples) {
    const auto it =
        std::find_if(samples.begin(), samples.end(), [](float s) { return std::fabs(s) > 1e-6f; });
    return static_cast<std::size_t>(it - samples.begin());
}

TEST(SynthEngine, ANoteFromTheInputThreadSoundsFromItsFrameInThePeriod) {
    SynthEngine engine(kSmallSoundFont, 48000);
    ASSERT_EQ(engine.waitUntilLoaded(), SynthEngine::State::Ready);
    std::array<float, 256> left{};
    std::array<float, 256> right{};
    engine.renderAudio(left.data(), right.data(), 256);
    EXPECT_EQ(firstSound(left), left.size()) << "silence before any note";

    // The input thread hands over a piano key at frame 128 of the coming period.
    std::thread input([&engine] { engine.sendFromInput(packMessage(0x90, 60, 127), 128); });
    input.join();
    engine.renderAudio(left.data(), right.data(), 256);
    const std::size_t onset = firstSound(left);
    EXPECT_GE(onset, 128u);
    EXPECT_LT(onset, 128u + 64u) << "FluidSynth starts a voice on its next 64-frame block";
    EXPECT_GT(engine.activeVoices(), 0);

    // The owner's release goes out at the start of the next period; the voice then dies away.
    engine.sendFromOwner(packMessage(0x80, 60, 0));
    for (int i = 0; i < 48000 * 5 / 256 && engine.activeVoices() > 0; ++i)
        engine.renderAudio(left.data(), right.data(), 256);
    EXPECT_EQ(engine.activeVoices(), 0);
}

// When a set-up is sent: once the SoundFont has loaded, or at once, while it loads (with a
// period rendered meanwhile, as an audio thread would, and a key played too early to sound).
enum class SetUp { Loaded, WhileLoading };

// A second of A4 on channel 1, after the given set-up. Empty when the SoundFont loaded too fast
// to send anything while it loaded.
std::vector<float> noteAfter(const std::vector<std::vector<std::uint8_t>>& setUp,
                             SetUp when = SetUp::Loaded) {
    SynthEngine engine(kSmallSoundFont, 48000);
    std::array<float, 256> left{};
    std::array<float, 256> right{};
    if (when == SetUp::Loaded) {
        EXPECT_EQ(engine.waitUntilLoaded(), SynthEngine::State::Ready);
    }
    for (const auto& message : setUp) {
        if (message[0] == 0xF0) {
            EXPECT_TRUE(engine.sendExclusive(message));
        } else {
            engine.sendFromOwner(packMessage(message[0], message[1], 0));
        }
    }
    if (when == SetUp::WhileLoading) {
        engine.sendFromOwner(packMessage(0x90, 60, 127));
        engine.renderAudio(left.data(), right.data(), 256);
        if (engine.state() != SynthEngine::State::Loading)
            return {};
        EXPECT_EQ(engine.waitUntilLoaded(), SynthEngine::State::Ready);
    }
    // A render thread that runs all the time would give the worker its turn between periods.
    engine.waitForTuning();
    engine.sendFromOwner(packMessage(0x90, 69, 100));
    std::vector<float> sound;
    for (int i = 0; i < 48000 / 256; ++i) {
        engine.renderAudio(left.data(), right.data(), 256);
        sound.insert(sound.end(), left.begin(), left.end());
    }
    return sound;
}

// A part's initial messages are sent as soon as its arrangement loads, which at start-up is
// before the SoundFont has: they must still set the sound up, while a key played then stays
// silent rather than sound late.
TEST(SynthEngine, ASetUpSentWhileTheSoundFontLoadsTakesEffectOnceItHasLoaded) {
    const std::vector<std::uint8_t> trumpet = {0xC0, 56};
    const std::vector<std::uint8_t> gsReset = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40,
                                               0x00, 0x7F, 0x00, 0x41, 0xF7};
    // In order: the reset first, then the program it would otherwise undo.
    const std::vector<float> expected = noteAfter({gsReset, trumpet});
    ASSERT_NE(expected, noteAfter({}));
    const std::vector<float> sound = noteAfter({gsReset, trumpet}, SetUp::WhileLoading);
    if (sound.empty())
        GTEST_SKIP() << "the SoundFont loaded before the first period";
    EXPECT_EQ(sound, expected);
}

TEST(SynthEngine, GmGsAndXgResetsBringBackTheDefaultSound) {
    const std::vector<float> piano = noteAfter({});
    const std::vector<std::uint8_t> trumpet = {0xC0, 56};
    EXPECT_NE(noteAfter({trumpet}), piano);
    const std::vector<std::vector<std::uint8_t>> resets = {
        {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7},                                // GM system on
        {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7},  // GS reset
        {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7},              // XG system on
    };
    for (const auto& reset : resets)
        EXPECT_EQ(noteAfter({trumpet, reset}), piano) << "reset " << int(reset[1]);
}

// Tuning messages are applied off the render thread, in their place among the others: a reset
// sent after a tuning undoes it, one sent before it does not.
TEST(SynthEngine, TuningMessagesTakeEffectInTheOrderTheyWereSent) {
    const std::vector<float> equal = noteAfter({});
    const std::vector<std::uint8_t> gmOn = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    // A quarter tone up on every A, on every channel.
    const std::vector<std::uint8_t> octave = {0xF0, 0x7E, 0x7F, 0x08, 0x08, 0x03, 0x7F,
                                              0x7F, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40,
                                              0x40, 0x40, 0x40, 0x72, 0x40, 0x40, 0xF7};
    const std::vector<float> tuned = noteAfter({octave});
    EXPECT_NE(tuned, equal);
    EXPECT_EQ(noteAfter({gmOn, octave}), tuned);
    EXPECT_EQ(noteAfter({octave, gmOn}), equal);
}

TEST(SynthEngine, AFailedLoadSaysWhyAndStaysSilent) {
    testing::TempDir dir;
    const std::string notSoundFont = dir.file("empty.sf2");
    { std::ofstream(notSoundFont) << "RIFF"; }
    SynthEngine engine(notSoundFont, 48000);
    EXPECT_EQ(engine.waitUntilLoaded(), SynthEngine::State::Failed);
    EXPECT_NE(engine.loadError().find(notSoundFont), std::string::npos);
    std::array<float, 256> left{};
    std::array<float, 256> right{};
    engine.sendFromOwner(packMessage(0x90, 60, 127));
    engine.renderAudio(left.data(), right.data(), 256);
    EXPECT_EQ(firstSound(left), left.size());
}

TEST(SoundFontChoice, CommandLineThenEnvironmentThenTheSystemsNamedFileStaysAnError) {
    testing::TempDir dir;
    const std::string a = dir.file("a.sf2");
    const std::string b = dir.file("b.sf2");
    std::ofstream(a) << "x";
    std::ofstream(b) << "x";
    const std::vector<std::string> system = {dir.file("missing.sf2"), b};
    struct Case {
        const char* commandLine;
        const char* environment;  // null: unset
        std::string path;         // empty: an error naming `names`
        std::string names;
    };
    const Case cases[] = {
        {"", nullptr, b, ""},
        {"", "", b, ""},
        {"", a.c_str(), a, ""},
        {a.c_str(), "/nowhere.sf2", a, ""},
        {"/nowhere.sf2", a.c_str(), "", "--soundfont"},
        {"", "/nowhere.sf2", "", "TARVELO_SOUNDFONT"},
    };
    for (const Case& c : cases) {
        if (c.environment != nullptr) {
            ::setenv(kSoundFontVariable, c.environment, 1);
        } else {
            ::unsetenv(kSoundFontVariable);
        }
        const SoundFontChoice choice = chooseSoundFont(c.commandLine, system);
        EXPECT_EQ(choice.path, c.path)
            << c.commandLine << " / " << (c.environment ? c.environment : "-");
        if (c.path.empty()) {
            EXPECT_NE(choice.error.find(c.names), std::string::npos) << choice.error;
        }
    }
    ::unsetenv(kSoundFontVariable);
    const SoundFontChoice none = chooseSoundFont("", {dir.file("missing.sf2")});
    EXPECT_TRUE(none.path.empty());
    EXPECT_NE(none.error.find(dir.file("missing.sf2")), std::string::npos) << none.error;
}

TEST(MidiFileSchedule, TempoChangesAndTracksMergeIntoFramesOnTheBlockGrid) {
    // 120 bpm for the first quarter (0.5 s), then 60 bpm. Running status on the key track.
    testing::MidiFileWriter midi;
    midi.tempo(0, 500000);
    midi.tempo(480, 1000000);
    midi.event(0, {0xC0, 5});
    midi.event(240, {0x90, 60, 100});     // 0.25 s
    midi.event(480, {0x90, 64, 100});     // 0.5 s, running status
    midi.event(720, {0x80, 60, 0});       // 1.0 s
    midi.event(960, {0xE0, 0x00, 0x40});  // 1.5 s, pitch bend centre
    testing::TempDir dir;
    ASSERT_TRUE(midi.save(dir.file("t.mid")));
    std::string error;
    const auto schedule = loadMidiFile(dir.file("t.mid"), 48000, error);
    ASSERT_TRUE(schedule.has_value()) << error;
    const std::vector<std::pair<std::uint64_t, PackedMessage>> expected = {
        {0, packMessage(0xC0, 5, 0)},           {12032, packMessage(0x90, 60, 100)},
        {24000, packMessage(0x90, 64, 100)},    {48000, packMessage(0x80, 60, 0)},
        {72000, packMessage(0xE0, 0x00, 0x40)},
    };
    ASSERT_EQ(schedule->messages.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(schedule->messages[i].frame, expected[i].first) << i;
        EXPECT_EQ(schedule->messages[i].message, expected[i].second) << i;
    }
    EXPECT_EQ(schedule->endFrame, 72000u);
}

}  // namespace
}  // namespace tarvelo::synth
