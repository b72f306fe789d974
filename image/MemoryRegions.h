#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kestrel::image {

// The memories of a chip as files that hold more than one of them see them: avr-gcc's ELF
// files and whole-chip HEX files put every memory into one flat address space, each at a
// fixed start. Results here are facts (enums, addresses); the layer above words them.
enum class Region : std::uint8_t { Flash, Eeprom, Fuses, Lock, Signature };
inline constexpr std::size_t kRegionCount = 5;
inline constexpr std::array<Region, kRegionCount> kRegions = {Region::Flash, Region::Eeprom, Region::Fuses,
                                                              Region::Lock, Region::Signature};

// Where a region's byte 0 lies in the flat address space.
//   FLASH 0x000000, EEPROM 0x810000, fuses 0x820000 (low, high, extended), lock 0x830000,
//   signature 0x840000.
// avr-libc's <avr/signature.h> stores the signature as { SIGNATURE_2, SIGNATURE_1,
// SIGNATURE_0 }, so the lowest address holds the byte the chip reads out last (an ATmega328P
// gives 0F 95 1E here, and 1E 95 0F when read from the chip).
std::uint32_t RegionStart(Region region);

// How many flat addresses from its start a region owns. FLASH owns everything below the data
// space at 0x800000 (SRAM addresses of .data and .bss belong to no region); each other
// region owns 64 KiB. An address inside a region's window but past the chip's size is data
// beyond that region's size, not an address outside every region.
std::uint32_t RegionWindow(Region region);

// A flat address resolved to its region and the address within that memory (from 0).
struct RegionAddress {
  Region region;
  std::uint32_t offset;
  bool operator==(const RegionAddress&) const = default;
};
std::optional<RegionAddress> Locate(std::uint64_t address);

// The bytes a file gives for one memory, from the memory's address 0 up to the highest byte
// given; 0xFF (the erased value) where nothing was given.
struct RegionImage {
  std::vector<std::uint8_t> bytes;
  std::vector<bool> given;  // as long as `bytes`

  bool Empty() const { return bytes.empty(); }
};

struct WholeChipImage {
  std::array<RegionImage, kRegionCount> regions;

  RegionImage& operator[](Region region) { return regions[static_cast<std::size_t>(region)]; }
  const RegionImage& operator[](Region region) const { return regions[static_cast<std::size_t>(region)]; }
};

// Places `bytes` at the flat addresses from `address` on, each into the region whose window
// holds it; a later byte at the same address replaces an earlier one. Returns the first
// address that lies in no region (that byte and every other such byte are dropped), or
// nothing when every byte found its region.
std::optional<std::uint64_t> Place(WholeChipImage& image, std::uint64_t address,
                                   std::span<const std::uint8_t> bytes);

// The chip's FLASH and EEPROM sizes in bytes; fuses (3), lock (1) and signature (3) are the
// same on every chip this program handles.
struct ChipSizes {
  std::uint32_t flash = 0;
  std::uint32_t eeprom = 0;
};
std::uint32_t RegionSize(Region region, const ChipSizes& sizes);

// A region whose data reaches past the chip's size of that memory.
struct RegionOverflow {
  Region region;
  std::uint32_t highestOffset;  // of the last byte given, within the memory (from 0)
  std::uint32_t size;           // the memory's size on the chip
  bool operator==(const RegionOverflow&) const = default;
};

// Every region whose data ends beyond its size, in the order of kRegions.
std::vector<RegionOverflow> CheckSizes(const WholeChipImage& image, const ChipSizes& sizes);

}  // namespace kestrel::image
