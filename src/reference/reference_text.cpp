#include "reference/reference_text.h"

#include <algorithm>
#include <limits>

#include "reference/cp932.h"

namespace tarvelo::reference_text {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

PreparedText prepare(std::string_view fileBytes) {
    if (fileBytes.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) {
        fileBytes.remove_prefix(kUtf8ByteOrderMark.size());
    }
    PreparedText prepared;
    prepared.bytes.reserve(fileBytes.size());
    for (std::size_t i = 0; i < fileBytes.size(); ++i) {
        if (fileBytes[i] == '\r' && i + 1 < fileBytes.size() && fileBytes[i + 1] == '\n') {
            continue;
        }
        prepared.bytes += fileBytes[i];
    }
    prepared.encoding = isValidUtf8(prepared.bytes) ? Encoding::Utf8 : Encoding::Cp932;
    return prepared;
}

bool LineReader::next(std::string_view& line) {
    if (rest_.empty()) {
        return false;
    }
    std::size_t length = rest_.substr(0, kMaxLineChars).find('\n');
    length = length == std::string_view::npos ? std::min(rest_.size(), kMaxLineChars) : length + 1;
    line = rest_.substr(0, length);
    rest_.remove_prefix(length);
    if (const std::size_t nul = line.find('\0'); nul != std::string_view::npos) {
        line = line.substr(0, nul);
    }
    return true;
}

std::vector<std::string_view> splitFields(std::string_view line, std::size_t maxFields,
                                          bool hashEndsScan) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; fields.size() < maxFields; ++i) {
        if (i == line.size() || line[i] == '\n') {
            fields.push_back(line.substr(start, i - start));
            break;
        }
        if (hashEndsScan && line[i] == '#') {
            break;
        }
        if (line[i] == ',') {
            fields.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    return fields;
}

std::int32_t leadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude one past INT32_MAX at most so that INT32_MIN stays reachable.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        magnitude = std::min(magnitude * 10 + (text[i] - '0'), kLimit);
    }
    if (negative) {
        return static_cast<std::int32_t>(-magnitude);
    }
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(magnitude, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t parseHexPair(char c1, char c2) {
    const auto digit = [](char c) -> std::int32_t {
        const auto code = static_cast<std::int32_t>(static_cast<unsigned char>(c));
        return isDigit(c) ? code - '0' : code - 55;
    };
    return 16 * digit(c1) + digit(c2);
}

std::string decodeName(std::string_view field, Encoding encoding, std::size_t maxBytes) {
    std::string name = encoding == Encoding::Utf8 ? sanitizeUtf8(field) : cp932ToUtf8Lossy(field);
    truncateUtf8(name, maxBytes);
    return name;
}

}  // namespace tarvelo::reference_text
