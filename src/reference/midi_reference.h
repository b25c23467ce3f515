#pragma once

// The vocabulary of the initial-message editor: the MIDI messages a user can add to a part
// ("midi_msg.mdr") and the names of the 128 controllers ("cc.mdr").
//
// Threads: owned by the main window and used on the user-interface thread only; the MIDI
// thread never reads it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarvelo {

// One message kind a user can pick. `type` is copied into a new initial message: 0 and 1 are
// channel messages (1 with status B0h names one controller), 5 is system exclusive, 6 and 7 are
// sent with their status as it stands. Other codes are kept and named but have no sending rule.
struct MessageReferenceEntry {
    std::int32_t type = 0;
    // Status byte; a channel status has a zero low nibble, the part's channel is added later.
    std::int32_t status = 0;
    // Default data bytes, or kNoDataByte. Not range-checked: a malformed hex field in the file
    // yields whatever value it spells.
    std::int32_t data1 = -1;
    std::int32_t data2 = -1;
    std::string name;  // UTF-8, at most MidiReference::kMaxNameBytes bytes
};

// Controller n of the controller table. The numbers and the text are kept as the file has them;
// nothing in the program interprets them.
struct ControllerReferenceEntry {
    std::int32_t extraNumber1 = 0;
    std::int32_t extraNumber2 = 0;
    std::string name;       // UTF-8, at most MidiReference::kMaxNameBytes bytes
    std::string extraText;  // UTF-8, at most MidiReference::kMaxExtraTextBytes bytes
};

class MidiReference {
  public:
    static constexpr std::int32_t kNoDataByte = -1;
    static constexpr int kControllerCount = 128;
    // Longer names and texts are cut at a character boundary to fit.
    static constexpr std::size_t kMaxNameBytes = 255;
    static constexpr std::size_t kMaxExtraTextBytes = 127;
    static constexpr std::string_view kUnknownMessageName = "Unknown Message";

    // Replace the message table with the one in the file at `path`. False, with an empty table,
    // when the file cannot be read or has no count line. A file that ends before its count of
    // entries gives a table of the entries it has.
    bool LoadMidiMessageReference(const std::filesystem::path& path);
    // Replace the controller table with the one in the file at `path`. False, with an empty
    // table, when the file cannot be read; otherwise the table has kControllerCount entries,
    // those without a line in the file unnamed.
    bool LoadControlChangeReference(const std::filesystem::path& path);

    // The same loaders working on a file's bytes already in memory.
    bool LoadMidiMessageReferenceFromText(std::string_view fileBytes);
    bool LoadControlChangeReferenceFromText(std::string_view fileBytes);

    int messageCount() const { return static_cast<int>(messages_.size()); }
    // Entry `index` in file order; throws std::out_of_range unless 0 <= index < messageCount().
    const MessageReferenceEntry& message(int index) const;

    // 0 before a successful load of the controller table, kControllerCount after it.
    int controllerCount() const { return static_cast<int>(controllers_.size()); }
    // Entry for controller `number`; throws std::out_of_range unless
    // 0 <= number < controllerCount().
    const ControllerReferenceEntry& controller(int number) const;

    // The name under which a message is listed: that of the first entry with the message's type
    // and status (the status without its channel). For type 1 with status B0h the entry's data1
    // must match too, since those entries name single controllers. kUnknownMessageName when no
    // entry matches.
    std::string GetMessageName(int type, int status, int data1) const;

  private:
    std::vector<MessageReferenceEntry> messages_;
    std::vector<ControllerReferenceEntry> controllers_;
};

// The directories a reference file is looked for in, in order: the current directory (an empty
// path), the data directory beside the running program (<program's directory>/../share/tarvelo
// for the usual layout, so an installed tree works wherever it was installed), the source
// tree's data directory while the program runs from the build tree it was built in (unless
// configured with TARVELO_FIND_SOURCE_DATA off, as the package is), and the data directory the
// build was configured for. Duplicates are left out.
std::vector<std::filesystem::path> referenceDirectories();

// Where a reference file is read from: the first of referenceDirectories() that holds it. When
// none has it the bare name comes back, so that loading fails and is reported.
std::filesystem::path findReferenceFile(std::string_view fileName);

}  // namespace tarvelo
