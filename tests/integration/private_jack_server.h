#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace tarvelo::testing {

// A JACK server of a test's own, under a name no other test uses, so that the test may kill it:
// jackd with the dummy driver and no realtime scheduling, as jack_server.sh starts the shared one.
class PrivateJackServer {
  public:
    // framesPerPeriod: the dummy driver's period.
    explicit PrivateJackServer(std::string name, int framesPerPeriod = 256)
        : name_(std::move(name)), framesPerPeriod_(framesPerPeriod) {}
    ~PrivateJackServer();
    PrivateJackServer(const PrivateJackServer&) = delete;
    PrivateJackServer& operator=(const PrivateJackServer&) = delete;

    // Starts the server and waits until a client can connect. False when it did not come up.
    bool start(std::chrono::milliseconds timeout = std::chrono::seconds(15));
    // The rate the next start() runs the server at (48000 unless told).
    void setSampleRate(int rate) { sampleRate_ = rate; }
    // Whether the next start() runs the server synchronously (-S).
    void setSynchronous(bool synchronous) { synchronous_ = synchronous; }
    // Ends the server with the signal (SIGKILL: a crash) and waits until it has gone.
    void kill(int signal);
    // Ends the server politely, if it runs.
    void stop();

    const std::string& name() const { return name_; }
    bool running() const { return pid_ > 0; }

  private:
    std::string name_;
    int framesPerPeriod_;
    int sampleRate_ = 48000;
    bool synchronous_ = false;
    pid_t pid_ = -1;
};

}  // namespace tarvelo::testing
