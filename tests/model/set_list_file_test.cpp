#include "model/set_list_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "model/arrangement_file.h"
#include "support/temp_dir.h"

namespace tarvelo {
namespace {

using testing::TempDir;

const std::string kDemo = std::string(TARVELO_SOURCE_DIR) + "/data/demo.trv";

std::vector<std::uint8_t> bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

// "PATH NAME PROGRAM @LINE" a song; "LINE: message" a problem.
std::vector<std::string> songsOf(const SetList& list) {
    std::vector<std::string> out;
    for (const SetListSong& s : list.songs)
        out.push_back(s.path + " " + s.name + " " + std::to_string(s.program) + " @" +
                      std::to_string(s.line));
    return out;
}
std::vector<std::string> problemsOf(const SetListReadResult& result) {
    std::vector<std::string> out;
    for (const SetListProblem& p : result.problems)
        out.push_back(std::to_string(p.line) + ": " + p.message);
    return out;
}

TEST(SetListReading, LinesGiveSongsAndSettingsOrEveryProblemWithItsLine) {
    struct Case {
        std::string text;
        std::vector<std::string> songsOrProblems;
        SetListSettings settings{};
    };
    std::string tooMany;
    for (int i = 0; i < 129; ++i)
        tooMany += "s" + std::to_string(i) + ".trv\n";
    const Case cases[] = {
        {"\xEF\xBB\xBF# show\r\n\r\n  a.trv \r\n\tsub/b c.trv\n",
         {"/show/a.trv a 0 @3", "/show/sub/b c.trv b c 1 @4"}},
        {"a.trv | Opening | 5\nb.trv || 7\n c.trv|Encore \n/abs/d.trv|\n../e.x.trv",
         {"/show/a.trv Opening 5 @1", "/show/b.trv b 7 @2", "/show/c.trv Encore 2 @3",
          "/abs/d.trv d 3 @4", "/e.x.trv e.x 4 @5"}},
        {"@channel 10\n@next 64\n  @previous\toff\n@panic 119  0\n#@x\nx#.trv",
         {"/show/x#.trv x# 0 @6"},
         {.channel = 9, .nextController = 64, .panic = {119, 0}}},
        {"@channel any\n@panic off\n@next 0\na.trv", {"/show/a.trv a 0 @4"}, {.nextController = 0}},
        {"# nothing\n\n", {"0: the set list holds no song"}},
        {std::string("\x02\0\0\0\x7F", 5),
         {"0: this is an arrangement file (binary), not a set list"}},
        {"a.trv | | 3\nb.trv | B | 3\nc.trv | | 0\nd.trv",
         {"2: program 3 already selects \"a\" on line 1",
          "4: program 3 already selects \"a\" on line 1 (this line gives no program, so its "
          "place in the list, from 0)"}},
        {"a.trv | | 128\nb.trv | | x\nc.trv | | -1\nd|e|f|g\n| name\n@Channel 1\n@next 1\n"
         "@next 2\n@channel 0\n@previous 128\n@panic 119\n@channel\n\xFF.trv",
         {"1: the program \"128\" is not a number from 0 to 127",
          "2: the program \"x\" is not a number from 0 to 127",
          "3: the program \"-1\" is not a number from 0 to 127",
          "4: a song line is PATH | NAME | PROGRAM, and a path or a name cannot hold a \"|\"",
          "5: no arrangement file before the \"|\"",
          "6: unknown setting \"@Channel\" (the settings are @channel, @next, @previous and "
          "@panic)",
          "8: @next is given twice (first on line 7)",
          "9: @channel takes any, or a channel from 1 to 16, not \"0\"",
          "10: @previous takes a controller number from 0 to 127, or off, not \"128\"",
          "11: @panic takes a controller number and a value, each from 0 to 127, or off, not "
          "\"119\"",
          "12: @channel is given twice (first on line 9)", "13: this line is not UTF-8 text"}},
        {tooMany + "@next 500",
         {"129: song 129: a set list holds at most 128 songs, one per program number",
          "130: @next takes a controller number from 0 to 127, or off, not \"500\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        const SetListReadResult result = parseSetList(c.text, "/show/./");
        EXPECT_TRUE(result.arrangements.empty());
        if (!result.ok()) {
            EXPECT_EQ(problemsOf(result), c.songsOrProblems);
            continue;
        }
        EXPECT_EQ(songsOf(*result.setList), c.songsOrProblems);
        EXPECT_EQ(result.setList->settings, c.settings);
    }
    std::string junk;
    for (int i = 0; i < 150; ++i)
        junk += "\xFF\n";
    const SetListReadResult stopped = parseSetList(junk, "/show");
    ASSERT_EQ(stopped.problems.size(), SetListReadResult::kMaxProblems + 1);
    EXPECT_EQ(stopped.problems.back().text(),
              "line 100: reading stops here: too many problems to go on");
}

TEST(SetListFile, AWrittenListReadsBackEqualWithTheArrangementsOfItsSongs) {
    TempDir show, elsewhere;
    for (const char* name : {"a.trv", "#b.trv"})
        std::filesystem::copy_file(kDemo, show.file(name));
    std::filesystem::copy_file(kDemo, elsewhere.file("c.trv"));
    SetList list;
    const auto song = [](std::string path, std::string name, int program) {
        return SetListSong{.path = path, .name = name, .program = program};
    };
    list.songs = {song(show.file("a.trv"), "a", 0), song(show.file("#b.trv"), "Ballad", 1),
                  song(elsewhere.file("c.trv"), "c", 9), song(show.file("a.trv"), "Reprise", 3)};
    list.settings = {
        .channel = 0, .nextController = 80, .previousController = 81, .panic = {119, 127}};
    const std::string path = show.file("show.trvset");
    ASSERT_EQ(writeSetList(path, list), std::nullopt);
    EXPECT_EQ(testing::readBytes(path),
              bytesOf("@channel 1\n@next 80\n@previous 81\n@panic 119 127\na.trv\n./#b.trv | "
                      "Ballad\n" +
                      elsewhere.file("c.trv") + " | c | 9\na.trv | Reprise\n"));
    const SetListReadResult back = readSetList(path);
    ASSERT_TRUE(back.ok()) << problemsOf(back).front();
    EXPECT_EQ(*back.setList, list);
    const ArrangementReadResult demo = readArrangementFile(kDemo);
    EXPECT_EQ(back.arrangements, std::vector<StoredArrangement>(4, *demo.arrangement));

    // What would not read back equal is refused, and the earlier file stays.
    const auto refused = [&](SetList changed) {
        const auto error = writeSetList(path, changed);
        return error ? error->detail : "written";
    };
    EXPECT_EQ(refused(SetList{}), "the set list holds no song");
    SetList bad = list;
    bad.songs[1].name = "A | B";
    EXPECT_EQ(refused(bad), "song 2 (\"A | B\"): its name holds a \"|\" or a line break");
    bad.songs[1].name = "";
    EXPECT_EQ(refused(bad), "song 2 (\"\"): its name is empty");
    bad = list;
    bad.songs[3].program = 9;
    EXPECT_EQ(refused(bad), "program 9 already selects \"c\" on line 7");
    bad = list;
    bad.settings.channel = 16;
    EXPECT_EQ(refused(bad), "@channel takes any, or a channel from 1 to 16, not \"17\"");
    EXPECT_EQ(readSetList(path).setList, list);
}

TEST(SetListFile, EveryUnusableFileIsAProblemAtItsLineAndNothingIsReturned) {
    TempDir dir;
    testing::writeBytes(dir.file("bad.trv"), {1, 0, 0, 0});
    std::filesystem::create_directory(dir.path() / "dir.trv");
    std::filesystem::copy_file(kDemo, dir.file("good.trv"));
    testing::writeBytes(dir.file("show"),
                        bytesOf("good.trv\nmissing.trv\n\nbad.trv\ndir.trv\nbad.trv | again\n"));
    const SetListReadResult result = readSetList(dir.file("show"));
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.arrangements.empty());
    const std::string corrupt =
        "\"bad.trv\" cannot be read: at byte 4: the file ends inside a 32-bit field (4 bytes "
        "needed, 0 left)";
    EXPECT_EQ(problemsOf(result),
              (std::vector<std::string>{
                  "2: the arrangement file \"missing.trv\" does not exist",
                  "4: the arrangement " + corrupt,
                  "5: the arrangement \"dir.trv\" cannot be read: a directory, not a file",
                  "6: the arrangement " + corrupt}));

    testing::writeBytes(dir.file("big"), std::vector<std::uint8_t>((1 << 20) + 1, '#'));
    EXPECT_EQ(problemsOf(readSetList(dir.file("big"))),
              (std::vector<std::string>{"0: larger than 1 MiB"}));
    EXPECT_EQ(
        problemsOf(readSetList(kDemo)),
        (std::vector<std::string>{"0: this is an arrangement file (binary), not a set list"}));
}

TEST(SetListFile, KindIsToldByTheFirstBytesWhateverTheName) {
    TempDir dir;
    testing::writeBytes(dir.file("list.trv"), bytesOf("# show\na.trv\n"));
    testing::writeBytes(dir.file("empty"), {});
    EXPECT_EQ(fileKindOf(kDemo).kind, FileKind::Arrangement);
    EXPECT_EQ(fileKindOf(dir.file("list.trv")).kind, FileKind::SetList);
    EXPECT_EQ(fileKindOf(dir.file("empty")).kind, FileKind::SetList);
    EXPECT_EQ(fileKindOf(dir.path().string()).error->detail, "a directory, not a file");
    EXPECT_FALSE(looksLikeSetList(bytesOf(std::string("ab\0c", 4))));
    EXPECT_TRUE(looksLikeSetList(bytesOf(std::string("abcd\0", 5))));
}

}  // namespace
}  // namespace tarvelo
