#pragma once

// Every file the program reads as input (arrangements, MIDI files, SoundFonts, reference files)
// goes through here, so that a directory, a FIFO, a device or a file too large for its kind is
// refused in the same words before a byte of it is read, and nothing here can block or throw.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvelo {

// The largest file of each kind the program reads: far above any real one, low enough that
// reading it (and what a library makes of it) fits in memory.
namespace input_limits {
inline constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
inline constexpr std::uint64_t kArrangementBytes = 64 * kMiB;
// A set list is a line per song, 128 songs at most: a few kilobytes.
inline constexpr std::uint64_t kSetListBytes = 1 * kMiB;
// A performance's Standard MIDI File is kilobytes; 16 MiB is no performance.
inline constexpr std::uint64_t kMidiFileBytes = 16 * kMiB;
// FluidSynth keeps every sample in memory; the largest General MIDI sets are some 1.6 GB.
inline constexpr std::uint64_t kSoundFontBytes = 2048 * kMiB;
inline constexpr std::uint64_t kReferenceFileBytes = 1 * kMiB;
// An arrangement's companion file takes some 70 bytes a Part.
inline constexpr std::uint64_t kCompanionBytes = 1 * kMiB;
}  // namespace input_limits

// Why an input file was refused.
struct InputFileError {
    enum class Kind {
        CannotOpen,  // missing, not permitted
        NotAFile,    // a directory, FIFO, device or socket
        TooLarge,    // over the limit of its kind
        CannotRead,  // a read failed
    };
    Kind kind = Kind::CannotOpen;
    // One line without the file's name: the system's reason, "a directory, not a file",
    // "larger than 16 MiB".
    std::string detail;
};

struct InputFileBytes {
    std::vector<std::uint8_t> bytes;  // the whole file when error is empty
    std::optional<InputFileError> error;
};

// For a file mode (stat's st_mode) that is not a regular file, what it is instead, in the words
// every refusal uses ("a directory, not a file"); nullopt for a regular file.
std::optional<std::string> whyNotAFile(unsigned mode);

// Reads the regular file at path whole when it holds at most maxBytes. Its type and size are
// checked before anything is read, and opening never waits (a FIFO is refused, not waited on).
// Any thread but the real-time ones (it allocates and reads).
InputFileBytes readInputFile(const std::string& path, std::uint64_t maxBytes);

// The same checks for a file that a library reads itself (a SoundFont): nullopt when path is a
// regular file of at most maxBytes that can be opened for reading.
std::optional<InputFileError> checkInputFile(const std::string& path, std::uint64_t maxBytes);

// The first `count` bytes of the regular file at path (all of it when it is shorter), to tell
// what kind of file it is before it is read whole under the limit of that kind. Checked and
// opened as readInputFile does, but any size is accepted. Any thread but the real-time ones.
InputFileBytes readInputFileHead(const std::string& path, std::size_t count);

}  // namespace tarvelo
