#include "model/companion_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "model/arrangement_file.h"
#include "support/temp_dir.h"

namespace tarvelo {
namespace {

using Kind = CompanionFault::Kind;

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(CompanionFile, IsNamedAfterTheArrangementFile) {
    for (const auto& [trv, json] : {std::pair{"song.trv", "song.tarvelo.json"},
                                    std::pair{"/a/b.c.trv", "/a/b.c.tarvelo.json"},
                                    std::pair{"dir.x/plain", "dir.x/plain.tarvelo.json"}})
        EXPECT_EQ(companionPath(trv), json) << trv;
}

TEST(CompanionFile, WritesItsDocumentedFormatAndReadsItBack) {
    const CompanionSettings settings{{{true, false}, {false, true}}, PanicTrigger{119, 100}};
    EXPECT_EQ(encodeCompanion(settings), R"({
  "version": 1,
  "partCount": 2,
  "parts": [
    {
      "followsPedals": true,
      "followsWheels": false
    },
    {
      "followsPedals": false,
      "followsWheels": true
    }
  ],
  "panic": {
    "controller": 119,
    "value": 100
  }
}
)");
    for (const CompanionSettings& s : {settings, CompanionSettings{{{}}, PanicTrigger{}}}) {
        const CompanionReadResult read =
            decodeCompanion(bytesOf(encodeCompanion(s)), static_cast<int>(s.parts.size()));
        ASSERT_TRUE(read.settings) << encodeCompanion(s);
        EXPECT_EQ(*read.settings, s);
    }
    // Keys this version does not know are passed over; a switch or panic left out is off.
    const CompanionReadResult later = decodeCompanion(
        bytesOf(R"({"version": 1, "partCount": 2, "parts": [{"followsWheels": true, "colour": 3},
                   {}], "setList": []})"),
        2);
    ASSERT_TRUE(later.settings);
    EXPECT_EQ(*later.settings, (CompanionSettings{{{false, true}, {false, false}}, {}}));
}

TEST(CompanionFile, EveryUnusableFileIsToldApartAndNeverRead) {
    const struct {
        const char* text;
        Kind kind;
    } cases[] = {
        {"", Kind::Damaged},
        {R"({"version": 1, "partCount": 1, "parts": [{}])", Kind::Damaged},
        {"[1]", Kind::Damaged},
        {R"({"partCount": 1, "parts": [{}]})", Kind::Damaged},
        {R"({"version": "1", "partCount": 1, "parts": [{}]})", Kind::Damaged},
        {R"({"version": 1.5, "partCount": 1, "parts": [{}]})", Kind::Damaged},
        {R"({"version": 1, "parts": [{}]})", Kind::Damaged},
        {R"({"version": 1, "partCount": 2, "parts": [{}]})", Kind::Damaged},
        {R"({"version": 1, "partCount": 1, "parts": [true]})", Kind::Damaged},
        {R"({"version": 1, "partCount": 1, "parts": [{"followsPedals": 1}]})", Kind::Damaged},
        {R"({"version": 1, "partCount": 1, "parts": [{}], "panic": {"controller": 128}})",
         Kind::Damaged},
        {R"({"version": 1, "partCount": 1, "parts": [{}], "panic": {"value": -1}})", Kind::Damaged},
        // A later version is not guessed at, whatever else it holds.
        {R"({"version": 2, "partCount": "many"})", Kind::NewerVersion},
        {R"({"version": 18446744073709551616, "partCount": 1, "parts": [{}]})", Kind::Damaged},
        {R"({"version": 18446744073709551615, "partCount": 1, "parts": [{}]})", Kind::NewerVersion},
        {R"({"version": 1, "partCount": 2, "parts": [{}, {}]})", Kind::PartCountMismatch},
    };
    for (const auto& c : cases) {
        const CompanionReadResult read = decodeCompanion(bytesOf(c.text), 1);
        EXPECT_FALSE(read.settings) << c.text;
        ASSERT_TRUE(read.fault) << c.text;
        EXPECT_EQ(read.fault->kind, c.kind) << c.text << ": " << read.fault->detail;
        EXPECT_FALSE(read.fault->detail.empty()) << c.text;
    }
}

TEST(ArrangementFiles, NeitherEarlierFileIsReplacedUnlessBothNewOnesAreWhole) {
    testing::TempDir dir;
    const std::string trv = dir.file("a.trv");
    StoredArrangement a;
    a.parts.emplace_back();
    ASSERT_EQ(writeArrangementFiles(trv, a, CompanionSettings{{{true, true}}, {}}), std::nullopt);
    const std::vector<std::uint8_t> trvBefore = testing::readBytes(trv);
    const CompanionReadResult written = readCompanionFile(trv, 1);
    ASSERT_TRUE(written.settings);
    EXPECT_EQ(written.settings->parts[0], (CompanionSettings::PartSwitches{true, true}));
    EXPECT_FALSE(readCompanionFile(dir.file("none.trv"), 1).fault);

    // The companion's name taken by a directory: the arrangement file stays the earlier one.
    const std::string blocked = dir.file("b.trv");
    ASSERT_EQ(writeArrangementFile(blocked, a), std::nullopt);
    std::filesystem::create_directory(companionPath(blocked));
    StoredArrangement other = a;
    other.parts[0].part.name = "changed";
    const std::optional<FileError> error =
        writeArrangementFiles(blocked, other, CompanionSettings{{{}}, {}});
    ASSERT_TRUE(error);
    EXPECT_EQ(error->detail.rfind("b.tarvelo.json: ", 0), 0u) << error->detail;
    EXPECT_EQ(testing::readBytes(blocked), trvBefore);
    EXPECT_EQ(readCompanionFile(blocked, 1).fault->kind, Kind::CannotRead);
    EXPECT_EQ(dir.entries().size(), 4u);  // nothing half-written is left behind
}

}  // namespace
}  // namespace tarvelo
