#include "model/archive.h"

#include <limits>

namespace tarvelo {

namespace {

constexpr std::uint8_t kLongLength = 0xFF;
constexpr std::uint16_t kWideMarker = 0xFFFE;
constexpr std::uint16_t kHugeLength = 0xFFFF;

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

void ArchiveWriter::writeInt32(std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        bytes_.push_back(static_cast<std::uint8_t>(v >> shift));
}

void ArchiveWriter::writeByte(std::uint8_t value) {
    bytes_.push_back(value);
}

void ArchiveWriter::writeBytes(std::span<const std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void ArchiveWriter::writeLength(std::size_t length) {
    if (length < kLongLength) {
        writeByte(static_cast<std::uint8_t>(length));
        return;
    }
    writeByte(kLongLength);
    if (length < kWideMarker) {
        writeByte(static_cast<std::uint8_t>(length));
        writeByte(static_cast<std::uint8_t>(length >> 8));
        return;
    }
    if (length > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("text too long to store");
    writeByte(0xFF);
    writeByte(0xFF);
    writeInt32(static_cast<std::int32_t>(static_cast<std::uint32_t>(length)));
}

void ArchiveWriter::writeString(std::string_view bytes) {
    writeLength(bytes.size());
    for (char c : bytes)
        bytes_.push_back(static_cast<std::uint8_t>(c));
}

void ArchiveWriter::writeWideString(std::u16string_view units) {
    writeByte(kLongLength);
    writeByte(static_cast<std::uint8_t>(kWideMarker));
    writeByte(static_cast<std::uint8_t>(kWideMarker >> 8));
    writeLength(units.size());
    for (char16_t u : units) {
        bytes_.push_back(static_cast<std::uint8_t>(u));
        bytes_.push_back(static_cast<std::uint8_t>(u >> 8));
    }
}

void ArchiveReader::need(std::size_t count, const char* what) const {
    if (count > remaining()) {
        throw ArchiveError(std::string("the file ends inside ") + what + " (" +
                               std::to_string(count) + " bytes needed, " +
                               std::to_string(remaining()) + " left)",
                           pos_);
    }
}

std::uint8_t ArchiveReader::readByte() {
    need(1, "a byte field");
    return bytes_[pos_++];
}

std::uint16_t ArchiveReader::readUint16() {
    need(2, "a text length");
    const auto v = static_cast<std::uint16_t>(bytes_[pos_] | (bytes_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
}

std::uint32_t ArchiveReader::readUint32() {
    need(4, "a 32-bit field");
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | bytes_[pos_ + static_cast<std::size_t>(i)];
    pos_ += 4;
    return v;
}

std::int32_t ArchiveReader::readInt32() {
    return static_cast<std::int32_t>(readUint32());
}

std::span<const std::uint8_t> ArchiveReader::readBytes(std::size_t count) {
    need(count, "a run of bytes");
    const auto out = bytes_.subspan(pos_, count);
    pos_ += count;
    return out;
}

ArchiveText ArchiveReader::readString() {
    const std::size_t start = pos_;
    ArchiveText text;
    std::size_t length = readByte();
    if (length == kLongLength) {
        std::uint16_t word = readUint16();
        if (word == kWideMarker) {
            // The prefix proper follows the marker; a second marker is just a length.
            text.wide = true;
            length = readByte();
            if (length == kLongLength)
                word = readUint16();
        }
        if (length == kLongLength)
            length = word == kHugeLength ? readUint32() : word;
    }
    const std::size_t byteCount = text.wide ? length * 2 : length;
    if (byteCount > remaining()) {
        throw ArchiveError("a text of " + std::to_string(length) +
                               (text.wide ? " 16-bit units" : " bytes") + " does not fit in the " +
                               std::to_string(remaining()) + " bytes left",
                           start);
    }
    const auto body = bytes_.subspan(pos_, byteCount);
    pos_ += byteCount;
    if (text.wide) {
        text.units.reserve(length);
        for (std::size_t i = 0; i < byteCount; i += 2) {
            text.units.push_back(static_cast<char16_t>(body[i] | (body[i + 1] << 8)));
        }
    } else {
        text.narrow.assign(reinterpret_cast<const char*>(body.data()), body.size());
    }
    return text;
}

std::string utf16ToUtf8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size() * 3);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            appendUtf8(
                out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{units[i + 1]} - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    const auto byteAt = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    while (i < text.size()) {
        const unsigned char lead = byteAt(i);
        char32_t c = kReplacement;
        std::size_t length = 1;
        std::size_t need = 0;
        char32_t min = 0;
        if (lead < 0x80) {
            c = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            need = 1;
            c = lead & 0x1F;
            min = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2;
            c = lead & 0x0F;
            min = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3;
            c = lead & 0x07;
            min = 0x10000;
        }
        if (need > 0) {
            bool ok = i + need < text.size();
            for (std::size_t k = 1; ok && k <= need; ++k) {
                const unsigned char b = byteAt(i + k);
                if ((b & 0xC0) != 0x80) {
                    ok = false;
                } else {
                    c = (c << 6) | (b & 0x3F);
                }
            }
            if (ok && (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
                ok = false;
            if (ok) {
                length = need + 1;
            } else {
                c = kReplacement;
            }
        }
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += length;
    }
    return out;
}

}  // namespace tarvelo
