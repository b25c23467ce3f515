#include "midi/backends/alsa/port_names.h"

#include <gtest/gtest.h>

namespace tarvelo::rtmidi {
namespace {

TEST(PortNames, AlsaNamesLoseOnlyTheirTrailingClientAndPortNumbers) {
    EXPECT_EQ(stablePortName("Midi Through:Midi Through Port-0 14:0", PortNaming::AlsaSequencer),
              "Midi Through:Midi Through Port-0");
    EXPECT_EQ(stablePortName("USB Keys:USB Keys MIDI 1 128:10", PortNaming::AlsaSequencer),
              "USB Keys:USB Keys MIDI 1");
    // Nothing that merely looks similar is cut.
    EXPECT_EQ(stablePortName("Synth:Port 1", PortNaming::AlsaSequencer), "Synth:Port 1");
    EXPECT_EQ(stablePortName("Synth:Port1:2", PortNaming::AlsaSequencer), "Synth:Port1:2");
    EXPECT_EQ(stablePortName("Synth:Port :2", PortNaming::AlsaSequencer), "Synth:Port :2");
    EXPECT_EQ(stablePortName("14:0", PortNaming::AlsaSequencer), "14:0");
}

TEST(PortNames, JackNamesAreKeptWhole) {
    EXPECT_EQ(stablePortName("a2j:Keys [20] (capture): Keys 20:0", PortNaming::Plain),
              "a2j:Keys [20] (capture): Keys 20:0");
}

TEST(PortNames, OwnPortsAreOursUnderOurNameOrAsJackRenamesIt) {
    EXPECT_TRUE(isOwnPort("Tarvelo:out", "Tarvelo"));
    EXPECT_TRUE(isOwnPort("Tarvelo-01:in", "Tarvelo"));
    EXPECT_FALSE(isOwnPort("Tarvelo Synth:in", "Tarvelo"));
    EXPECT_FALSE(isOwnPort("Tarvelo-x:in", "Tarvelo"));
    EXPECT_FALSE(isOwnPort("Tarvelo-:in", "Tarvelo"));
    EXPECT_FALSE(isOwnPort("synth:Tarvelo", "Tarvelo"));
    EXPECT_FALSE(isOwnPort("Tarvelo", "Tarvelo"));
}

TEST(PortNames, DeviceListKeepsOrderSkipsOwnPortsAndNamesTwinsApart) {
    const std::vector<std::string> reported{"Keys:Keys MIDI 1 20:0", "Tarvelo:out 128:0",
                                            "Keys:Keys MIDI 1 24:0", "Synth:in 30:0",
                                            "Keys:Keys MIDI 1 28:0"};
    const auto devices = devicesFromPorts(reported, PortNaming::AlsaSequencer, "Tarvelo");
    ASSERT_EQ(devices.size(), 4u);
    EXPECT_EQ(devices[0].name, "Keys:Keys MIDI 1");
    EXPECT_EQ(devices[0].portNumber, 0u);
    EXPECT_EQ(devices[1].name, "Keys:Keys MIDI 1 (2)");
    EXPECT_EQ(devices[1].portNumber, 2u);
    EXPECT_EQ(devices[2].name, "Synth:in");
    EXPECT_EQ(devices[2].portNumber, 3u);
    EXPECT_EQ(devices[3].name, "Keys:Keys MIDI 1 (3)");
    EXPECT_EQ(devices[3].portNumber, 4u);
}

TEST(PortNames, TwinNamingNeverCollidesWithARealName) {
    const auto devices = devicesFromPorts({"A:x (2)", "A:x", "A:x"}, PortNaming::Plain, "Tarvelo");
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].name, "A:x (2)");
    EXPECT_EQ(devices[1].name, "A:x");
    EXPECT_EQ(devices[2].name, "A:x (3)");
}

}  // namespace
}  // namespace tarvelo::rtmidi
