#pragma once

#include <cstdint>

namespace kestrel::chips {

inline constexpr std::int64_t kFlashBufferBytes = 262144;
inline constexpr std::int64_t kEepromBufferBytes = 65536;

// The memory layout of the selected chip; every FLASH and EEPROM size is computed from it.
// Until a chip is picked it describes 32 pages of 16 words and 16 EEPROM pages of 4 bytes.
struct ChipGeometry {
  std::uint8_t flashPageWords = 16;   // FLASH page size in 16-bit words
  std::uint8_t eepromPageBytes = 4;   // EEPROM page size in bytes
  std::int32_t flashPageCount = 32;   // number of FLASH pages
  std::int32_t eepromPageCount = 16;  // number of EEPROM pages

  std::int64_t FlashPageBytes() const { return std::int64_t{flashPageWords} * 2; }
  std::int64_t FlashSize() const { return FlashPageBytes() * flashPageCount; }
  std::int64_t EepromSize() const { return std::int64_t{eepromPageBytes} * eepromPageCount; }

  bool operator==(const ChipGeometry&) const = default;
};

// Why a transfer cannot serve a memory of this geometry.
enum class GeometryProblem { None, PageSizeZero, PageCountNegative, SizeBeyondBuffer };
GeometryProblem FlashGeometryProblem(const ChipGeometry& geometry);
GeometryProblem EepromGeometryProblem(const ChipGeometry& geometry);

}  // namespace kestrel::chips
