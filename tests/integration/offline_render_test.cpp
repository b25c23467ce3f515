// Renders arrangements with the program itself (a MIDI file played into the virtual input, a WAV
// recording; offline on the internal MIDI system, in real time on JACK) and checks the sound.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "model/arrangement_file.h"
#include "support/midi_file_writer.h"
#include "support/temp_dir.h"

namespace tarvelo {
namespace {

using testing::MidiFileWriter;
using Bytes = std::vector<std::uint8_t>;

constexpr int kRate = 48000;
// The small General MIDI SoundFont the setup script installs: renders stay quick.
constexpr const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
// At 120 beats per minute (the default tempo) a second is this many ticks.
constexpr std::uint32_t kTicksPerSecond = 2 * MidiFileWriter::kTicksPerQuarter;

Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The left channel of a 16-bit stereo WAV file as written by the program.
std::vector<float> leftChannel(const Bytes& wav) {
    std::vector<float> left;
    for (std::size_t i = 44; i + 3 < wav.size(); i += 4) {
        const auto sample = static_cast<std::int16_t>(wav[i] | (wav[i + 1] << 8));
        left.push_back(sample / 32768.0f);
    }
    return left;
}

// Magnitude of the DFT of samples at frequency (Goertzel).
double magnitudeAt(const std::vector<float>& samples, std::size_t from, std::size_t count,
                   double frequency) {
    const double w = 2 * std::numbers::pi * frequency / kRate;
    double s1 = 0, s2 = 0;
    for (std::size_t i = from; i < from + count && i < samples.size(); ++i) {
        const double s = samples[i] + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return std::sqrt(s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2);
}

// The strongest frequency between 100 and 1000 Hz in half a second from `from`, to 1 Hz.
double dominantFrequency(const std::vector<float>& samples, std::size_t from) {
    double best = 0, bestMagnitude = 0;
    for (double f = 100; f <= 1000; f += 1) {
        const double m = magnitudeAt(samples, from, kRate / 2, f);
        if (m > bestMagnitude) {
            bestMagnitude = m;
            best = f;
        }
    }
    return best;
}

// Energy of harmonics 2..6 relative to the fundamental: a fingerprint of the timbre.
std::vector<double> harmonicProfile(const std::vector<float>& samples, std::size_t from,
                                    double fundamental) {
    const double base = magnitudeAt(samples, from, kRate / 4, fundamental);
    std::vector<double> profile;
    for (int h = 2; h <= 6; ++h)
        profile.push_back(magnitudeAt(samples, from, kRate / 4, fundamental * h) / base);
    return profile;
}

InitialMessage programChange(int program) {
    InitialMessage m;
    m.type = 1;
    m.status = 0xC0;
    m.data1 = program;
    return m;
}

StoredPart synthPart(std::string name, int low, int high, int channel, int shift, int program) {
    StoredPart p;
    p.part.name = std::move(name);
    p.part.lowKey = static_cast<std::uint8_t>(low);
    p.part.highKey = static_cast<std::uint8_t>(high);
    p.part.channel = static_cast<std::uint8_t>(channel);
    p.part.noteShift = shift;
    p.outputDeviceName = "Tarvelo GM Synth";
    p.messages.append(programChange(program));
    return p;
}

class RenderedSound : public ::testing::Test {
  protected:
    // Two parts on the synthesizer: keys 0..59 one octave up on channel 1, keys 60..127
    // as played on channel 2; both an ocarina, whose fundamental is its strongest partial; channel
    // messages go to the upper part.
    void SetUp() override {
        StoredArrangement a;
        a.inputDeviceName = "Tarvelo Virtual In";
        a.nextPartNumber = 3;
        a.parts = {synthPart("low", 0, 59, 0, 12, 79), synthPart("high", 60, 127, 1, 0, 79)};
        a.targetPart = 1;
        a.targetDeviceName = "Tarvelo GM Synth";
        a.targetChannel = 1;
        ASSERT_FALSE(writeArrangementFile(dir.file("split.trv"), a).has_value());
    }

    // Renders the MIDI file with the split arrangement; the WAV's bytes, empty on failure.
    Bytes render(const MidiFileWriter& midi, const std::string& name,
                 const std::string& api = "internal", const std::string& options = "") {
        const std::string mid = dir.file(name + ".mid");
        const std::string wav = dir.file(name + ".wav");
        EXPECT_TRUE(midi.save(mid));
        const std::string command = std::string(TARVELO_PROGRAM) + " --midi-api " + api +
                                    " --no-audio-connect --soundfont " + kSoundFont +
                                    " --headless " + dir.file("split.trv") + " --play " + mid +
                                    " --record " + wav + options + " 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        std::string output;
        char buffer[512];
        std::size_t n = 0;
        while (pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        const int status = pipe != nullptr ? ::pclose(pipe) : -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
        EXPECT_EQ(output, "") << "a clean render says nothing";
        EXPECT_FALSE(std::filesystem::exists(dir.file(name + ".partial.wav")));
        return readBytes(wav);
    }

    testing::TempDir dir;
};

TEST_F(RenderedSound, EachPartSoundsAtItsTransposedPitch) {
    // A3 in the lower part (one octave up) and A4 in the upper part both sound as 440 Hz; C4,
    // the first key of the upper part, is not raised.
    struct Case {
        std::uint8_t key;
        double hertz;
    };
    const Case cases[] = {{57, 440.0}, {69, 440.0}, {60, 261.6}};
    MidiFileWriter midi;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto on = static_cast<std::uint32_t>(i * 2 * kTicksPerSecond + kTicksPerSecond / 2);
        midi.event(on, {0x90, cases[i].key, 100});
        midi.event(on + kTicksPerSecond, {0x80, cases[i].key, 0});
    }
    const std::vector<float> left = leftChannel(render(midi, "pitch"));
    ASSERT_GT(left.size(), (std::size(cases) - 1) * 2 * kRate + kRate + kRate / 2);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        // Half a second into each note, past its attack.
        const std::size_t from = i * 2 * kRate + kRate;
        EXPECT_NEAR(dominantFrequency(left, from), cases[i].hertz, 2.0)
            << "key " << int(cases[i].key);
    }
}

TEST_F(RenderedSound, AProgramChangeInTheFileChangesTheTimbre) {
    // The same A4 twice; in between the file changes the target part's program to a trumpet.
    MidiFileWriter midi;
    midi.event(0, {0x90, 69, 100});
    midi.event(kTicksPerSecond, {0x80, 69, 0});
    midi.event(3 * kTicksPerSecond / 2, {0xC0, 56});
    midi.event(2 * kTicksPerSecond, {0x90, 69, 100});
    midi.event(3 * kTicksPerSecond, {0x80, 69, 0});
    const std::vector<float> left = leftChannel(render(midi, "timbre"));
    ASSERT_GT(left.size(), std::size_t{3} * kRate);
    const auto ocarina = harmonicProfile(left, kRate / 2, 440.0);
    const auto trumpet = harmonicProfile(left, 2 * kRate + kRate / 2, 440.0);
    double distance = 0;
    for (std::size_t h = 0; h < ocarina.size(); ++h)
        distance += std::fabs(ocarina[h] - trumpet[h]);
    EXPECT_GT(distance, 0.5) << "harmonics 2..6 relative to the fundamental barely changed";
}

TEST_F(RenderedSound, ANoteStartsWhereTheFilePutsItAndRendersAreByteIdentical) {
    // A tempo change on the way: 1.000 s is one quarter at 120 bpm plus half a quarter at 60.
    MidiFileWriter midi;
    midi.tempo(0, 500000);
    midi.tempo(MidiFileWriter::kTicksPerQuarter, 1000000);
    const std::uint32_t oneSecond = 3 * MidiFileWriter::kTicksPerQuarter / 2;
    midi.event(oneSecond, {0x90, 72, 127});
    midi.event(oneSecond + 240, {0x80, 72, 0});
    const Bytes first = render(midi, "onset");
    const Bytes second = render(midi, "onset-again");
    ASSERT_GT(first.size(), 44u);
    EXPECT_TRUE(first == second) << "two renders of the same inputs differ";
    // 48 kHz, two channels, 16 bits.
    EXPECT_EQ(first[22] | (first[23] << 8), 2);
    EXPECT_EQ(first[24] | (first[25] << 8) | (first[26] << 16), kRate);
    EXPECT_EQ(first[34], 16);

    const std::vector<float> left = leftChannel(first);
    std::size_t onset = 0;
    while (onset < left.size() && left[onset] == 0.0f)
        ++onset;
    const double seconds = static_cast<double>(onset) / kRate;
    RecordProperty("onset_seconds", std::to_string(seconds));
    EXPECT_GE(seconds, 1.000);
    EXPECT_LE(seconds, 1.003) << "the note started " << (seconds - 1.0) * 1000 << " ms late";
}

TEST_F(RenderedSound, AWallOfNotesEndsOnceItsSoundHasDiedAway) {
    // 200 notes struck at once and released half a second later: FluidSynth keeps some of
    // their voices counted long after they fall silent; the render ends by the sound.
    MidiFileWriter midi;
    for (std::uint8_t i = 0; i < 200; ++i)
        midi.event(0, {static_cast<std::uint8_t>(0x90 | (i % 16)),
                       static_cast<std::uint8_t>(30 + i % 70), 100});
    for (std::uint8_t i = 0; i < 200; ++i)
        midi.event(kTicksPerSecond / 2, {static_cast<std::uint8_t>(0x80 | (i % 16)),
                                         static_cast<std::uint8_t>(30 + i % 70), 0});
    const std::vector<float> left = leftChannel(render(midi, "wall"));
    const double seconds = static_cast<double>(left.size()) / kRate;
    RecordProperty("render_seconds", std::to_string(seconds));
    EXPECT_GT(seconds, 1.5) << "it ends one second after the sound, not before";
    EXPECT_LT(seconds, 10.0) << "it ran on towards the 30-second cap";
}

TEST_F(RenderedSound, OnlyTheChosenChannelsOfTheFilePlay) {
    // A4 on channel 1, then C5 on channel 2; the split routes both by key.
    MidiFileWriter midi;
    midi.event(kTicksPerSecond / 2, {0x90, 69, 100});
    midi.event(kTicksPerSecond, {0x80, 69, 0});
    midi.event(5 * kTicksPerSecond / 2, {0x91, 72, 100});
    midi.event(3 * kTicksPerSecond, {0x81, 72, 0});
    const std::vector<float> left =
        leftChannel(render(midi, "channels", "internal", " --play-channels 2"));
    ASSERT_GT(left.size(), std::size_t{3} * kRate);
    EXPECT_LT(magnitudeAt(left, kRate / 2, kRate / 2, 440.0), 1.0) << "channel 1 was played";
    EXPECT_NEAR(dominantFrequency(left, 5 * kRate / 2), 523.3, 2.0);
}

TEST_F(RenderedSound, OnJackTheFilePlaysInRealTimeAndTheRunEndsWhenItHasSounded) {
    MidiFileWriter midi;
    midi.event(kTicksPerSecond / 4, {0x90, 69, 100});
    midi.event(kTicksPerSecond / 2, {0x80, 69, 0});
    const auto started = std::chrono::steady_clock::now();
    const std::vector<float> left = leftChannel(render(midi, "jack", "jack"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    // The recording starts when the synthesizer does, before the file; the note is in it.
    ASSERT_GT(left.size(), std::size_t{kRate} / 2);
    const auto loudest = std::max_element(
        left.begin(), left.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); });
    EXPECT_GT(std::fabs(*loudest), 0.01f);
}

}  // namespace
}  // namespace tarvelo
