#pragma once

#include <cstdint>
#include <string_view>

namespace kestrel {

// The index of the last byte that is not 0xFF, plus one; 0 when all are 0xFF; a length of 0
// or less is returned as it is.
std::int32_t TrimmedLength(const std::uint8_t* bytes, std::int32_t length);

// The value of one hex digit, or -1 for any other character.
int HexDigitValue(char c);

// Reads `pairs` bytes from the first 2 * `pairs` characters of `text`, each two hex digits,
// the first the high nibble. False, and `bytes` untouched, unless the text holds at least that
// many characters and all of them are hex digits.
bool ParseHexText(std::string_view text, int pairs, std::uint8_t* bytes);

}  // namespace kestrel
