#include "midi/backends/backend_factory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "midi/backends/alsa/alsa_sequencer.h"
#include "midi/backends/jack/jack_backend.h"

namespace tarvelo {
namespace {

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// No JACK server answers under this name.
constexpr const char* kNoServer = "tarvelo-no-such-server";

TEST(BackendFactory, ExplicitChoiceWinsOverTheEnvironmentWhichWinsOverAutomatic) {
    ScopedEnvironment api(kMidiApiVariable, "virtual");
    ScopedEnvironment server("JACK_DEFAULT_SERVER", kNoServer);
    EXPECT_EQ(createBackend("")->apiName(), "virtual");
    EXPECT_EQ(createBackend("jack")->apiName(), "jack");
}

TEST(BackendFactory, AutomaticChoiceTakesAlsaElseARunningJackElseTheInternalSystem) {
    ScopedEnvironment api(kMidiApiVariable, "");
    ScopedEnvironment server("JACK_DEFAULT_SERVER", kNoServer);
    const auto backend = createBackend("");
    ASSERT_NE(backend, nullptr);
    EXPECT_EQ(backend->apiName(), rtmidi::alsaSequencerAvailable() ? "alsa" : "internal");
    // Whatever the system, there is an input to play into.
    EXPECT_FALSE(backend->inputNames().empty());
}

TEST(BackendFactory, UnknownApiNamesGiveNoBackend) {
    ScopedEnvironment api(kMidiApiVariable, nullptr);
    EXPECT_EQ(createBackend("winmm"), nullptr);
    EXPECT_EQ(createBackend("ALSA"), nullptr);
    ScopedEnvironment bad(kMidiApiVariable, "pulse");
    EXPECT_EQ(createBackend(""), nullptr);
}

TEST(BackendFactory, JackWithoutAServerListsNothingAndRefusesOpens) {
    ScopedEnvironment server("JACK_DEFAULT_SERVER", kNoServer);
    auto backend = createBackend("jack");
    ASSERT_NE(backend, nullptr);
    EXPECT_TRUE(backend->inputNames().empty());
    EXPECT_TRUE(backend->outputNames().empty());
    EXPECT_FALSE(backend->serverLost());
    struct Handler : InputHandler {
        void onShortMessage(PackedMessage) noexcept override {}
    } handler;
    struct Listener : LongMessageListener {
        void longMessageDone(LongMessageToken) noexcept override {}
    } listener;
    EXPECT_EQ(backend->openInput("keys:out", handler), nullptr);
    EXPECT_EQ(backend->openOutput("synth:in", listener), nullptr);
    EXPECT_FALSE(static_cast<JackBackend&>(*backend).connected());
}

TEST(BackendFactory, AlsaWithoutASequencerListsNothingAndRefusesOpens) {
    if (rtmidi::alsaSequencerAvailable())
        GTEST_SKIP() << "this machine has an ALSA sequencer";
    auto backend = createBackend("alsa");
    ASSERT_NE(backend, nullptr);
    EXPECT_EQ(backend->apiName(), "alsa");
    EXPECT_TRUE(backend->inputNames().empty());
    EXPECT_TRUE(backend->outputNames().empty());
    struct Listener : LongMessageListener {
        void longMessageDone(LongMessageToken) noexcept override {}
    } listener;
    EXPECT_EQ(backend->openOutput("Midi Through:Midi Through Port-0", listener), nullptr);
}

}  // namespace
}  // namespace tarvelo
