#pragma once

#include <cstdint>
#include <vector>

#include "chips/ChipGeometry.h"

namespace kestrel::device {

// What the host keeps of the chip's two memories: the image to write (from a file) and the
// read-back of the last read, each the size of the largest chip, and whether each may be used.
struct ChipMemories {
  std::vector<std::uint8_t> flashImage = std::vector<std::uint8_t>(chips::kFlashBufferBytes, 0xFF);
  std::vector<std::uint8_t> flashReadback = std::vector<std::uint8_t>(chips::kFlashBufferBytes, 0xFF);
  std::vector<std::uint8_t> eepromImage = std::vector<std::uint8_t>(chips::kEepromBufferBytes, 0xFF);
  std::vector<std::uint8_t> eepromReadback = std::vector<std::uint8_t>(chips::kEepromBufferBytes, 0xFF);

  // An image counts once a file was opened into it; a refused open leaves none.
  bool flashImageLoaded = false;
  bool eepromImageLoaded = false;
  // A read-back counts only after a read that completed every page, until something may have
  // changed the chip or the buffer since.
  bool flashReadbackValid = false;
  bool eepromReadbackValid = false;
};

}  // namespace kestrel::device
