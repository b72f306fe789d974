#include "chips/ChipGeometry.h"

#include "control/Texts.h"

namespace kestrel::chips {

namespace {

std::string MemoryProblem(std::int64_t pageBytes, std::int32_t pageCount, std::int64_t size,
                          std::int64_t bufferBytes) {
  if (pageBytes == 0) return texts::kPageSizeZero;
  if (pageCount < 0) return texts::kPageCountNegative;
  if (size > bufferBytes) return texts::kSizeBeyondBuffer;
  return {};
}

}  // namespace

std::string FlashGeometryProblem(const ChipGeometry& geometry) {
  return MemoryProblem(geometry.FlashPageBytes(), geometry.flashPageCount, geometry.FlashSize(),
                       kFlashBufferBytes);
}

std::string EepromGeometryProblem(const ChipGeometry& geometry) {
  return MemoryProblem(geometry.eepromPageBytes, geometry.eepromPageCount, geometry.EepromSize(),
                       kEepromBufferBytes);
}

}  // namespace kestrel::chips
