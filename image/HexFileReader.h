#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/ByteRanges.h"
#include "image/MemoryRegions.h"

namespace kestrel::image {

// Result codes of ReadHexImage and ReadHexRegions.
enum HexResult : std::int32_t {
  HexSuccess = 0,
  HexEofError = 2,  // records, but no end record
  HexChecksumError = 3,
  HexWrongLabel = 4,        // a type 01 record other than the end record ":00000001"
  HexBadDigit = 9,          // a character inside a record is not a hex digit
  HexTruncatedRecord = 10,  // a record runs past the end of the text or into the end record
  HexTooLarge = 11,         // sound records, but data past the chip or the buffer
  HexNotARecord = 12,       // a line holds something besides white space and one record
  HexUnknownType = 13,      // a record type past 05
  HexConflict = 14,         // two data records give one address different bytes
  HexEmpty = 15,            // no data byte: no record at all, or only the end record
};
// The fixed English reason of a code, which the refusal lines quote for the codes before
// HexNotARecord; the later ones are worded by the layer that shows them.
std::string HexResultText(std::int32_t code);

// Why a text was refused, with all that a message must name.
struct HexFault {
  std::int32_t code = HexSuccess;
  std::int32_t line = 0;         // 1-based line of the first faulty record; 0 when there is none
  std::int32_t earlierLine = 0;  // HexConflict: the line that gave `address` its first byte
  std::uint64_t address = 0;     // HexConflict: the first address given a different byte
  std::int32_t recordType = 0;   // HexUnknownType: the type
};

struct HexReadResult : HexFault {
  std::uint64_t extent = 0;  // highest base + address + count of any data record; 0 if malformed
  std::size_t length = 0;    // bytes of the image: the extent on success, 0 otherwise
  ByteRanges given;          // the bytes the records gave, on success
};

// Reads Intel HEX `text` (up to its first zero byte, and up to its end record; anything
// after that is not read) into `destination`, which the caller has set to 0xFF over the chip's
// size `chipSize`: bytes [0, extent) are set to 0xFF, then every data record is written.
// Every line before the end record is white space or one record, optionally indented or
// followed by white space. Faults are found in this order: the first faulty line; a text
// without data bytes (HexEmpty); an extent past `chipSize` or the destination (HexTooLarge,
// the extent still given, so that the caller can tell a whole-chip file); the first record,
// in file order, that gives an address a byte other than the one an earlier record gave
// (HexConflict; the same byte twice is fine). Under an extended segment address (02) a
// record's address wraps within its 64 KiB segment; under a linear one (04), or none, it
// runs on. On any result but success `destination` is untouched.
HexReadResult ReadHexImage(std::string_view text, std::span<std::uint8_t> destination, std::int64_t chipSize);

// A HEX file read as a whole-chip file: every data record placed into the memory region of its
// address (FLASH from 0, EEPROM from 0x810000, fuses, lock, signature). The text is checked
// as ReadHexImage checks it, but for its size, and the first fault in file order is given.
struct HexRegionRead : HexFault {
  WholeChipImage image;                         // empty unless the read succeeded
  std::optional<std::uint64_t> outsideAddress;  // the first data address in no region
};
HexRegionRead ReadHexRegions(std::string_view text);

}  // namespace kestrel::image
