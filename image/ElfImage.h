#pragma once

#include <cstdint>
#include <span>

#include "image/MemoryRegions.h"

namespace kestrel::image {

enum class ElfResult : std::uint8_t {
  Ok,
  NotElf,            // no ELF magic, or headers libelf cannot read
  NotAvr,            // e_machine is not EM_AVR
  NotElf32Little,    // an AVR machine number, but not a 32-bit little-endian file
  OutsideRegions,    // a loaded byte lies in no memory region
  BeyondRegionSize,  // a memory's data reaches past the chip's size of it
};

struct ElfReadResult {
  ElfResult result = ElfResult::NotElf;
  WholeChipImage image;              // only with Ok
  std::uint64_t outsideAddress = 0;  // OutsideRegions: the lowest flat address in no region
  RegionOverflow overflow{};         // BeyondRegionSize: the first region in kRegions order
};

// Reads the loaded contents of an avr-gcc ELF program (the file's bytes; reading the file is
// the caller's part) into its memories, as `avr-objcopy -O ihex` would write them: every
// allocated section with contents at its load address, so .data's initial values follow
// .text in FLASH and .eeprom, .fuse, .lock and .signature land in their regions by address.
ElfReadResult ReadElfImage(std::span<const std::uint8_t> file, const ChipSizes& sizes);

}  // namespace kestrel::image
