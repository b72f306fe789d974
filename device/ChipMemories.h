#pragma once

#include <cstdint>
#include <vector>

#include "chips/ChipGeometry.h"

namespace kestrel::device {

// What the host keeps of the chip's two memories: the image to write (from a file or the
// hex view) and the read-back of the last read, each the size of the largest chip.
struct ChipMemories {
  std::vector<std::uint8_t> flashImage = std::vector<std::uint8_t>(chips::kFlashBufferBytes, 0xFF);
  std::vector<std::uint8_t> flashReadback = std::vector<std::uint8_t>(chips::kFlashBufferBytes, 0xFF);
  std::vector<std::uint8_t> eepromImage = std::vector<std::uint8_t>(chips::kEepromBufferBytes, 0xFF);
  std::vector<std::uint8_t> eepromReadback = std::vector<std::uint8_t>(chips::kEepromBufferBytes, 0xFF);
};

}  // namespace kestrel::device
