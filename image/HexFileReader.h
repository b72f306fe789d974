#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "image/MemoryRegions.h"

namespace kestrel::image {

// Result codes of ReadHexImage and ReadHexRegions.
enum HexResult : std::int32_t {
  HexSuccess = 0,
  HexEofError = 2,
  HexChecksumError = 3,
  HexWrongLabel = 4,
  HexBadDigit = 9,          // a character inside a record is not a hex digit
  HexTruncatedRecord = 10,  // a record runs past the end of the text or into the end record
  HexTooLarge = 11,         // sound records, but data past the chip or the buffer
};
std::string HexResultText(std::int32_t code);

struct HexReadResult {
  std::int32_t code = HexSuccess;
  std::int32_t line = 0;     // 1-based line of the first faulty record; 0 when there is none
  std::uint64_t extent = 0;  // highest base + address + count of any data record; 0 if malformed
  std::size_t length = 0;    // bytes of the image: the extent on success, 0 otherwise
};

// Reads Intel HEX `text` (up to its first zero byte) into `destination`, which the caller has
// set to 0xFF over the chip's size `chipSize`: bytes [0, extent) are set to 0xFF, then every
// data record is written in file order, later over earlier. Text whose extent exceeds
// `chipSize` or the destination is refused with HexTooLarge, its extent still given, so that
// the caller can tell a whole-chip file. On any result but success `destination` is untouched.
HexReadResult ReadHexImage(std::string_view text, std::span<std::uint8_t> destination, std::int64_t chipSize);

// A HEX file read as a whole-chip file: every data record placed into the memory region of its
// address (FLASH from 0, EEPROM from 0x810000, fuses, lock, signature). The records are
// checked as ReadHexImage checks them.
struct HexRegionRead {
  std::int32_t code = HexSuccess;
  std::int32_t errorLine = 0;                   // of the faulty record; 0 when there is none
  WholeChipImage image;                         // empty unless the read succeeded
  std::optional<std::uint64_t> outsideAddress;  // the first data address in no region
};
HexRegionRead ReadHexRegions(std::string_view text);

}  // namespace kestrel::image
