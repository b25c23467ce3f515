#include "session/arrangement_companion.h"

#include <gtest/gtest.h>

#include <fstream>

#include "model/arrangement_file.h"
#include "support/temp_dir.h"
#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

// A companion that cannot be used is said once; the arrangement opens with the defaults, and the
// file stays as it was until a save replaces it.
TEST(ArrangementCompanion, AnUnusableCompanionIsReportedOnceAndKeptUntilASave) {
    const struct {
        std::optional<std::string> content;  // none: no companion file
        const char* says;                    // empty: nothing
    } cases[] = {
        {std::nullopt, ""},
        {R"({"version": 1, "partCount": 2, "parts": [)", "追加設定ファイルが壊れています。"},
        {R"({"version": 7})", "このバージョンの Tarvelo より新しい形式です。"},
        {R"({"version": 1, "partCount": 1, "parts": [{"followsPedals": true}]})",
         "パート数が配置ファイルと合いません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        testing::TempDir dir;
        testing::VirtualRig rig;
        rig.session.split(0, 60);
        const std::string trv = dir.file("song.trv");
        const std::string json = companionPath(trv);
        ASSERT_EQ(rig.session.save(trv), std::nullopt);
        std::filesystem::remove(json);
        if (c.content)
            std::ofstream(json) << *c.content;
        rig.session.newArrangement();
        ASSERT_EQ(rig.session.load(trv), std::nullopt);

        EXPECT_EQ(companionSettingsOf(rig.parts()), (CompanionSettings{{{}, {}}, {}}));
        ASSERT_EQ(rig.boxes.shown.size(), *c.says == '\0' ? 0u : 1u);
        if (!rig.boxes.shown.empty()) {
            EXPECT_NE(rig.boxes.shown[0].text.find(c.says), std::string::npos);
            EXPECT_NE(rig.boxes.shown[0].text.find(json), std::string::npos);
        }
        std::ifstream in(json);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.content.value_or(""));

        ASSERT_EQ(rig.session.save(trv), std::nullopt);
        EXPECT_EQ(readCompanionFile(trv, 2).settings, companionSettingsOf(rig.parts()));
    }
}

}  // namespace
}  // namespace tarvelo
