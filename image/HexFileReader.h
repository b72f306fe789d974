#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "image/MemoryRegions.h"

namespace kestrel::image {

// Result codes of ReadHexImage.
enum HexResult : std::int32_t {
  HexSuccess = 0,
  HexOpenError = 1,
  HexEofError = 2,
  HexChecksumError = 3,
  HexWrongLabel = 4,
  HexBadDigit = 9,          // a character inside a record is not a hex digit
  HexTruncatedRecord = 10,  // a record runs past the end of the text or into the end record
};
std::string HexResultText(std::int32_t code);

// Turns Intel HEX text into a flat image.
class HexFileReader {
 public:
  // Reads `text` (up to its first zero byte) into `destination`, which the caller has set to
  // 0xFF over the chip's size `chipSize`. Returns a HexResult; on any result but success the
  // destination is untouched. An image whose extent (the highest base + address + count of
  // any data record) exceeds `chipSize` is refused with HexOpenError, leaving
  // resultCode and resultText as they were. Sets dataLength to the extent, 0 on failure, and
  // extent to the extent whenever the records were sound, so also on that refusal.
  std::int32_t ReadHexImage(std::string_view text, std::span<std::uint8_t> destination,
                            std::int64_t chipSize);

  std::uint8_t fillByte = 0xFF;  // image bytes no record covers
  std::int32_t dataLength = 0;   // byte count of the last opened image
  std::uint64_t extent = 0;      // end of the data of the last sound text, opened or too large
  std::int32_t errorLine = 0;    // 1-based line of the faulty record of the last read; 0: none
  std::int32_t resultCode = -1;  // code of the last completed read
  std::string resultText;        // text of resultCode
};

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
