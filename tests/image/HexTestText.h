#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

// Builds Intel HEX text for the tests, one record at a time, with correct checksums unless
// asked otherwise, and reads the files the tests compare with.
namespace kestrel::image::testing {

inline std::string HexRecord(int type, unsigned address, const std::vector<std::uint8_t>& data,
                             int checksumError = 0) {
  std::vector<unsigned> bytes{static_cast<unsigned>(data.size()), address >> 8 & 0xFF, address & 0xFF,
                              static_cast<unsigned>(type)};
  bytes.insert(bytes.end(), data.begin(), data.end());
  bytes.push_back((checksumError - std::accumulate(bytes.begin(), bytes.end(), 0u)) & 0xFF);
  std::string record = ":";
  for (unsigned byte : bytes) record += {"0123456789ABCDEF"[byte >> 4], "0123456789ABCDEF"[byte & 0xF]};
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
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

// The file at `path` as text or as bytes; empty when it cannot be read.
template <typename Contents = std::string>
Contents ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace kestrel::image::testing
