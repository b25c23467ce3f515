#pragma once

// Text crosses between the program's one internal encoding (UTF-8) and code page 932
// (Shift-JIS with the NEC and IBM extensions, as Windows writes it) only at the file edges.
// All functions are reentrant and may run on any non-real-time thread; each conversion opens
// its own converter, so they allocate and must never be called from the MIDI callback.

#include <optional>
#include <string>
#include <string_view>

namespace tarvelo {

// True when `text` is well-formed UTF-8: no stray continuation bytes, no truncated sequence,
// no overlong form, no UTF-16 surrogate and nothing above U+10FFFF. The empty text is valid.
bool isValidUtf8(std::string_view text);

// Converts CP932 bytes to UTF-8. nullopt when a byte sequence is not valid CP932 (a lead byte
// without its trail byte included) or when the system has no CP932 converter.
std::optional<std::string> cp932ToUtf8(std::string_view cp932);

// Converts UTF-8 to CP932. nullopt when `utf8` is not valid UTF-8 or holds a character that
// CP932 cannot represent exactly (an emoji, most non-Japanese scripts, ¥, the em dash): the
// result always decodes back to `utf8` itself.
std::optional<std::string> utf8ToCp932(std::string_view utf8);

// Like cp932ToUtf8, but never fails: every byte that does not start a valid CP932 character
// becomes U+FFFD and decoding goes on with the next byte.
std::string cp932ToUtf8Lossy(std::string_view cp932);

// Returns `text` with every byte that is not part of a well-formed UTF-8 sequence replaced by
// U+FFFD; well-formed text comes back unchanged.
std::string sanitizeUtf8(std::string_view text);

// Cuts `text` to at most `maxBytes` bytes without splitting a UTF-8 sequence.
void truncateUtf8(std::string& text, std::size_t maxBytes);

}  // namespace tarvelo
