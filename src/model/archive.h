#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarvelo {

// The byte-level form of arrangement files: little-endian integers, raw bytes, and texts with a
// length prefix:
//   length 0..254        one byte;
//   length 255..65533    0xFF, then a 16-bit length;
//   longer               0xFF, 0xFFFF, then a 32-bit length.
// A text may also be stored in 16-bit units: 0xFF, 0xFFFE, then a prefix of the form above
// counting UTF-16 units, then the units in UTF-16LE.

// Reading ran past the end of the data, or met a value the data cannot hold.
class ArchiveError : public std::runtime_error {
  public:
    ArchiveError(const std::string& what, std::size_t offset)
        : std::runtime_error(what), offset_(offset) {}
    // Where the field that failed starts.
    std::size_t offset() const { return offset_; }

  private:
    std::size_t offset_;
};

// A text as stored: 8-bit code page bytes, or UTF-16 units.
struct ArchiveText {
    bool wide = false;
    std::string narrow;    // when !wide
    std::u16string units;  // when wide
};

class ArchiveWriter {
  public:
    void writeInt32(std::int32_t value);
    void writeByte(std::uint8_t value);
    void writeBytes(std::span<const std::uint8_t> bytes);
    // Code page bytes, no terminator.
    void writeString(std::string_view bytes);
    void writeWideString(std::u16string_view units);

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

  private:
    void writeLength(std::size_t length);

    std::vector<std::uint8_t> bytes_;
};

// Reads from memory; every read checks what is left and throws ArchiveError instead of reading
// beyond the end, so any byte sequence is safe to read.
class ArchiveReader {
  public:
    explicit ArchiveReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::int32_t readInt32();
    std::uint8_t readByte();
    std::span<const std::uint8_t> readBytes(std::size_t count);
    ArchiveText readString();

    std::size_t offset() const { return pos_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }

  private:
    void need(std::size_t count, const char* what) const;
    std::uint16_t readUint16();
    std::uint32_t readUint32();

    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// UTF-16 <-> UTF-8. Unpaired surrogates become U+FFFD; invalid UTF-8 sequences likewise.
std::string utf16ToUtf8(std::u16string_view units);
std::u16string utf8ToUtf16(std::string_view text);

}  // namespace tarvelo
