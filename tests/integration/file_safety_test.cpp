// Files in and out through the program itself: whatever is given to an option that takes a file
// is refused cleanly when it is not what the option needs, and a recording never destroys an
// earlier one and always leaves a file whose header tells the truth, also when the program is
// killed or the disk fills up.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "integration/program_process.h"
#include "support/midi_file_writer.h"
#include "support/temp_dir.h"

namespace tarvelo {
namespace {

using testing::Program;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

const std::string kDemo = std::string(TARVELO_SOURCE_DIR) + "/data/demo.trv";
const std::string kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
const std::string kNoAudio = "tarvelo: no audio output";

// Standard error without the line a machine without a sound card adds.
std::vector<std::string> errorLines(const std::string& errors) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < errors.size()) {
        const std::size_t end = errors.find('\n', at);
        std::string line = errors.substr(at, end - at);
        if (line.rfind(kNoAudio, 0) != 0)
            lines.push_back(std::move(line));
        at = end == std::string::npos ? errors.size() : end + 1;
    }
    return lines;
}

// What a WAV file's header says against what the file holds.
struct WavCheck {
    bool pcm16Stereo = false;   // a plain 44-byte PCM header, as players read it
    std::uint64_t claimed = 0;  // bytes of audio the header says there are
    std::uint64_t held = 0;     // bytes of audio after the header
    bool riffAgrees = false;    // the RIFF size agrees with the data size
};

WavCheck checkWav(const std::string& path) {
    const Bytes b = testing::readBytes(path);
    WavCheck c;
    if (b.size() < 44)
        return c;
    const auto u32 = [&b](std::size_t at) {
        return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 |
               std::uint32_t{b[at + 2]} << 16 | std::uint32_t{b[at + 3]} << 24;
    };
    c.pcm16Stereo = std::equal(b.begin(), b.begin() + 4, "RIFF") &&
                    std::equal(b.begin() + 8, b.begin() + 16, "WAVEfmt ") && u32(16) == 16 &&
                    b[20] == 1 && b[22] == 2 && b[34] == 16 &&
                    std::equal(b.begin() + 36, b.begin() + 40, "data");
    c.claimed = u32(40);
    c.held = b.size() - 44;
    c.riffAgrees = u32(4) == c.claimed + 36;
    return c;
}

class FileSafety : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(::mkdir(dir.file("folder").c_str(), 0755), 0);
        ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0644), 0);
        testing::writeBytes(dir.file("empty"), {});
        // Sparse: larger than every input limit, yet it takes no room.
        testing::writeBytes(dir.file("huge"), {0});
        ASSERT_EQ(::truncate(dir.file("huge").c_str(), (off_t{2049} << 20)), 0);
        testing::writeBytes(dir.file("take.wav"), kEarlierTake);
        ASSERT_TRUE(song().save(dir.file("song.mid")));
        before = dir.entries();
        std::sort(before.begin(), before.end());
    }

    // Sixty seconds of single notes, a quarter second each.
    static testing::MidiFileWriter song() {
        testing::MidiFileWriter midi;
        for (std::uint32_t i = 0; i < 240; ++i) {
            const auto key = static_cast<std::uint8_t>(48 + (i * 7) % 36);
            midi.event(i * 240, {0x90, key, 100});
            midi.event(i * 240 + 200, {0x80, key, 0});
        }
        return midi;
    }

    std::vector<std::string> render(const std::string& record) const {
        return {"--midi-api", "internal", "--soundfont",        kSoundFont, "--headless",
                kDemo,        "--play",   dir.file("song.mid"), "--record", record};
    }

    // The earlier recording is still there, byte for byte.
    void expectEarlierTakeUntouched() const {
        EXPECT_EQ(testing::readBytes(dir.file("take.wav")), kEarlierTake);
    }

    const Bytes kEarlierTake = Bytes(4000, 0x5A);
    TempDir dir;   // the files given to the program
    TempDir logs;  // its standard output and error
    std::vector<std::string> before;
};

TEST_F(FileSafety, EverySpecialFileGivenToEveryOptionIsRefusedInOneLineTouchingNothing) {
    const std::string mid = dir.file("song.mid");
    // Each option with its file in place of X.
    struct Option {
        const char* name;
        std::vector<std::string> arguments;
    };
    const auto internal = [&](std::vector<std::string> rest) {
        std::vector<std::string> a{"--midi-api", "internal"};
        a.insert(a.end(), rest.begin(), rest.end());
        return a;
    };
    const Option options[] = {
        {"--dump", {"--dump", "X"}},
        {"--headless", internal({"--headless", "X", "--play", mid, "--record", "take.wav"})},
        {"--play", internal({"--headless", kDemo, "--play", "X", "--record", "take.wav"})},
        {"--soundfont", internal({"--soundfont", "X", "--headless", kDemo, "--play", mid,
                                  "--record", "take.wav"})},
        {"--record", internal({"--headless", kDemo, "--play", mid, "--record", "X"})},
    };
    struct Special {
        std::string file;
        std::string says;  // what the line says about it
        bool input;        // given to the options that read a file
        bool output;       // given to --record
    };
    const Special specials[] = {
        {dir.file("folder"), "a directory, not a file", true, true},
        {dir.file("fifo"), "a FIFO, not a file", true, true},
        {"/dev/zero", "a device, not a file", true, true},
        {dir.file("huge"), "larger than", true, false},
        {dir.file("missing"), "No such file or directory", true, false},
        {dir.file("no-folder/take.wav"), "No such file or directory", false, true},
        {dir.file("empty"), "", true, false},
    };
    for (const Option& option : options) {
        for (const Special& special : specials) {
            if (std::string(option.name) == "--record" ? !special.output : !special.input)
                continue;
            std::vector<std::string> arguments = option.arguments;
            for (std::string& a : arguments) {
                if (a == "X")
                    a = special.file;
                else if (a == "take.wav")
                    a = dir.file("take.wav");
            }
            const std::string what = std::string(option.name) + " " + special.file;
            Program program(logs, arguments);
            // A FIFO that were opened to wait for a writer would hold the program here.
            ASSERT_EQ(program.waitForExit(std::chrono::seconds(20)), 2) << what;
            const auto lines = errorLines(program.errors());
            ASSERT_EQ(lines.size(), 1u) << what << ":\n" << program.errors();
            EXPECT_EQ(lines[0].rfind("tarvelo: ", 0), 0u) << lines[0];
            EXPECT_NE(lines[0].find(special.file), std::string::npos) << lines[0];
            EXPECT_NE(lines[0].find(special.says), std::string::npos) << lines[0];
            expectEarlierTakeUntouched();
            std::vector<std::string> after = dir.entries();
            std::sort(after.begin(), after.end());
            EXPECT_EQ(after, before) << what;
        }
    }
}

TEST_F(FileSafety, ARecordingKilledAtAnyMomentLeavesAPlayableFileAndTheEarlierOneWhole) {
    // A render that ends on its own replaces the earlier recording; one killed leaves its
    // partial file; a live recording (no file to play) ends only by the kill.
    std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());
    struct Kind {
        const char* name;
        std::vector<std::string> arguments;
        int maxDelayMs;
    };
    const Kind kinds[] = {
        {"offline", render(dir.file("take.wav")), 600},
        {"live",
         {"--midi-api", "internal", "--soundfont", kSoundFont, "--headless", kDemo, "--record",
          dir.file("take.wav")},
         1500},
    };
    for (const Kind& kind : kinds) {
        int killed = 0;
        int exact = 0;
        for (int run = 0; run < 20; ++run) {
            testing::writeBytes(dir.file("take.wav"), kEarlierTake);
            Program program(logs, kind.arguments);
            std::this_thread::sleep_for(std::chrono::milliseconds(
                std::uniform_int_distribution<int>(0, kind.maxDelayMs)(random)));
            program.signal(SIGKILL);
            const int status = program.waitForExit(std::chrono::seconds(20));
            const std::string partial = dir.file("take.partial.wav");
            // A render that has ended (the kill may still catch it on its way out) has replaced
            // the earlier recording, whole; any other run has left it as it was.
            if (testing::readBytes(dir.file("take.wav")) != kEarlierTake) {
                EXPECT_STREQ(kind.name, "offline");
                const WavCheck whole = checkWav(dir.file("take.wav"));
                EXPECT_TRUE(whole.pcm16Stereo && whole.riffAgrees);
                EXPECT_EQ(whole.claimed, whole.held);
                EXPECT_FALSE(std::filesystem::exists(partial));
                continue;
            }
            EXPECT_NE(status, 0) << kind.name << " run " << run;
            if (!std::filesystem::exists(partial))
                continue;  // killed before the recording began
            ++killed;
            const WavCheck left = checkWav(partial);
            EXPECT_TRUE(left.pcm16Stereo && left.riffAgrees) << kind.name << " run " << run;
            // The audio goes first, then the header that counts it: a kill between the two
            // leaves one block that the header does not count yet, never the other way round.
            EXPECT_LE(left.claimed, left.held) << kind.name << " run " << run;
            EXPECT_LE(left.held - std::min(left.claimed, left.held), 4u * 4096u);
            EXPECT_EQ(left.claimed % 4, 0u);
            exact += left.claimed == left.held ? 1 : 0;
            std::filesystem::remove(partial);
        }
        RecordProperty(std::string(kind.name) + "_killed", killed);
        RecordProperty(std::string(kind.name) + "_header_exact", exact);
        std::printf("%s: %d of 20 runs killed while recording, headers exact in %d\n", kind.name,
                    killed, exact);
    }
}

TEST_F(FileSafety, AFullDiskEndsTheRecordingWithALineAndAPlayableFile) {
    // A small tmpfs in a mount namespace of the program's own, as an unprivileged user may
    // make one.
    if (std::system("unshare -rm true 2>/dev/null") != 0)
        GTEST_SKIP() << "no mount namespace for a small tmpfs (unshare -rm)";
    struct Kind {
        const char* name;
        std::string arguments;
    };
    const std::string common = std::string(TARVELO_PROGRAM) + " --midi-api internal --soundfont " +
                               kSoundFont + " --headless " + kDemo;
    const Kind kinds[] = {
        {"offline", common + " --play " + dir.file("song.mid") + " --record \"$1/take.wav\""},
        {"live", common + " --record \"$1/take.wav\""},
    };
    for (const Kind& kind : kinds) {
        const std::string disk = dir.file(std::string("disk-") + kind.name);
        const std::string out = dir.file(std::string("out-") + kind.name);
        std::filesystem::create_directory(disk);
        std::filesystem::create_directory(out);
        // The earlier recording lies on the full disk too; what is there is copied out.
        const std::string script =
            "mount -t tmpfs -o size=512k tmpfs \"$1\" && cp \"$3\" "
            "\"$1/take.wav\" && timeout 60 " +
            kind.arguments + " 2>\"$2/stderr.txt\"; echo $? >\"$2/status\"; cp \"$1\"/* \"$2\"/";
        const std::string command = "unshare -rm sh -c '" + script + "' sh " + disk + " " + out +
                                    " " + dir.file("take.wav");
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        EXPECT_EQ(testing::readText(out + "/status"), "1\n") << kind.name;
        const auto lines = errorLines(testing::readText(out + "/stderr.txt"));
        ASSERT_EQ(lines.size(), 1u) << testing::readText(out + "/stderr.txt");
        EXPECT_NE(lines[0].find("No space left on device"), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(disk + "/take.partial.wav"), std::string::npos) << lines[0];
        EXPECT_EQ(testing::readBytes(out + "/take.wav"), kEarlierTake);
        const WavCheck left = checkWav(out + "/take.partial.wav");
        EXPECT_TRUE(left.pcm16Stereo && left.riffAgrees) << kind.name;
        EXPECT_EQ(left.claimed, left.held) << kind.name;
        EXPECT_GT(left.held, 400u * 1024) << kind.name << ": the disk was not filled";
    }
}

}  // namespace
}  // namespace tarvelo
