#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Builds Intel HEX text for the tests, one record at a time, with correct checksums unless
// asked otherwise.
namespace kestrel::image::testing {

inline std::string HexRecord(int type, unsigned address, const std::vector<std::uint8_t>& data,
                             int checksumError = 0) {
  unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) +
                 static_cast<unsigned>(type);
  char field[16];
  std::snprintf(field, sizeof field, ":%02X%04X%02X", static_cast<unsigned>(data.size()),
                address & 0xFFFF, static_cast<unsigned>(type));
  std::string record = field;
  for (std::uint8_t byte : data) {
    std::snprintf(field, sizeof field, "%02X", byte);
    record += field;
    sum += byte;
  }
  std::snprintf(field, sizeof field, "%02X", (0x100 - (sum & 0xFF) + checksumError) & 0xFF);
  return record + field;
}

inline std::string DataRecord(unsigned address, const std::vector<std::uint8_t>& data) {
  return HexRecord(0, address, data) + "\n";
}
inline std::string SegmentRecord(unsigned value) {
  return HexRecord(2, 0, {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)}) +
         "\n";
}
inline std::string LinearRecord(unsigned value) {
  return HexRecord(4, 0, {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)}) +
         "\n";
}
inline constexpr char kEnd[] = ":00000001FF\n";

inline std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t first) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

}  // namespace kestrel::image::testing
