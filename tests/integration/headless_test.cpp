// The program's headless runner and dump, run as a process against the test server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "integration/jack_test_client.h"
#include "integration/private_jack_server.h"
#include "model/arrangement_file.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tarvelo {
namespace {

using namespace std::chrono_literals;
using testing::JackTestClient;
using testing::MidiEvent;
using testing::TempDir;
using testing::uniqueName;
using Bytes = std::vector<std::uint8_t>;

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The program running in a child process, its standard output and error in files.
class Program {
  public:
    Program(const TempDir& dir, const std::vector<std::string>& arguments)
        : out_(dir.file("stdout.txt")), err_(dir.file("stderr.txt")) {
        std::vector<std::string> args{TARVELO_PROGRAM};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return pid_ > 0; }
    void signal(int number) const { ::kill(pid_, number); }

    // The exit status, or -1 when the program did not end normally within the timeout (it is
    // then killed).
    int waitForExit(std::chrono::milliseconds timeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

    // Waits until standard error holds text.
    bool waitForError(const std::string& text, std::chrono::milliseconds timeout = 10s) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (readText(err_).find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    std::string output() const { return readText(out_); }
    std::string errors() const { return readText(err_); }

  private:
    std::string out_;
    std::string err_;
    pid_t pid_ = -1;
};

std::vector<Bytes> bytesOf(const std::vector<MidiEvent>& events) {
    std::vector<Bytes> out;
    for (const MidiEvent& e : events)
        out.push_back(e.bytes);
    return out;
}

// Keys 0..59 on synthA (channel 2) with a control change, an exclusive message and a program
// change to set it up; keys 60..127 on synthB (channel 5, an octave up) with one controller.
StoredArrangement splitArrangement(const std::string& keys, const std::string& synthA,
                                   const std::string& synthB) {
    StoredArrangement a;
    a.inputDeviceName = keys;
    StoredPart low;
    low.part.name = "Low";
    low.part.channel = 2;
    low.part.lowKey = 0;
    low.part.highKey = 59;
    low.outputDeviceName = synthA;
    low.messages.append(InitialMessage{0, 0xB0, 7, 100, {}, 0});
    low.messages.append(InitialMessage{5, 0xF0, -1, -1, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, 6});
    low.messages.append(InitialMessage{1, 0xC0, 5, -1, {}, 0});
    StoredPart high;
    high.part.name = "High";
    high.part.channel = 5;
    high.part.noteShift = 12;
    high.part.lowKey = 60;
    high.part.highKey = 127;
    high.outputDeviceName = synthB;
    high.messages.append(InitialMessage{0, 0xB0, 10, 64, {}, 0});
    a.parts = {low, high};
    a.nextPartNumber = 2;
    a.targetPart = 0;
    a.targetDeviceName = synthA;
    a.targetChannel = 2;
    return a;
}

struct HeadlessTest : ::testing::Test {
    void SetUp() override {
        for (JackTestClient* c : {&keys, &synthA, &synthB})
            ASSERT_TRUE(c->ok()) << "no JACK server: run through ctest, which starts one "
                                    "(tests/integration/jack_server.sh)";
    }
    std::string save(const StoredArrangement& a) {
        const std::string path = dir.file("song.trv");
        EXPECT_EQ(writeArrangementFile(path, a), std::nullopt);
        return path;
    }

    TempDir dir;
    JackTestClient keys{uniqueName("hl-keys"), {}, {"out"}};
    JackTestClient synthA{uniqueName("hl-synth-a"), {"in"}, {}};
    JackTestClient synthB{uniqueName("hl-synth-b"), {"in"}, {}};
};

TEST_F(HeadlessTest, SendsInitialMessagesInOrderThenRoutesUntilStopped) {
    const std::string file =
        save(splitArrangement(keys.outputPort(0), synthA.inputPort(0), synthB.inputPort(0)));
    Program program(dir, {"--midi-api", "jack", "--headless", file});
    ASSERT_TRUE(program.started());

    ASSERT_TRUE(synthA.waitForReceived(3, 10s)) << program.errors();
    ASSERT_TRUE(synthB.waitForReceived(1, 10s)) << program.errors();
    EXPECT_EQ(
        bytesOf(synthA.received()),
        (std::vector<Bytes>{{0xB2, 7, 100}, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, {0xC2, 5}}));
    EXPECT_EQ(bytesOf(synthB.received()), (std::vector<Bytes>{{0xB5, 10, 64}}));

    ASSERT_TRUE(keys.send(0, 0, {0x90, 64, 100}));
    ASSERT_TRUE(keys.send(0, 0, {0x90, 40, 90}));
    ASSERT_TRUE(synthB.waitForReceived(2));
    ASSERT_TRUE(synthA.waitForReceived(4));
    EXPECT_EQ(synthB.received().back().bytes, (Bytes{0x95, 76, 100}));
    EXPECT_EQ(synthA.received().back().bytes, (Bytes{0x92, 40, 90}));

    program.signal(SIGTERM);
    EXPECT_EQ(program.waitForExit(), 0) << program.errors();
    // The notes left sounding were released as the devices closed.
    const std::vector<Bytes> b = bytesOf(synthB.received());
    EXPECT_NE(std::find(b.begin(), b.end(), Bytes{0x85, 76, 0}), b.end());
    const std::vector<Bytes> a = bytesOf(synthA.received());
    EXPECT_NE(std::find(a.begin(), a.end(), Bytes{0x82, 40, 0}), a.end());
    EXPECT_EQ(program.errors(), "");
}

TEST_F(HeadlessTest, MissingDevicesAreReportedAndInterruptEndsTheRun) {
    StoredArrangement a = splitArrangement("nobody:keys", synthA.inputPort(0), "nobody:synth");
    for (StoredPart& p : a.parts)
        p.messages.clear();
    const std::string file = save(a);
    Program program(dir, {"--midi-api=jack", "--headless", file});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForError("nobody:synth")) << program.errors();
    program.signal(SIGINT);
    EXPECT_EQ(program.waitForExit(), 0) << program.errors();
    EXPECT_EQ(program.errors(),
              "デバイスオープンエラー: nobody:keys が見つかりませんでした。\n"
              "デバイスオープンエラー: nobody:synth が見つかりませんでした。\n");
}

// The server is killed under the running program and a new one starts under the same name, with
// the same clients: the program reconnects by itself, sets the synthesizers up again and routes.
TEST(HeadlessServerLoss, TheProgramComesBackByItselfWhenANewServerStarts) {
    testing::PrivateJackServer server(uniqueName("tarvelo-again"));
    ASSERT_TRUE(server.start()) << "could not start jackd";
    struct Rig {
        explicit Rig(const std::string& server)
            : keys(uniqueName("hl-keys"), {}, {"out"}, server),
              synthA(uniqueName("hl-synth-a"), {"in"}, {}, server),
              synthB(uniqueName("hl-synth-b"), {"in"}, {}, server) {}
        JackTestClient keys, synthA, synthB;
    };
    auto rig = std::make_unique<Rig>(server.name());
    ASSERT_TRUE(rig->keys.ok() && rig->synthA.ok() && rig->synthB.ok());
    TempDir dir;
    const std::string file = dir.file("song.trv");
    ASSERT_EQ(writeArrangementFile(
                  file, splitArrangement(rig->keys.outputPort(0), rig->synthA.inputPort(0),
                                         rig->synthB.inputPort(0))),
              std::nullopt);
    const char* shared = std::getenv("JACK_DEFAULT_SERVER");
    const std::string sharedName = shared ? shared : "";
    ::setenv("JACK_DEFAULT_SERVER", server.name().c_str(), 1);
    Program program(dir, {"--midi-api", "jack", "--headless", file});
    if (shared)
        ::setenv("JACK_DEFAULT_SERVER", sharedName.c_str(), 1);
    else
        ::unsetenv("JACK_DEFAULT_SERVER");
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(rig->synthB.waitForReceived(1, 10s)) << program.errors();

    server.kill(SIGKILL);
    ASSERT_TRUE(program.waitForError("went away")) << program.errors();
    rig.reset();
    ASSERT_TRUE(server.start()) << "could not restart jackd";
    rig = std::make_unique<Rig>(server.name());
    ASSERT_TRUE(rig->keys.ok() && rig->synthA.ok() && rig->synthB.ok());
    const auto back = std::chrono::steady_clock::now();
    ASSERT_TRUE(rig->synthA.waitForReceived(3, 10s)) << program.errors();
    ASSERT_TRUE(rig->synthB.waitForReceived(1, 10s)) << program.errors();
    std::printf(
        "[ figures  ] new server to initial messages received again: %.0f ms\n",
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - back).count());
    EXPECT_EQ(bytesOf(rig->synthB.received()), (std::vector<Bytes>{{0xB5, 10, 64}}));
    ASSERT_TRUE(rig->keys.send(0, 0, {0x90, 64, 100}));
    ASSERT_TRUE(rig->synthB.waitForReceived(2));
    EXPECT_EQ(rig->synthB.received().back().bytes, (Bytes{0x95, 76, 100}));

    program.signal(SIGTERM);
    EXPECT_EQ(program.waitForExit(), 0) << program.errors();
    // Said once each; devices that registered after the program was back say so on their own.
    const std::string errors = program.errors();
    EXPECT_EQ(errors.rfind("tarvelo: the MIDI server went away; the devices stay silent\n"
                           "tarvelo: the MIDI server is back; the devices are open again\n",
                           0),
              0u)
        << errors;
    EXPECT_EQ(errors.find("went away", errors.find('\n')), std::string::npos) << errors;
}

TEST_F(HeadlessTest, MissingOrCorruptFileEndsWithStatusTwoAndOneLine) {
    {
        Program program(dir, {"--midi-api", "jack", "--headless", dir.file("none.trv")});
        EXPECT_EQ(program.waitForExit(), 2);
        EXPECT_EQ(program.errors(),
                  "tarvelo: cannot read " + dir.file("none.trv") + ": No such file or directory\n");
    }
    std::vector<std::uint8_t> bytes = encodeArrangement(
        splitArrangement(keys.outputPort(0), synthA.inputPort(0), synthB.inputPort(0)));
    bytes.resize(bytes.size() - 3);
    testing::writeBytes(dir.file("cut.trv"), bytes);
    for (const char* command : {"--headless", "--dump"}) {
        Program program(dir, {"--midi-api", "jack", command, dir.file("cut.trv")});
        EXPECT_EQ(program.waitForExit(), 2) << command;
        const std::string errors = program.errors();
        EXPECT_EQ(errors.rfind("tarvelo: not a valid arrangement file: " + dir.file("cut.trv"), 0),
                  0u)
            << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
    EXPECT_TRUE(synthA.received().empty());
}

TEST_F(HeadlessTest, DumpPrintsTheArrangementWithoutOpeningDevices) {
    const std::string file =
        save(splitArrangement(keys.outputPort(0), synthA.inputPort(0), synthB.inputPort(0)));
    Program program(dir, {"--dump", file});
    EXPECT_EQ(program.waitForExit(), 0) << program.errors();
    const std::string json = program.output();
    EXPECT_NE(json.find("\"inputDevice\": \"" + keys.outputPort(0) + "\""), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"sysexData\": \"F0 7E 7F 09 01 F7\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"name\": \"High\""), std::string::npos) << json;
    EXPECT_EQ(program.errors(), "");
    EXPECT_TRUE(synthA.received().empty());
}

}  // namespace
}  // namespace tarvelo
