#include "reference/parse_number_list.h"

#include <limits>
#include <string>

namespace tarvelo {

namespace {

constexpr std::uint64_t kMaxValue = std::numeric_limits<std::int32_t>::max();

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

// Upper-case only: the text has been upper-cased before it is read.
int hexDigitValue(char c) {
    if (isDecimalDigit(c)) {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

void skipSpace(std::string_view& text) {
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
}

struct ReadResult {
    bool ok;
    std::int32_t value;
};

// Takes a run of digits from the front of `text`. The run is consumed whole even when its value
// no longer fits, so that an overflow fails the read rather than wrapping to a small number.
template <typename DigitValue>
ReadResult readDigits(std::string_view& text, std::uint64_t base, DigitValue digitValue,
                      std::size_t& taken) {
    std::uint64_t value = 0;
    bool overflow = false;
    taken = 0;
    while (taken < text.size()) {
        const int digit = digitValue(text[taken]);
        if (digit < 0) {
            break;
        }
        value = value * base + static_cast<std::uint64_t>(digit);
        if (value > kMaxValue) {
            overflow = true;
            value = 0;
        }
        ++taken;
    }
    text.remove_prefix(taken);
    return overflow ? ReadResult{false, 0} : ReadResult{true, static_cast<std::int32_t>(value)};
}

ReadResult readHex(std::string_view& text) {
    if (text.empty()) {
        return {true, 0};
    }
    std::size_t taken = 0;
    ReadResult result = readDigits(text, 16, hexDigitValue, taken);
    if (!text.empty() && text.front() == 'H') {
        text.remove_prefix(1);
        ++taken;
    }
    if (taken == 0) {
        return {false, 0};
    }
    return result;
}

ReadResult readDecimal(std::string_view& text) {
    if (text.empty() || !isDecimalDigit(text.front())) {
        return {false, 0};
    }
    std::size_t taken = 0;
    return readDigits(
        text, 10, [](char c) { return isDecimalDigit(c) ? c - '0' : -1; }, taken);
}

}  // namespace

std::int32_t ParseNumberList(std::string_view text, bool hex, bool& ok,
                             std::vector<std::int32_t>& list) {
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    skipSpace(text);
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    std::string_view rest = upper;

    ok = !rest.empty();
    ReadResult last{true, 0};
    while (!rest.empty() && ok) {
        if (rest.substr(0, 2) == "0X") {
            rest.remove_prefix(2);
            last = readHex(rest);
        } else {
            last = hex ? readHex(rest) : readDecimal(rest);
        }
        if (last.ok) {
            list.push_back(last.value);
        }
        ok = last.ok;
        skipSpace(rest);
    }
    return last.value;
}

}  // namespace tarvelo
