#include "reference/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <utility>

namespace tarvelo {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

bool isContinuationByte(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence that starts at `pos`, or 0 when the bytes there do
// not form one (the ranges follow the Unicode table of well-formed byte sequences).
std::size_t wellFormedSequenceLength(std::string_view text, std::size_t pos) {
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byteAt(pos);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char secondMin = 0x80;
    unsigned char secondMax = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            secondMin = 0xA0;  // no overlong three-byte forms
        } else if (lead == 0xED) {
            secondMax = 0x9F;  // no UTF-16 surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            secondMin = 0x90;  // no overlong four-byte forms
        } else if (lead == 0xF4) {
            secondMax = 0x8F;  // nothing above U+10FFFF
        }
    } else {
        return 0;
    }
    if (text.size() - pos < length) {
        return 0;
    }
    const unsigned char second = byteAt(pos + 1);
    if (second < secondMin || second > secondMax) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuationByte(byteAt(pos + i))) {
            return 0;
        }
    }
    return length;
}

class IconvConverter {
  public:
    IconvConverter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~IconvConverter() {
        if (valid()) {
            iconv_close(handle_);
        }
    }
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return handle_; }

  private:
    iconv_t handle_;
};

enum class OnInvalidInput { Fail, Replace };

// Growable output buffer for iconv's pointer-and-room interface.
class OutputBuffer {
  public:
    explicit OutputBuffer(std::size_t initialSize)
        : bytes_(initialSize < 16 ? 16 : initialSize, '\0') {}

    char** cursor() { return &cursor_; }
    std::size_t* room() { return &room_; }

    void grow() {
        const std::size_t used = bytes_.size() - room_;
        bytes_.resize(bytes_.size() * 2);
        cursor_ = bytes_.data() + used;
        room_ = bytes_.size() - used;
    }

    void append(std::string_view text) {
        while (room_ < text.size()) {
            grow();
        }
        for (char c : text) {
            *cursor_++ = c;
        }
        room_ -= text.size();
    }

    std::string take() {
        bytes_.resize(bytes_.size() - room_);
        return std::move(bytes_);
    }

  private:
    std::string bytes_;
    char* cursor_ = bytes_.data();
    std::size_t room_ = bytes_.size();
};

std::optional<std::string> convert(const char* to, const char* from, std::string_view input,
                                   OnInvalidInput onInvalid, std::string_view replacement) {
    IconvConverter converter(to, from);
    if (!converter.valid()) {
        return std::nullopt;
    }
    // iconv's interface is not const-correct; it never writes through the input pointer.
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    OutputBuffer out(input.size() * 2);

    while (inLeft > 0) {
        if (iconv(converter.get(), &in, &inLeft, out.cursor(), out.room()) !=
            static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            out.grow();
        } else if ((errno == EILSEQ || errno == EINVAL) && onInvalid == OnInvalidInput::Replace) {
            out.append(replacement);
            ++in;
            --inLeft;
            iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
        } else {
            return std::nullopt;
        }
    }
    // Let a stateful converter write its closing shift sequence.
    while (iconv(converter.get(), nullptr, nullptr, out.cursor(), out.room()) ==
           static_cast<std::size_t>(-1)) {
        if (errno != E2BIG) {
            return std::nullopt;
        }
        out.grow();
    }
    return out.take();
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t length = wellFormedSequenceLength(text, pos);
        if (length == 0) {
            return false;
        }
        pos += length;
    }
    return true;
}

std::optional<std::string> cp932ToUtf8(std::string_view cp932) {
    return convert("UTF-8", "CP932", cp932, OnInvalidInput::Fail, {});
}

std::optional<std::string> utf8ToCp932(std::string_view utf8) {
    if (!isValidUtf8(utf8)) {
        return std::nullopt;
    }
    auto cp932 = convert("CP932", "UTF-8", utf8, OnInvalidInput::Fail, {});
    // iconv best-fits some characters instead of failing (¥ becomes 5Ch, which reads back as a
    // backslash; — and − become the bytes of ― and －): only bytes that decode to the same text
    // count as an encoding.
    if (cp932 && cp932ToUtf8(*cp932) != utf8)
        return std::nullopt;
    return cp932;
}

std::string cp932ToUtf8Lossy(std::string_view cp932) {
    if (auto converted =
            convert("UTF-8", "CP932", cp932, OnInvalidInput::Replace, kReplacementCharacter)) {
        return std::move(*converted);
    }
    // Without a CP932 converter only the ASCII range can be trusted.
    std::string result;
    result.reserve(cp932.size());
    for (char c : cp932) {
        if (static_cast<unsigned char>(c) < 0x80) {
            result += c;
        } else {
            result += kReplacementCharacter;
        }
    }
    return result;
}

std::string sanitizeUtf8(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t length = wellFormedSequenceLength(text, pos);
        if (length == 0) {
            result += kReplacementCharacter;
            ++pos;
        } else {
            result.append(text.substr(pos, length));
            pos += length;
        }
    }
    return result;
}

void truncateUtf8(std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return;
    }
    std::size_t cut = maxBytes;
    // A cut in front of a continuation byte would split its sequence; a sequence is at most four
    // bytes long, so at most three steps back reach its lead byte.
    for (int step = 0;
         step < 3 && cut > 0 && isContinuationByte(static_cast<unsigned char>(text[cut])); ++step) {
        --cut;
    }
    text.resize(cut);
}

}  // namespace tarvelo
