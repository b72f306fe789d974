#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "image/MemoryRegions.h"

namespace kestrel::image {

// Bytes at their address in a HEX file's 32-bit address space.
struct HexSpan {
  std::uint32_t address = 0;
  std::span<const std::uint8_t> bytes;
};

// Intel HEX text of `spans` (ascending, not overlapping; the last byte of each at most at
// 0xFFFFFFFF): data records of at most 16 bytes that never cross a 16-byte boundary (so none
// crosses a 64 KiB bank), an extended linear address record (04) before the first record of
// every bank but bank 0, then the end record. Upper-case digits, LF line ends: every reader
// of the format, avr-objcopy and this program's own included, takes LF, and the text is the
// same on every system.
std::string WriteHex(std::span<const HexSpan> spans);

// One memory: bytes [0, length) of `image`. The caller passes the trimmed length (trailing
// 0xFF dropped, as a binary save does); 0xFF inside that stays in the file.
std::string WriteHexMemory(std::span<const std::uint8_t> image, std::size_t length);

// A whole-chip file: every region that holds data, at its start address. Only bytes given are
// written, so a file that sets only some fuses leaves the others unprogrammed.
std::string WriteHexWholeChip(const WholeChipImage& image);

}  // namespace kestrel::image
