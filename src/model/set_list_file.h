#pragma once

// A set list: the songs of a show, each an arrangement file, selected by program number or by
// next/previous controllers from the keyboard. Its file is UTF-8 text of our own, written by
// hand as often as by the window (the manual page describes it):
//
//     # comment
//     @channel any | 1..16        @next N | off        @previous N | off        @panic N V | off
//     PATH [| NAME [| PROGRAM]]
//
// Reading and writing here touch no device and no MIDI library; every function may block on
// the file system and belongs on a thread that may (never the real-time ones).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/arrangement_codec.h"
#include "model/panic_trigger.h"
#include "reference/input_file.h"

namespace tarvelo {

struct SetListSong {
    // The arrangement file, absolute and lexically normal (relative paths in the file start at
    // the set list's folder).
    std::string path{};
    std::string name{};  // UTF-8, never empty: the file name without its extension by default
    int program = 0;     // 0..127, the program change that selects the song; unique in its list

    // Where a song read from a file stands in it (0 and empty for one built otherwise); neither
    // counts when songs are compared.
    int line = 0;
    std::string writtenPath{};

    bool operator==(const SetListSong& other) const {
        return path == other.path && name == other.name && program == other.program;
    }
};

// What switches songs, for the whole list. Off or "any" by default.
struct SetListSettings {
    std::optional<int> channel{};  // 0..15 (written 1..16): the channel whose program changes
                                   // select songs; nullopt: any channel
    // Controllers 0..127 whose value 64 or more selects the next or previous song.
    std::optional<int> nextController{};
    std::optional<int> previousController{};
    PanicTrigger panic{};

    bool operator==(const SetListSettings&) const = default;
};

struct SetList {
    static constexpr std::size_t kMaxSongs = 128;  // one per program number

    std::vector<SetListSong> songs;  // in the order of the file; 1..kMaxSongs when read
    SetListSettings settings;

    bool operator==(const SetList&) const = default;
};

// One thing wrong with a set list, at its line (counting from 1; 0 for the file as a whole).
struct SetListProblem {
    int line = 0;
    std::string message;  // English, one sentence without the file's name or the line

    // "line 3: ..." (or the message alone for line 0).
    std::string text() const;
    bool operator==(const SetListProblem&) const = default;
};

// A set list read whole or not at all: either setList holds it (and arrangements the parsed file
// of each song, index for index, each file read once however many songs name it), or problems
// lists everything found wrong, in line order, and nothing else is set. After kMaxProblems
// problems reading stops, and one more problem says so at the line where it stopped.
struct SetListReadResult {
    static constexpr std::size_t kMaxProblems = 100;

    std::optional<SetList> setList;
    std::vector<StoredArrangement> arrangements;
    std::vector<SetListProblem> problems;

    bool ok() const { return setList.has_value(); }
};

// Parses the text of a set list whose relative paths start at `folder`; reads no file, so
// arrangements stays empty and an arrangement that is missing is not a problem here.
SetListReadResult parseSetList(std::string_view text, const std::string& folder);

// Reads the set list at path (a regular file of at most input_limits::kSetListBytes) and every
// arrangement it names (through readArrangementFile): a missing or unreadable arrangement is a
// problem at its song's line.
SetListReadResult readSetList(const std::string& path);

// Writes the list so that it reads back equal: paths relative to the list's folder where the
// arrangement lies under it, absolute otherwise; a name or program only where it differs from
// the default. A list that would not read back equal (no song, more than kMaxSongs, a program
// twice or out of range, a setting out of range, a path or name with a "|", a line break or
// blanks at its ends) is refused with the reason and nothing is written. The file is replaced
// whole or not at all (OutputFile).
std::optional<FileError> writeSetList(const std::string& path, const SetList& setList);

// The name a song takes when its line gives none: the file name without its extension.
std::string defaultSongName(const std::string& path);

// What a file given to open is, decided on its first bytes whatever its name. An arrangement
// (.trv) starts with its Part count as a 32-bit little-endian number, and no arrangement has
// 2^24 Parts or more, so its fourth byte is zero; a set list is text, which holds no zero byte.
// So: a zero byte among the first kKindBytes bytes makes an arrangement, anything else
// (an empty file too) a set list.
enum class FileKind { Arrangement, SetList };
inline constexpr std::size_t kKindBytes = 4;

FileKind fileKindOf(std::span<const std::uint8_t> head);
inline bool looksLikeSetList(std::span<const std::uint8_t> head) {
    return fileKindOf(head) == FileKind::SetList;
}

// The kind of the file at path, from its first bytes (readInputFileHead): a directory, FIFO or
// file that cannot be opened comes back as its error, in the words every input file's uses.
struct FileKindResult {
    FileKind kind = FileKind::Arrangement;
    std::optional<InputFileError> error;
};
FileKindResult fileKindOf(const std::string& path);

}  // namespace tarvelo
