#include "model/companion_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "model/arrangement_file.h"
#include "support/temp_dir.h"

namespace tarvelo {
namespace {

using Kind = CompanionFault::Kind;

CompanionReadResult decode(const std::string& text, int partCount) {
    return decodeCompanion({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                           partCount);
}

TEST(CompanionFile, WritesItsDocumentedFormatAndReadsItAndLaterVersionsBack) {
    const CompanionSettings settings{{{true, false}, {false, true}}, PanicTrigger{119, 100}};
    EXPECT_EQ(nlohmann::json::parse(encodeCompanion(settings)), nlohmann::json::parse(R"({
        "version": 1, "partCount": 2, "panic": {"controller": 119, "value": 100},
        "parts": [{"followsPedals": true, "followsWheels": false},
                  {"followsPedals": false, "followsWheels": true}]})"));
    for (const CompanionSettings& s : {settings, CompanionSettings{{{}}, PanicTrigger{}}})
        EXPECT_EQ(decode(encodeCompanion(s), static_cast<int>(s.parts.size())).settings, s);
    // Keys this version does not know are passed over; a switch or the panic left out is off.
    EXPECT_EQ(decode(R"({"version": 1, "partCount": 2, "parts": [{"followsWheels": true,
                        "colour": 3}, {}], "setList": []})",
                     2)
                  .settings,
              (CompanionSettings{{{false, true}, {false, false}}, {}}));
}

TEST(CompanionFile, EveryUnusableFileIsToldApartAndNeverRead) {
    const std::pair<const char*, Kind> cases[] = {
        {R"({"version": 1, "partCount": 1, "parts": [{}])", Kind::Damaged},
        // Out of a double's range: the parser's out_of_range, not a parse error.
        {R"({"version": 1e400})", Kind::Damaged},
        {R"({"version": "1", "partCount": 1, "parts": [{}]})", Kind::Damaged},
        {R"({"version": 1, "partCount": 2, "parts": [{}]})", Kind::Damaged},
        {R"({"version": 1, "partCount": 1, "parts": [{"followsPedals": 1}]})", Kind::Damaged},
        {R"({"version": 1, "partCount": 1, "parts": [{}], "panic": {"controller": 128}})",
         Kind::Damaged},
        // A later version is not guessed at, whatever else it holds.
        {R"({"version": 2, "partCount": "many"})", Kind::NewerVersion},
        {R"({"version": 1, "partCount": 2, "parts": [{}, {}]})", Kind::PartCountMismatch},
    };
    for (const auto& [text, kind] : cases) {
        const CompanionReadResult read = decode(text, 1);
        EXPECT_FALSE(read.settings) << text;
        ASSERT_TRUE(read.fault) << text;
        EXPECT_EQ(read.fault->kind, kind) << text << ": " << read.fault->detail;
    }
}

TEST(ArrangementFiles, NeitherEarlierFileIsReplacedUnlessBothNewOnesAreWhole) {
    testing::TempDir dir;
    const std::string trv = dir.file("b.trv");
    StoredArrangement a;
    a.parts.resize(1);
    ASSERT_EQ(writeArrangementFile(trv, a), std::nullopt);
    const std::vector<std::uint8_t> before = testing::readBytes(trv);
    // The companion's name taken by a directory: the arrangement file stays the earlier one.
    std::filesystem::create_directory(companionPath(trv));
    a.parts[0].part.name = "changed";
    const std::optional<FileError> error =
        writeArrangementFiles(trv, a, CompanionSettings{{{}}, {}});
    ASSERT_TRUE(error);
    EXPECT_EQ(error->detail.rfind("b.tarvelo.json: ", 0), 0u) << error->detail;
    EXPECT_EQ(testing::readBytes(trv), before);
    EXPECT_EQ(readCompanionFile(trv, 1).fault->kind, Kind::CannotRead);
    EXPECT_EQ(dir.entries().size(), 2u);  // nothing half-written is left behind
}

}  // namespace
}  // namespace tarvelo
