#pragma once

// The program run as a child process by the integration tests.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace tarvelo::testing {

inline std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The program running in a child process, its standard output and error in files.
class Program {
  public:
    // environment: extra NAME=value entries on top of this process's; directory: where it runs
    // (empty: here).
    Program(const TempDir& dir, const std::vector<std::string>& arguments,
            const std::vector<std::string>& environment = {}, const std::string& directory = {})
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
        if (!directory.empty())
            posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
        std::vector<std::string> variables = environment;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string_view entry = *e;
            const std::string_view name = entry.substr(0, entry.find('='));
            bool replaced = false;
            for (const std::string& extra : environment)
                replaced |= std::string_view(extra).substr(0, extra.find('=')) == name;
            if (!replaced)
                variables.emplace_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& v : variables)
            envp.push_back(v.data());
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
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
    int waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

    // Waits until standard error holds text.
    bool waitForError(const std::string& text,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (readText(err_).find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
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

}  // namespace tarvelo::testing
