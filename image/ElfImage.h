#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/MemoryRegions.h"

namespace kestrel::image {

enum class ElfResult : std::uint8_t {
  Ok,
  NotElf,            // no ELF magic, or headers libelf cannot read
  NotAvr,            // e_machine is not EM_AVR
  NotElf32Little,    // an AVR machine number, but not a 32-bit little-endian file
  NotLinked,         // an AVR file, but not an executable (e_type != ET_EXEC): an object file
  SegmentsOverlap,   // two loadable segments give one address different bytes
  OutsideRegions,    // a loaded byte lies in no memory region
  BeyondRegionSize,  // a memory's data reaches past the chip's size of it
};

// Two loadable segments that give one address different bytes; indexes are those of the
// program header table, from 0 as readelf counts them.
struct SegmentOverlap {
  std::size_t first = 0;      // the segment that gives `address` a byte first, by address
  std::size_t second = 0;     // the segment that gives it another byte
  std::uint64_t address = 0;  // the lowest load address given two different bytes
  bool operator==(const SegmentOverlap&) const = default;
};

struct ElfReadResult {
  ElfResult result = ElfResult::NotElf;
  WholeChipImage image;              // only with Ok
  std::uint64_t outsideAddress = 0;  // OutsideRegions: the lowest flat address in no region
  RegionOverflow overflow{};         // BeyondRegionSize: the first region in kRegions order
  SegmentOverlap overlap{};          // SegmentsOverlap
};

// Reads the loaded contents of a linked avr-gcc ELF program (the file's bytes; reading the
// file is the caller's part) into its memories as a loader does: every PT_LOAD segment's file
// bytes (p_filesz; .bss has none) at its physical address p_paddr. For avr-gcc's programs
// that is what `avr-objcopy -O ihex` writes: .data's initial values follow .text in FLASH
// and .eeprom, .fuse, .lock and .signature land in their regions by address. Section headers
// are not needed; a file that has them must hold their table, or it was cut short. Segments
// that overlap are fine where their bytes agree.
ElfReadResult ReadElfImage(std::span<const std::uint8_t> file, const ChipSizes& sizes);

}  // namespace kestrel::image
