#include "integration/private_jack_server.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace tarvelo::testing {

namespace {

void quiet(const char*) {}

bool answers(const std::string& name) {
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    jack_status_t status{};
    jack_client_t* client =
        jack_client_open("probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                         &status, name.c_str());
    if (client == nullptr)
        return false;
    jack_client_close(client);
    return true;
}

}  // namespace

bool PrivateJackServer::start(std::chrono::milliseconds timeout) {
    if (running())
        return true;
    pid_ = ::fork();
    if (pid_ < 0)
        return false;
    const std::string period = std::to_string(framesPerPeriod_);
    const std::string rate = std::to_string(sampleRate_);
    if (pid_ == 0) {
        const int devNull = ::open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            ::dup2(devNull, STDIN_FILENO);
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
        }
        // Synchronous: each cycle waits for every client, so a loaded machine delays the
        // graph instead of dropping a late client's cycle.
        std::vector<const char*> args{"jackd", "-n", name_.c_str(), "--no-realtime"};
        if (synchronous_)
            args.push_back("-S");
        for (const char* a : {"-d", "dummy", "-r", rate.c_str(), "-p", period.c_str()})
            args.push_back(a);
        args.push_back(nullptr);
        ::execvp("jackd", const_cast<char* const*>(args.data()));
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        if (answers(name_))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    stop();
    return false;
}

void PrivateJackServer::kill(int signal) {
    if (!running())
        return;
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

void PrivateJackServer::stop() {
    kill(SIGTERM);
}

PrivateJackServer::~PrivateJackServer() {
    stop();
    // A server that was killed leaves its semaphores and shared memory behind, and so does one
    // that stops with clients still connected; their names carry the server's name, which is this
    // test's own.
    std::error_code error;
    const std::string mark = "_" + name_ + "_";
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
        if (entry.path().filename().string().find(mark) != std::string::npos) {
            std::filesystem::remove(entry.path(), error);
        }
    }
}

}  // namespace tarvelo::testing
