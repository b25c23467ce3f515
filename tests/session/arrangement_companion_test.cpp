#include "session/arrangement_companion.h"

#include <gtest/gtest.h>

#include <fstream>

#include "model/arrangement_file.h"
#include "support/temp_dir.h"
#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

using testing::TempDir;
using testing::VirtualRig;

// Keys 0..59 on Out0 and 60..127 on Out1.
StoredArrangement twoParts() {
    StoredArrangement a;
    a.inputDeviceName = "In";
    for (const auto& [low, high, device] : {std::tuple{0, 59, "Out0"}, {60, 127, "Out1"}}) {
        StoredPart p;
        p.part.lowKey = static_cast<std::uint8_t>(low);
        p.part.highKey = static_cast<std::uint8_t>(high);
        p.outputDeviceName = device;
        a.parts.push_back(p);
    }
    a.targetPart = 0;
    a.targetDeviceName = "Out0";
    return a;
}

TEST(ArrangementCompanion, SwitchesAndPanicGoThroughSaveAndLoad) {
    TempDir dir;
    VirtualRig rig;
    const CompanionSettings settings{{{true, false}, {false, true}}, PanicTrigger{64, 0}};
    ASSERT_EQ(writeArrangementFiles(dir.file("a.trv"), twoParts(), settings), std::nullopt);
    ASSERT_EQ(rig.session.load(dir.file("a.trv")), std::nullopt);
    EXPECT_EQ(companionSettingsOf(rig.parts()), settings);

    ASSERT_EQ(rig.session.save(dir.file("b.trv")), std::nullopt);
    rig.session.newArrangement();
    EXPECT_EQ(companionSettingsOf(rig.parts()), (CompanionSettings{{{}}, {}}));
    ASSERT_EQ(rig.session.load(dir.file("b.trv")), std::nullopt);
    EXPECT_EQ(companionSettingsOf(rig.parts()), settings);
    EXPECT_TRUE(rig.boxes.shown.empty());
}

// A companion that cannot be used is said once; the arrangement opens with the defaults, and the
// file stays as it was until a save replaces it.
TEST(ArrangementCompanion, AnUnusableCompanionIsReportedOnceAndKeptUntilASave) {
    const struct {
        const char* name;
        std::optional<std::string> content;  // none: no companion file
        const char* says;                    // empty: nothing
    } cases[] = {
        {"missing", std::nullopt, ""},
        {"damaged", R"({"version": 1, "partCount": 2, "parts": [)",
         "追加設定ファイルが壊れています。"},
        {"newer", R"({"version": 7})", "このバージョンの Tarvelo より新しい形式です。"},
        {"edited", R"({"version": 1, "partCount": 3, "parts": [{}, {}, {"followsPedals": true}]})",
         "パート数が配置ファイルと合いません"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        VirtualRig rig;
        const std::string trv = dir.file("song.trv");
        const std::string json = companionPath(trv);
        ASSERT_EQ(writeArrangementFile(trv, twoParts()), std::nullopt);
        if (c.content)
            std::ofstream(json) << *c.content;
        ASSERT_EQ(rig.session.load(trv), std::nullopt) << c.name;

        EXPECT_EQ(rig.parts().partCount(), 2) << c.name;
        EXPECT_EQ(companionSettingsOf(rig.parts()), (CompanionSettings{{{}, {}}, {}})) << c.name;
        if (*c.says == '\0') {
            EXPECT_TRUE(rig.boxes.shown.empty()) << c.name;
        } else {
            ASSERT_EQ(rig.boxes.shown.size(), 1u) << c.name;
            EXPECT_EQ(rig.boxes.shown[0].icon, MessageIcon::Warning);
            EXPECT_NE(rig.boxes.shown[0].text.find(c.says), std::string::npos) << c.name;
            EXPECT_NE(rig.boxes.shown[0].text.find(json), std::string::npos) << c.name;
        }
        EXPECT_EQ(std::filesystem::exists(json), c.content.has_value()) << c.name;
        if (c.content) {
            std::ifstream in(json);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), *c.content) << c.name;
        }

        ASSERT_EQ(rig.session.save(trv), std::nullopt) << c.name;
        const CompanionReadResult saved = readCompanionFile(trv, 2);
        ASSERT_TRUE(saved.settings) << c.name;
        EXPECT_EQ(*saved.settings, companionSettingsOf(rig.parts())) << c.name;
    }
}

}  // namespace
}  // namespace tarvelo
