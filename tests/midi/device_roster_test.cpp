#include "midi/device_roster.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvelo {
namespace {

using Names = std::vector<std::string>;
using Changes = std::vector<DeviceChange>;
constexpr auto Left = DeviceChangeKind::Left;
constexpr auto Returned = DeviceChangeKind::Returned;
constexpr auto Arrived = DeviceChangeKind::Arrived;

// The presence of every known device, as "name" or "(name)" for an absent one.
Names shown(const DeviceRoster& roster) {
    Names out;
    for (int i = 0; i < roster.size(); ++i)
        out.push_back(roster.present(i) ? roster.name(i) : "(" + roster.name(i) + ")");
    return out;
}

TEST(DeviceRoster, KeepsEveryIndexForTheLifeOfTheListWhateverComesAndGoes) {
    struct Step {
        const char* what;
        Names listed;
        Changes changes;
        Names after;
    };
    const std::vector<Step> steps = {
        {"nothing changed", {"Piano", "Synth", "Drums"}, {}, {"Piano", "Synth", "Drums"}},
        {"a device in the middle leaves",
         {"Piano", "Drums"},
         {{Left, 1}},
         {"Piano", "(Synth)", "Drums"}},
        {"a new one takes no old place",
         {"Organ", "Piano", "Drums"},
         {{Arrived, 3}},
         {"Piano", "(Synth)", "Drums", "Organ"}},
        {"the one that left comes back, listed first",
         {"Synth", "Organ", "Piano", "Drums"},
         {{Returned, 1}},
         {"Piano", "Synth", "Drums", "Organ"}},
        {"a rename leaves under the old name, arrives under the new",
         {"Synth", "Organ", "Grand", "Drums"},
         {{Left, 0}, {Arrived, 4}},
         {"(Piano)", "Synth", "Drums", "Organ", "Grand"}},
        {"everything goes (a lost server)",
         {},
         {{Left, 1}, {Left, 2}, {Left, 3}, {Left, 4}},
         {"(Piano)", "(Synth)", "(Drums)", "(Organ)", "(Grand)"}},
        {"everything comes back at once",
         {"Piano", "Synth", "Drums", "Organ", "Grand"},
         {{Returned, 0}, {Returned, 1}, {Returned, 2}, {Returned, 3}, {Returned, 4}},
         {"Piano", "Synth", "Drums", "Organ", "Grand"}},
    };
    DeviceRoster roster;
    roster.reset({"Piano", "Synth", "Drums"});
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(roster.update(step.listed), step.changes);
        EXPECT_EQ(shown(roster), step.after);
    }
}

TEST(DeviceRoster, TwinDevicesAndDevicesOnlyAFileNamesAreMatchedByNameInOrder) {
    DeviceRoster roster;
    roster.reset({"Keys", "Keys", "Synth"});
    // Of two identical keyboards, the one that goes is taken to be the second.
    EXPECT_EQ(roster.update({"Keys", "Synth"}), (Changes{{Left, 1}}));
    EXPECT_EQ(roster.update({"Keys", "Keys", "Synth"}), (Changes{{Returned, 1}}));

    // A file names a device the system does not list: kept by name, absent, found by name.
    const int absent = roster.addAbsent("Sampler");
    EXPECT_EQ(absent, 3);
    EXPECT_FALSE(roster.present(absent));
    EXPECT_EQ(roster.addAbsent("Sampler"), absent);
    EXPECT_EQ(roster.addAbsent("Synth"), 2);
    EXPECT_EQ(roster.find("Sampler"), absent);
    EXPECT_EQ(roster.find("sampler"), -1);
    // Listed for the first time: it appears rather than comes back.
    EXPECT_EQ(roster.update({"Keys", "Sampler", "Keys", "Synth"}),
              (Changes{{DeviceChangeKind::Appeared, absent}}));
    EXPECT_EQ(roster.update({"Keys", "Keys", "Synth"}), (Changes{{Left, absent}}));
    EXPECT_EQ(roster.update({"Keys", "Sampler", "Keys", "Synth"}), (Changes{{Returned, absent}}));

    roster.reset({"Other"});
    EXPECT_EQ(shown(roster), (Names{"Other"}));
    EXPECT_FALSE(roster.present(1));
    EXPECT_EQ(roster.name(-1), "");
}

}  // namespace
}  // namespace tarvelo
