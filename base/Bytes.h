#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kestrel {

// The index of the last byte that is not 0xFF, plus one; 0 when all are 0xFF; a length of 0
// or less is returned as it is.
std::int32_t TrimmedLength(const std::uint8_t* bytes, std::int32_t length);

// zlib's CRC-32 (the one of PNG, ZIP and Ethernet) of `count` bytes.
std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t count);

// The value of each character as a hex digit, -1 for every character that is not one. A table,
// inline, because the HEX reader looks up every character of a file.
inline constexpr std::array<std::int8_t, 256> kHexDigitValues = [] {
  std::array<std::int8_t, 256> table{};
  table.fill(-1);
  for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<std::int8_t>(i);
  for (int i = 0; i < 6; ++i) {
    table['a' + i] = static_cast<std::int8_t>(10 + i);
    table['A' + i] = static_cast<std::int8_t>(10 + i);
  }
  return table;
}();

// The value of one hex digit, or -1 for any other character.
inline int HexDigitValue(char c) {
  return kHexDigitValues[static_cast<unsigned char>(c)];
}

// Reads `pairs` bytes from the first 2 * `pairs` characters of `text`, each two hex digits,
// the first the high nibble. False, and `bytes` untouched, unless the text holds at least that
// many characters and all of them are hex digits.
bool ParseHexText(std::string_view text, int pairs, std::uint8_t* bytes);

}  // namespace kestrel
