#include "reference/midi_reference.h"

#include <optional>
#include <stdexcept>
#include <system_error>

#include "reference/input_file.h"
#include "reference/reference_text.h"

namespace tarvelo {

namespace {

namespace rt = reference_text;

constexpr std::size_t kMessageFieldCount = 5;
constexpr std::size_t kControllerFieldCount = 4;
constexpr int kControlChangeStatus = 0xB0;
constexpr int kSingleControllerType = 1;

std::optional<std::string> readFileBytes(const std::filesystem::path& path) {
    InputFileBytes file = readInputFile(path.string(), input_limits::kReferenceFileBytes);
    if (file.error) {
        return std::nullopt;
    }
    return std::string(file.bytes.begin(), file.bytes.end());
}

// The character at `index` of a field, or NUL past its end, as a NUL-terminated field reads.
char charAt(std::string_view field, std::size_t index) {
    return index < field.size() ? field[index] : '\0';
}

std::int32_t statusFromField(std::string_view field) {
    // A trailing 'n' holds the place of the channel, which is added when the message is used.
    std::string text(field);
    if (!text.empty() && text.back() == 'n') {
        text.back() = '0';
    }
    return rt::parseHexPair(charAt(text, 0), charAt(text, 1));
}

std::int32_t dataByteFromField(std::string_view field) {
    if (charAt(field, 0) == '-') {
        return MidiReference::kNoDataByte;
    }
    return rt::parseHexPair(charAt(field, 0), charAt(field, 1));
}

}  // namespace

bool MidiReference::LoadMidiMessageReference(const std::filesystem::path& path) {
    messages_.clear();
    const std::optional<std::string> bytes = readFileBytes(path);
    if (!bytes) {
        return false;
    }
    return LoadMidiMessageReferenceFromText(*bytes);
}

bool MidiReference::LoadControlChangeReference(const std::filesystem::path& path) {
    controllers_.clear();
    const std::optional<std::string> bytes = readFileBytes(path);
    if (!bytes) {
        return false;
    }
    return LoadControlChangeReferenceFromText(*bytes);
}

bool MidiReference::LoadMidiMessageReferenceFromText(std::string_view fileBytes) {
    messages_.clear();
    const rt::PreparedText text = rt::prepare(fileBytes);
    rt::LineReader reader(text.bytes);

    std::string_view line;
    do {
        if (!reader.next(line)) {
            return false;
        }
    } while (!line.empty() && line.front() == '#');

    // The count only bounds the entries; the table never grows past the lines the file has, so a
    // wild count cannot make it allocate.
    const std::int32_t count = rt::leadingInteger(line);
    for (std::int32_t i = 0; i < count && reader.next(line); ++i) {
        const std::vector<std::string_view> fields =
            rt::splitFields(line, kMessageFieldCount, /*hashEndsScan=*/true);
        MessageReferenceEntry& entry = messages_.emplace_back();
        if (fields.size() > 0) {
            entry.name = rt::decodeName(fields[0], text.encoding, kMaxNameBytes);
        }
        if (fields.size() > 1) {
            entry.type = rt::leadingInteger(fields[1]);
        }
        if (fields.size() > 2) {
            entry.status = statusFromField(fields[2]);
        }
        if (fields.size() > 3) {
            entry.data1 = dataByteFromField(fields[3]);
        }
        if (fields.size() > 4) {
            entry.data2 = dataByteFromField(fields[4]);
        }
    }
    return true;
}

bool MidiReference::LoadControlChangeReferenceFromText(std::string_view fileBytes) {
    controllers_.clear();
    const rt::PreparedText text = rt::prepare(fileBytes);
    rt::LineReader reader(text.bytes);

    controllers_.resize(kControllerCount);
    std::string_view line;
    for (ControllerReferenceEntry& entry : controllers_) {
        if (!reader.next(line)) {
            break;
        }
        const std::vector<std::string_view> fields =
            rt::splitFields(line, kControllerFieldCount, /*hashEndsScan=*/false);
        if (fields.size() > 0) {
            entry.name = rt::decodeName(fields[0], text.encoding, kMaxNameBytes);
        }
        if (fields.size() > 1) {
            entry.extraNumber1 = rt::leadingInteger(fields[1]);
        }
        if (fields.size() > 2) {
            entry.extraNumber2 = rt::leadingInteger(fields[2]);
        }
        if (fields.size() > 3) {
            entry.extraText = rt::decodeName(fields[3], text.encoding, kMaxExtraTextBytes);
        }
    }
    return true;
}

const MessageReferenceEntry& MidiReference::message(int index) const {
    if (index < 0) {
        throw std::out_of_range("message reference index out of range");
    }
    return messages_.at(static_cast<std::size_t>(index));
}

const ControllerReferenceEntry& MidiReference::controller(int number) const {
    if (number < 0) {
        throw std::out_of_range("controller number out of range");
    }
    return controllers_.at(static_cast<std::size_t>(number));
}

std::string MidiReference::GetMessageName(int type, int status, int data1) const {
    const bool singleController = type == kSingleControllerType && status == kControlChangeStatus;
    for (const MessageReferenceEntry& entry : messages_) {
        if (entry.type == type && entry.status == status &&
            (!singleController || entry.data1 == data1)) {
            return entry.name;
        }
    }
    return std::string(kUnknownMessageName);
}

std::vector<std::filesystem::path> referenceDirectories() {
    namespace fs = std::filesystem;
    std::vector<fs::path> directories{fs::path()};
    const auto add = [&directories](const fs::path& directory) {
        std::error_code error;
        for (const fs::path& known : directories) {
            if (!known.empty() && (known == directory || fs::equivalent(known, directory, error)))
                return;
        }
        directories.push_back(directory);
    };
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error)
        add((program.parent_path() / TARVELO_DATA_DIR_FROM_PROGRAM).lexically_normal());
#ifdef TARVELO_BUILD_TREE
    // A program still in the build tree reads the source tree's files, from any directory.
    std::error_code noTree;
    const fs::path fromBuild =
        program.lexically_relative(fs::canonical(TARVELO_BUILD_TREE, noTree));
    if (!error && !noTree && !fromBuild.empty() && *fromBuild.begin() != "..")
        add(fs::path(TARVELO_SOURCE_DATA_DIR));
#endif
    add(fs::path(TARVELO_DATA_DIR));
    return directories;
}

std::filesystem::path findReferenceFile(std::string_view fileName) {
    const std::filesystem::path name(fileName);
    for (const std::filesystem::path& directory : referenceDirectories()) {
        std::error_code error;
        const std::filesystem::path candidate = directory / name;
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate;
    }
    return name;
}

}  // namespace tarvelo
