#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tarvelo {

// Parses the numbers typed into an edit field and appends each one read to `list`.
//
// Numbers are separated by white space; surrounding white space is ignored and case does not
// matter. With `hex` set every number is hexadecimal, optionally ended by an H (so "10H20H" is
// two numbers); without it they are decimal. A 0x prefix makes a number hexadecimal either way.
// No sign is accepted, and any other character ends the parse with a failure. A number beyond
// the int32 range fails instead of wrapping.
//
// Returns the last number read. `ok` is false when the text holds nothing but white space or
// when a number could not be read; numbers read before the failure stay appended. A lone 0x or
// H at the end reads as 0.
std::int32_t ParseNumberList(std::string_view text, bool hex, bool& ok,
                             std::vector<std::int32_t>& list);

}  // namespace tarvelo
