#pragma once

// A JACK client in a child process (tests/tools/jack_child_client.cpp), for clients that really
// end: by exit, SIGTERM or SIGKILL.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "integration/program_process.h"
#include "support/temp_dir.h"

namespace tarvelo::testing {

// One event the child's input ports received, with the time of its cycle.
struct ChildEvent {
    std::int64_t ns = 0;  // CLOCK_MONOTONIC, as monotonicNs()
    int port = 0;
    std::vector<std::uint8_t> bytes;
};

inline std::int64_t monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

class ChildClient {
  public:
    // arguments: after the client's name, as the child takes them (--in, --out, ...).
    ChildClient(const TempDir& dir, const std::string& name,
                const std::vector<std::string>& arguments)
        : out_(dir.file(name + "-" + std::to_string(monotonicNs()) + ".txt")) {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> args{TARVELO_JACK_CHILD, name};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
        posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[0]);
        commands_ = pipeFds[1];
    }
    ~ChildClient() {
        if (commands_ >= 0)
            ::close(commands_);
        end(SIGKILL);
    }
    ChildClient(const ChildClient&) = delete;
    ChildClient& operator=(const ChildClient&) = delete;

    // Waits until the client is active; its time then, or nothing.
    std::optional<std::int64_t> waitActive(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            std::istringstream lines(readText(out_));
            std::string word;
            long long ns = 0;
            if (lines >> word >> ns && word == "active")
                return ns;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return std::nullopt;
    }

    // Writes bytes on output port in the child's next cycle.
    void send(int port, const std::vector<std::uint8_t>& bytes) {
        std::ostringstream line;
        line << "send " << port << std::hex;
        for (const std::uint8_t b : bytes)
            line << ' ' << unsigned{b};
        line << '\n';
        command(line.str());
    }

    // Ends the child: with a signal, or (0) by asking it to close its client and exit.
    void end(int signal) {
        if (pid_ <= 0)
            return;
        if (signal == 0) {
            command("exit\n");
        } else {
            ::kill(pid_, signal);
        }
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    std::vector<ChildEvent> received() const {
        std::vector<ChildEvent> events;
        std::istringstream lines(readText(out_));
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::string verb;
            ChildEvent e;
            long long ns = 0;
            if (!(words >> verb >> ns >> e.port) || verb != "recv")
                continue;
            e.ns = ns;
            unsigned value = 0;
            while (words >> std::hex >> value)
                e.bytes.push_back(static_cast<std::uint8_t>(value));
            events.push_back(std::move(e));
        }
        return events;
    }

    // Waits until some received event satisfies match; its index, or nothing.
    template <typename Match>
    std::optional<std::size_t> waitForEvent(Match match, std::chrono::milliseconds timeout =
                                                             std::chrono::seconds(5)) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const std::vector<ChildEvent> events = received();
            for (std::size_t i = 0; i < events.size(); ++i) {
                if (match(events[i]))
                    return i;
            }
            if (std::chrono::steady_clock::now() >= deadline)
                return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    bool started() const { return pid_ > 0; }

  private:
    void command(const std::string& text) {
        if (commands_ >= 0)
            (void)!::write(commands_, text.data(), text.size());
    }

    std::string out_;
    pid_t pid_ = -1;
    int commands_ = -1;
};

}  // namespace tarvelo::testing
