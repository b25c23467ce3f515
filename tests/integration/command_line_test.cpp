// The program's command line, run as a process against the test server.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "integration/jack_test_client.h"
#include "model/arrangement_file.h"
#include "support/temp_dir.h"

namespace tarvelo {
namespace {

using testing::JackTestClient;
using testing::uniqueName;

struct ProgramRun {
    int status = -1;
    std::string output;  // standard output and standard error together
};

// Runs the program with arguments; environment holds NAME=value assignments for it.
ProgramRun run(const std::string& arguments, const std::string& environment = {}) {
    ProgramRun result;
    const std::string command =
        environment + " " + std::string(TARVELO_PROGRAM) + " " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(CommandLine, ListsJackDevicesNumberedInTheServersOrder) {
    JackTestClient keys(uniqueName("cli-keys"), {}, {"out"});
    JackTestClient synth(uniqueName("cli-synth"), {"in"}, {});
    ASSERT_TRUE(keys.ok() && synth.ok()) << "no JACK server";
    const ProgramRun r = run("--midi-api jack --list-devices");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.rfind("MIDI API: jack\nInput devices:\n", 0), 0u) << r.output;
    const auto inputs = r.output.find("Input devices:");
    const auto outputs = r.output.find("Output devices:");
    const auto keysAt = r.output.find(": " + keys.outputPort(0) + "\n");
    const auto synthAt = r.output.find(": " + synth.inputPort(0) + "\n");
    EXPECT_TRUE(inputs < keysAt && keysAt < outputs) << r.output;
    EXPECT_TRUE(outputs < synthAt && synthAt != std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Tarvelo:"), std::string::npos) << r.output;
}

TEST(CommandLine, VersionHelpAndMistakes) {
    EXPECT_EQ(run("--version").output,
              "Tarvelo 1.0\nLicense GPL-3.0-or-later: GNU GPL version 3 or later "
              "<https://gnu.org/licenses/gpl.html>\n");
    const ProgramRun help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--list-devices"), std::string::npos);
    EXPECT_NE(help.output.find("--midi-api"), std::string::npos);

    const ProgramRun unknown = run("--frobnicate");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.output.find("unknown option '--frobnicate'"), std::string::npos)
        << unknown.output;
    const ProgramRun badApi = run("--midi-api=pulse --list-devices");
    EXPECT_EQ(badApi.status, 2);
    EXPECT_NE(badApi.output.find("unknown MIDI API 'pulse'"), std::string::npos) << badApi.output;
    EXPECT_EQ(run("--list-devices --midi-api").status, 2);
    // A flag takes no value, a file option needs one; the last of a repeated option counts.
    for (const auto& [arguments, says] :
         {std::pair{"--version=3", "unknown option '--version=3'"},
          std::pair{"--dump", "option '--dump' needs a file"},
          std::pair{"--headless", "option '--headless' needs a file"}}) {
        const ProgramRun r = run(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_EQ(r.output, "tarvelo: " + std::string(says) + "\nTry 'tarvelo --help'.\n");
    }
    EXPECT_EQ(
        run("--dump /nonexistent.trv --dump " + std::string(TARVELO_SOURCE_DIR) + "/data/demo.trv")
            .status,
        0);
    const ProgramRun badChannels = run("--headless a.trv --play a.mid --play-channels 1,17");
    EXPECT_EQ(badChannels.status, 2);
    EXPECT_NE(badChannels.output.find("'1,17' is not a list of channels 1 to 16 separated by "
                                      "commas"),
              std::string::npos)
        << badChannels.output;
    const ProgramRun channelsAlone = run("--headless a.trv --play-channels 2");
    EXPECT_EQ(channelsAlone.status, 2);
    EXPECT_NE(channelsAlone.output.find("option '--play-channels' needs --play"), std::string::npos)
        << channelsAlone.output;
    EXPECT_EQ(run("--version --list-devices").status, 2);

    // The window opens one file, and a file goes with no command: all refused before any window.
    const ProgramRun twoFiles = run("a.trv b.trv");
    EXPECT_EQ(twoFiles.status, 2);
    EXPECT_NE(twoFiles.output.find("only one arrangement file"), std::string::npos)
        << twoFiles.output;
    EXPECT_EQ(run("--list-devices a.trv").status, 2);
    EXPECT_EQ(run("a.trv --dump b.trv").status, 2);
}

TEST(CommandLine, DumpShowsTheCompanionsSettingsOrSaysInOneLineWhyNot) {
    testing::TempDir dir;
    const std::string trv = dir.file("song.trv");
    StoredArrangement a;
    a.parts.resize(1);
    ASSERT_FALSE(writeArrangementFiles(trv, a, {{{true, false}}, PanicTrigger{119}}));
    EXPECT_NE(run("--dump " + trv).output.find(R"("controller": 119)"), std::string::npos);
    std::ofstream(companionPath(trv)) << "{\"version\": 1";
    const ProgramRun damaged = run("--dump " + trv);
    EXPECT_EQ(damaged.status, 0);
    EXPECT_EQ(damaged.output.rfind("tarvelo: '" + companionPath(trv) +
                                       "': not valid JSON (at byte 14); its settings are not "
                                       "shown\n{\n",
                                   0),
              0u)
        << damaged.output;
}

TEST(CommandLine, HeadlessTellsASetListByItsContentAndRefusesOneThatCannotBeUsedWhole) {
    testing::TempDir dir;
    StoredArrangement a;
    a.parts.resize(1);
    a.parts[0].part.highKey = 127;
    a.nextPartNumber = 2;
    ASSERT_FALSE(writeArrangementFile(dir.file("a.trv"), a));
    // Set lists under names that say otherwise: the content decides.
    std::ofstream(dir.file("broken.trv")) << "a.trv\nmissing.trv\n@next 300\n";
    std::ofstream(dir.file("show.mid")) << "a.trv\na.trv | Again\n";
    const std::string noSynth = "TARVELO_SOUNDFONT=/nonexistent/none.sf2";
    struct Case {
        std::string arguments;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {"--headless " + dir.file("broken.trv"),
         {dir.file("broken.trv") + ": line 2: ", dir.file("broken.trv") + ": line 3: "}},
        {"--song 3 --headless " + dir.file("show.mid"), {"has 2 songs: there is no song 3"}},
        {"--song 1 --headless " + dir.file("a.trv"), {"option '--song' needs a set list"}},
        {"--song 0 --headless " + dir.file("show.mid"), {"'0' is not a song number 1 to 128"}},
    };
    for (const Case& c : cases) {
        const ProgramRun r = run("--midi-api internal " + c.arguments, noSynth);
        EXPECT_EQ(r.status, 2) << c.arguments << "\n" << r.output;
        for (const std::string& text : c.said)
            EXPECT_NE(r.output.find(text), std::string::npos) << c.arguments << "\n" << r.output;
    }
}

TEST(CommandLine, AProgramInItsBuildTreeReadsTheSourceTreesReferenceFilesFromAnywhere) {
    testing::TempDir elsewhere;
    const std::string data =
        std::filesystem::canonical(std::string(TARVELO_SOURCE_DIR) + "/data").string();
    const ProgramRun r = run("--reference-files", "cd " + elsewhere.path().string() + " &&");
    EXPECT_EQ(r.status, 0) << r.output;
    for (const std::string name : {"midi_msg.mdr", "cc.mdr"})
        EXPECT_NE(r.output.find(name + ": " + data + "/" + name + " ("), std::string::npos)
            << r.output;
}

TEST(CommandLine, EnvironmentPicksTheApiUnlessTheCommandLineDoes) {
    EXPECT_EQ(run("--list-devices", "TARVELO_MIDI_API=jack").output.rfind("MIDI API: jack\n", 0),
              0u);
    // Every command that opens devices names the refused value, the window too.
    for (const char* arguments : {"--list-devices", "--headless /nonexistent.trv", ""}) {
        const ProgramRun unknown = run(arguments, "QT_QPA_PLATFORM=offscreen TARVELO_MIDI_API=oss");
        EXPECT_EQ(unknown.status, 2) << arguments;
        EXPECT_NE(unknown.output.find("unknown MIDI API 'oss'"), std::string::npos)
            << arguments << ": " << unknown.output;
    }
    EXPECT_EQ(run("--list-devices --midi-api jack", "TARVELO_MIDI_API=oss").status, 0);
}

TEST(CommandLine, InternalSystemListsOurDevicesAndExplainsWhatIsMissingInOneLine) {
    const ProgramRun listed = run("--midi-api internal --list-devices",
                                  "TARVELO_SOUNDFONT=/usr/share/sounds/sf2/TimGM6mb.sf2");
    EXPECT_EQ(listed.output,
              "MIDI API: internal\nInput devices:\n  0: Tarvelo Virtual In\nOutput devices:\n"
              "  0: Tarvelo GM Synth\nSoundFont: /usr/share/sounds/sf2/TimGM6mb.sf2\n");

    testing::TempDir dir;
    const std::string trv = dir.file("one.trv");
    {
        StoredArrangement a;
        a.inputDeviceName = "Tarvelo Virtual In";
        a.parts.emplace_back();
        a.parts.back().part.highKey = 127;
        a.parts.back().outputDeviceName = "Tarvelo GM Synth";
        ASSERT_FALSE(writeArrangementFile(trv, a).has_value());
    }
    std::ofstream(dir.file("text.mid")) << "not a MIDI file\n";
    // A header that announces more tracks than can be played; the tracks need not follow.
    testing::writeBytes(dir.file("tracks.mid"),
                        {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 128, 1, 0xE0});
    const std::string small = " --soundfont /usr/share/sounds/sf2/TimGM6mb.sf2";
    struct Case {
        std::string arguments;
        std::string environment;
        std::vector<std::string> lines;  // each expected at the start of a line, in order
    };
    const Case cases[] = {
        {"--headless " + trv + " --play " + dir.file("text.mid") + small,
         "",
         {"tarvelo: '" + dir.file("text.mid") + "' is not a Standard MIDI File"}},
        {"--headless " + trv + " --play " + dir.file("none.mid") + small,
         "",
         {"tarvelo: cannot open '" + dir.file("none.mid") + "'"}},
        {"--headless " + trv + " --play " + dir.file("none.mid"),
         "TARVELO_SOUNDFONT=" + dir.file("none.sf2"),
         {"tarvelo: the SoundFont '" + dir.file("none.sf2") +
          "' given by TARVELO_SOUNDFONT cannot be read: No such file or directory: --play needs "
          "the built-in synthesizer"}},
        {"--headless " + trv + " --play " + dir.file("tracks.mid") + small,
         "",
         {"tarvelo: '" + dir.file("tracks.mid") + "' has 128 tracks; at most 127 can be played"}},
    };
    for (const Case& c : cases) {
        const ProgramRun r = run("--midi-api internal " + c.arguments, c.environment);
        EXPECT_EQ(r.status, 2) << c.arguments << "\n" << r.output;
        std::size_t at = 0;
        for (const std::string& line : c.lines) {
            const std::size_t found = r.output.find(line, at);
            EXPECT_TRUE(found != std::string::npos && (found == 0 || r.output[found - 1] == '\n'))
                << "missing: " << line << "\nin:\n"
                << r.output;
            at = found == std::string::npos ? at : found + line.size();
        }
        // A machine without a sound card says so in one more line.
        const std::string noAudio = "tarvelo: no audio output";
        const auto lines = std::count(r.output.begin(), r.output.end(), '\n') -
                           (r.output.find(noAudio) != std::string::npos ? 1 : 0);
        EXPECT_EQ(lines, static_cast<std::ptrdiff_t>(c.lines.size())) << r.output;
    }
}

}  // namespace
}  // namespace tarvelo
