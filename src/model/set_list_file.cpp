#include "model/set_list_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <map>
#include <system_error>

#include "model/arrangement_file.h"
#include "reference/cp932.h"
#include "reference/input_file.h"
#include "reference/output_file.h"

namespace tarvelo {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr int kMaxNumber = 127;

std::string_view trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t end = text.find(separator);
        parts.push_back(trim(text.substr(0, end)));
        if (end == std::string_view::npos)
            return parts;
        text.remove_prefix(end + 1);
    }
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> found;
    while (!(text = trim(text)).empty()) {
        const std::size_t end = std::min(text.find_first_of(kBlanks), text.size());
        found.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return found;
}

std::string inQuotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// Decimal digits only (no sign, no blanks), lowest..kMaxNumber.
std::optional<int> parseNumber(std::string_view text, int lowest = 0) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text.front() == '-' || error != std::errc() ||
        end != text.data() + text.size() || value < lowest || value > kMaxNumber)
        return std::nullopt;
    return value;
}

// The path made absolute (from the current directory) and lexically normal; "" is the current
// directory.
fs::path absoluteNormal(const std::string& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path.empty() ? fs::path(".") : fs::path(path), ec);
    return (ec ? fs::path(path) : absolute).lexically_normal();
}

// Each setting takes the words after its name and stores them, or says false when they are not
// what it takes.
using Words = std::span<const std::string_view>;

bool setController(Words args, std::optional<int>& controller) {
    if (args.size() != 1)
        return false;
    if (args[0] == "off") {
        controller.reset();
        return true;
    }
    controller = parseNumber(args[0]);
    return controller.has_value();
}

struct SettingRule {
    std::string_view name;
    std::string_view takes;  // completes "@name takes ..."
    bool (*set)(Words args, SetListSettings& settings);
};

constexpr std::array<SettingRule, 4> kSettings{{
    {"@channel", "any, or a channel from 1 to 16",
     [](Words args, SetListSettings& s) {
         const std::optional<int> channel =
             args.size() == 1 ? parseNumber(args[0], 1) : std::nullopt;
         if (args.size() == 1 && args[0] == "any")
             s.channel.reset();
         else if (channel && *channel <= 16)
             s.channel = *channel - 1;
         else
             return false;
         return true;
     }},
    {"@next", "a controller number from 0 to 127, or off",
     [](Words args, SetListSettings& s) { return setController(args, s.nextController); }},
    {"@previous", "a controller number from 0 to 127, or off",
     [](Words args, SetListSettings& s) { return setController(args, s.previousController); }},
    {"@panic", "a controller number and a value, each from 0 to 127, or off",
     [](Words args, SetListSettings& s) {
         if (args.size() == 1 && args[0] == "off") {
             s.panic = PanicTrigger{};
             return true;
         }
         const std::optional<int> controller =
             args.size() == 2 ? parseNumber(args[0]) : std::nullopt;
         const std::optional<int> value = args.size() == 2 ? parseNumber(args[1]) : std::nullopt;
         if (!controller || !value)
             return false;
         s.panic = PanicTrigger{*controller, *value};
         return true;
     }},
}};

// The lines of a set list made into songs and settings, with every problem on the way.
class Parser {
  public:
    explicit Parser(const std::string& folder) : folder_(absoluteNormal(folder)) {}

    void parse(std::string_view text) {
        if (fileKindOf(std::span(reinterpret_cast<const std::uint8_t*>(text.data()),
                                 std::min(text.size(), kKindBytes))) == FileKind::Arrangement) {
            add(0, "this is an arrangement file (binary), not a set list");
            return;
        }
        if (text.starts_with(kByteOrderMark))
            text.remove_prefix(kByteOrderMark.size());
        int lineNumber = 0;
        for (std::string_view rest = text; !rest.empty() || lineNumber == 0;) {
            const std::size_t end = std::min(rest.find('\n'), rest.size());
            line(++lineNumber, rest.substr(0, end));
            rest.remove_prefix(std::min(end + 1, rest.size()));
            if (problems.size() >= SetListReadResult::kMaxProblems) {
                add(lineNumber, "reading stops here: too many problems to go on");
                stopped = true;
                return;
            }
        }
        if (songLines_ == 0)
            add(0, "the set list holds no song");
    }

    void add(int line, std::string message) { problems.push_back({line, std::move(message)}); }

    SetList list;
    std::vector<SetListProblem> problems;
    bool stopped = false;  // at kMaxProblems, before the end of the text

  private:
    void line(int lineNumber, std::string_view text) {
        if (!isValidUtf8(text) || text.find('\0') != std::string_view::npos) {
            add(lineNumber, "this line is not UTF-8 text");
            return;
        }
        text = trim(text);
        if (text.empty() || text.front() == '#')
            return;
        if (text.front() == '@')
            setting(lineNumber, text);
        else
            song(lineNumber, text);
    }

    void setting(int lineNumber, std::string_view text) {
        const std::vector<std::string_view> all = words(text);
        const auto rule = std::find_if(kSettings.begin(), kSettings.end(),
                                       [&](const SettingRule& r) { return r.name == all[0]; });
        if (rule == kSettings.end()) {
            add(lineNumber, "unknown setting " + inQuotes(all[0]) +
                                " (the settings are @channel, @next, @previous and @panic)");
            return;
        }
        int& first = settingLines_[static_cast<std::size_t>(rule - kSettings.begin())];
        if (first != 0) {
            add(lineNumber, std::string(rule->name) + " is given twice (first on line " +
                                std::to_string(first) + ")");
            return;
        }
        first = lineNumber;
        if (!rule->set(Words(all).subspan(1), list.settings))
            add(lineNumber, std::string(rule->name) + " takes " + std::string(rule->takes) +
                                ", not " + inQuotes(trim(text.substr(rule->name.size()))));
    }

    void song(int lineNumber, std::string_view text) {
        const std::size_t position = songLines_++;
        if (position >= SetList::kMaxSongs) {
            if (position == SetList::kMaxSongs)
                add(lineNumber, "song " + std::to_string(position + 1) +
                                    ": a set list holds at most 128 songs, one per program number");
            return;
        }
        const std::vector<std::string_view> fields = split(text, '|');
        if (fields.size() > 3) {
            add(lineNumber,
                "a song line is PATH | NAME | PROGRAM, and a path or a name cannot hold a \"|\"");
            return;
        }
        if (fields[0].empty()) {
            add(lineNumber, "no arrangement file before the \"|\"");
            return;
        }
        SetListSong song;
        song.line = lineNumber;
        song.writtenPath = fields[0];
        song.path = (folder_ / fs::path(song.writtenPath)).lexically_normal().string();
        song.name = fields.size() > 1 && !fields[1].empty() ? std::string(fields[1])
                                                            : defaultSongName(song.writtenPath);
        const bool positional = fields.size() < 3 || fields[2].empty();
        const std::optional<int> program =
            positional ? static_cast<int>(position) : parseNumber(fields[2]);
        if (!program) {
            add(lineNumber,
                "the program " + inQuotes(fields[2]) + " is not a number from 0 to 127");
            return;
        }
        song.program = *program;
        std::optional<std::size_t>& taken = programSongs_[static_cast<std::size_t>(song.program)];
        if (taken) {
            const SetListSong& other = list.songs[*taken];
            add(lineNumber,
                "program " + std::to_string(song.program) + " already selects " +
                    inQuotes(other.name) + " on line " + std::to_string(other.line) +
                    (positional ? " (this line gives no program, so its place in the list, from 0)"
                                : ""));
            return;
        }
        taken = list.songs.size();
        list.songs.push_back(std::move(song));
    }

    fs::path folder_;
    std::size_t songLines_ = 0;
    std::array<std::optional<std::size_t>, kMaxNumber + 1> programSongs_;  // index in list.songs
    std::array<int, kSettings.size()> settingLines_{};
};

SetListReadResult failure(std::vector<SetListProblem> problems) {
    std::stable_sort(problems.begin(), problems.end(),
                     [](const auto& a, const auto& b) { return a.line < b.line; });
    SetListReadResult result;
    result.problems = std::move(problems);
    return result;
}

// Why `text` cannot stand in a song line as it is.
std::optional<std::string> whyNotWritable(std::string_view text) {
    if (text.empty())
        return "is empty";
    if (text.find_first_of("|\n") != std::string_view::npos)
        return "holds a \"|\" or a line break";
    if (!isValidUtf8(text) || trim(text) != text)
        return "is not UTF-8 text without blanks at its ends";
    return std::nullopt;
}

// The text of `setList` for a file in `folder`, or why it cannot be written.
std::optional<std::string> encode(const SetList& setList, const fs::path& folder,
                                  std::string& text) {
    const SetListSettings& s = setList.settings;
    if (s.channel)
        text += "@channel " + std::to_string(*s.channel + 1) + "\n";
    if (s.nextController)
        text += "@next " + std::to_string(*s.nextController) + "\n";
    if (s.previousController)
        text += "@previous " + std::to_string(*s.previousController) + "\n";
    if (s.panic.enabled())
        text += "@panic " + std::to_string(s.panic.controller) + " " +
                std::to_string(s.panic.value) + "\n";
    for (std::size_t i = 0; i < setList.songs.size(); ++i) {
        const SetListSong& song = setList.songs[i];
        const fs::path path = absoluteNormal(song.path);
        std::string written = path.string();
        if (const fs::path relative = path.lexically_relative(folder);
            !relative.empty() && *relative.begin() != "..") {
            written = relative.string();
            // A relative path starting so would read as a comment, a setting or be trimmed.
            if (written.find_first_of(std::string("#@").append(kBlanks)) == 0)
                written = "./" + written;
        }
        const std::string which =
            "song " + std::to_string(i + 1) + " (" + inQuotes(song.name) + ")";
        if (auto why = whyNotWritable(written))
            return which + ": its path " + *why;
        if (auto why = whyNotWritable(song.name))
            return which + ": its name " + *why;
        const bool programWritten = song.program != static_cast<int>(i);
        if (programWritten || song.name != defaultSongName(written))
            written += " | " + song.name;
        if (programWritten)
            written += " | " + std::to_string(song.program);
        text += written + "\n";
    }
    return std::nullopt;
}

// Reads the arrangement of `song` into `read` unless an earlier song named the same file; why
// it cannot be used, if so.
std::optional<std::string> readSong(const SetListSong& song,
                                    std::map<std::string, ArrangementReadResult>& read) {
    const auto [arrangement, first] = read.try_emplace(song.path);
    if (first)
        arrangement->second = readArrangementFile(song.path);
    if (arrangement->second.ok())
        return std::nullopt;
    std::error_code ec;
    if (!fs::exists(song.path, ec))
        return "the arrangement file " + inQuotes(song.writtenPath) + " does not exist";
    return "the arrangement " + inQuotes(song.writtenPath) +
           " cannot be read: " + arrangement->second.error.detail;
}

}  // namespace

std::string SetListProblem::text() const {
    return line == 0 ? message : "line " + std::to_string(line) + ": " + message;
}

SetListReadResult parseSetList(std::string_view text, const std::string& folder) {
    Parser parser(folder);
    parser.parse(text);
    if (!parser.problems.empty())
        return failure(std::move(parser.problems));
    SetListReadResult result;
    result.setList = std::move(parser.list);
    return result;
}

SetListReadResult readSetList(const std::string& path) {
    const InputFileBytes file = readInputFile(path, input_limits::kSetListBytes);
    if (file.error)
        return failure({{0, file.error->detail}});
    Parser parser(fs::path(path).parent_path().string());
    parser.parse(
        std::string_view(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()));
    // Every song that was read names its arrangement, also when other lines are wrong, so that
    // one reading lists every problem.
    std::map<std::string, ArrangementReadResult> arrangements;
    if (!parser.stopped)
        for (const SetListSong& song : parser.list.songs)
            if (auto why = readSong(song, arrangements))
                parser.add(song.line, *why);
    if (!parser.problems.empty())
        return failure(std::move(parser.problems));
    SetListReadResult result;
    for (const SetListSong& song : parser.list.songs)
        result.arrangements.push_back(*arrangements.at(song.path).arrangement);
    result.setList = std::move(parser.list);
    return result;
}

std::optional<FileError> writeSetList(const std::string& path, const SetList& setList) {
    const fs::path folder = absoluteNormal(fs::path(path).parent_path().string());
    std::string text;
    if (auto why = encode(setList, folder, text))
        return FileError{FileErrorKind::CannotWrite, *why};
    // The list's own rules (song count, programs, settings) are the reader's.
    const SetListReadResult back = parseSetList(text, folder.string());
    if (!back.ok())
        return FileError{FileErrorKind::CannotWrite, back.problems.front().message};
    OutputFile file;
    std::optional<std::string> error = file.open(path, OutputFile::Pending::Temporary);
    if (!error)
        error = file.writeAll(
            std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    if (!error)
        error = file.commit();
    if (error)
        return FileError{FileErrorKind::CannotWrite, *error};
    return std::nullopt;
}

std::string defaultSongName(const std::string& path) {
    const fs::path file(path);
    if (!file.stem().empty())
        return file.stem().string();
    return path;
}

FileKind fileKindOf(std::span<const std::uint8_t> head) {
    const auto first = head.first(std::min(head.size(), kKindBytes));
    return std::find(first.begin(), first.end(), 0) != first.end() ? FileKind::Arrangement
                                                                   : FileKind::SetList;
}

FileKindResult fileKindOf(const std::string& path) {
    const InputFileBytes head = readInputFileHead(path, kKindBytes);
    if (head.error)
        return {FileKind::Arrangement, head.error};
    return {fileKindOf(head.bytes), std::nullopt};
}

}  // namespace tarvelo
