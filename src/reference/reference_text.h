#pragma once

// Low-level reading of the reference files: how a file's bytes become lines, a line becomes
// fields and a field becomes a number or a UTF-8 name. The files are plain text written by hand,
// historically in code page 932 on Windows, so the reading keeps to the byte-oriented rules
// those files were written for (lines of at most 255 characters, fields split on commas).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvelo::reference_text {

// The longest line piece one read takes, its newline included. A longer line is read in
// several pieces and each remainder counts as a line of its own.
inline constexpr std::size_t kMaxLineChars = 255;

enum class Encoding { Utf8, Cp932 };

// A reference file ready to be read: a leading UTF-8 byte-order mark removed, CR LF pairs turned
// into LF as a text-mode read would, and the encoding of the names decided for the whole file
// (UTF-8 when every byte sequence in it is well-formed UTF-8, code page 932 otherwise).
struct PreparedText {
    std::string bytes;
    Encoding encoding = Encoding::Utf8;
};

PreparedText prepare(std::string_view fileBytes);

// Hands out the lines of a prepared text. Each line is at most kMaxLineChars characters with its
// newline and ends at its first NUL byte, as the text of a C string would.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : rest_(text) {}

    // False at the end of the text; `line` is then left as it was.
    bool next(std::string_view& line);

  private:
    std::string_view rest_;
};

// Splits `line` into at most `maxFields` fields. A comma ends a field and starts the next one;
// a LF or the end of the line ends the field and the line. Nothing is trimmed. The scan stops
// once `maxFields` fields are stored. With `hashEndsScan`, a '#' stops the scan at once and the
// field it stands in is not stored.
std::vector<std::string_view> splitFields(std::string_view line, std::size_t maxFields,
                                          bool hashEndsScan);

// The leading decimal integer of `text` as atoi reads it: leading white space and one sign are
// skipped, the digits that follow are read, anything after them is ignored, no digits give 0.
// A value beyond the int32 range saturates at its limit.
std::int32_t leadingInteger(std::string_view text);

// 16 * d(c1) + d(c2), where d is c - '0' for a decimal digit and c - 55 for anything else, so the
// upper-case letters A to F give 10 to 15. Other characters give meaningless values by design.
std::int32_t parseHexPair(char c1, char c2);

// A field's text as UTF-8 in at most `maxBytes` bytes, cut at a character boundary. Bytes that do
// not decode become U+FFFD (a line cut inside a character leaves such bytes behind).
std::string decodeName(std::string_view field, Encoding encoding, std::size_t maxBytes);

}  // namespace tarvelo::reference_text
