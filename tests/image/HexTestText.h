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
  std::string record(9 + 2 * data.size() + 3, '\0');
  unsigned sum = static_cast<unsigned>(data.size() + (address >> 8) + (address & 0xFF) + type);
  int at = std::snprintf(record.data(), record.size(), ":%02zX%04X%02X", data.size(), address & 0xFFFF, type);
  for (std::uint8_t byte : data) {
    at += std::snprintf(record.data() + at, 3, "%02X", byte);
    sum += byte;
  }
  std::snprintf(record.data() + at, 3, "%02X", (0x100 - (sum & 0xFF) + checksumError) & 0xFF);
  record.resize(record.size() - 1);
  return record;
}

inline std::string DataRecord(unsigned address, const std::vector<std::uint8_t>& data) {
  return HexRecord(0, address, data) + "\n";
}
// An extended segment (02) or linear (04) address record.
inline std::string BaseRecord(int type, unsigned value) {
  return HexRecord(type, 0, {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)}) + "\n";
}
inline constexpr char kEnd[] = ":00000001FF\n";

inline std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t first) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

}  // namespace kestrel::image::testing
