// The program's command line, run as a process against the test server.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "integration/jack_test_client.h"

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
    EXPECT_EQ(run("--version").output, "Tarvelo 1.0\n");
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
    EXPECT_EQ(run("--version --list-devices").status, 2);

    // The window opens one file, and a file goes with no command: all refused before any window.
    const ProgramRun twoFiles = run("a.trv b.trv");
    EXPECT_EQ(twoFiles.status, 2);
    EXPECT_NE(twoFiles.output.find("only one arrangement file"), std::string::npos)
        << twoFiles.output;
    EXPECT_EQ(run("--list-devices a.trv").status, 2);
    EXPECT_EQ(run("a.trv --dump b.trv").status, 2);
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

}  // namespace
}  // namespace tarvelo
