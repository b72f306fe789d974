#include "chips/ChipGeometry.h"

namespace kestrel::chips {

namespace {

GeometryProblem MemoryProblem(std::int64_t pageBytes, std::int32_t pageCount, std::int64_t size,
                              std::int64_t bufferBytes) {
  if (pageBytes == 0) return GeometryProblem::PageSizeZero;
  if (pageCount < 0) return GeometryProblem::PageCountNegative;
  if (size > bufferBytes) return GeometryProblem::SizeBeyondBuffer;
  return GeometryProblem::None;
}

}  // namespace

GeometryProblem FlashGeometryProblem(const ChipGeometry& geometry) {
  return MemoryProblem(geometry.FlashPageBytes(), geometry.flashPageCount, geometry.FlashSize(),
                       kFlashBufferBytes);
}

GeometryProblem EepromGeometryProblem(const ChipGeometry& geometry) {
  return MemoryProblem(geometry.eepromPageBytes, geometry.eepromPageCount, geometry.EepromSize(),
                       kEepromBufferBytes);
}

}  // namespace kestrel::chips
