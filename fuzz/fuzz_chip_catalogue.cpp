// Feeds arbitrary "chip.txt" bytes to the catalogue loader, then picks every entry as the chip
// list would, and one index on each side of the table.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "chips/ChipCatalogue.h"
#include "chips/ChipGeometry.h"

namespace {

using namespace kestrel::chips;

void Expect(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz_chip_catalogue: %s\n", what);
  std::abort();
}

// True when `text` is well-formed UTF-8: no stray continuation byte, no overlong form, no
// surrogate, nothing past U+10FFFF (the ranges of the second byte narrow after E0, ED, F0, F4).
bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned lead = byte(0);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if ((lead >= 0x80 && lead < 0xC2) || lead > 0xF4 || text.size() - i < length) return false;
    const unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (length > 1 && (byte(1) < low || byte(1) > high)) return false;
    for (std::size_t k = 2; k < length; ++k)
      if ((byte(k) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ChipCatalogue catalogue = ParseChipCatalogue(bytes);
  Expect(catalogue.recordCount <= kCatalogueCapacity, "more records than the table holds");

  Expect(catalogue.chips.size() == catalogue.recordCount, "a record left undecoded");
  for (std::uint32_t i = 0; i < catalogue.recordCount; ++i) {
    const Chip& chip = catalogue.chips[i];
    Expect(chip.rawName.size() < sizeof ChipRecord::name, "a name without its terminator");
    Expect(IsUtf8(chip.displayName), "a display name that is not UTF-8");

    ChipGeometry first;
    Expect(SelectChip(catalogue, static_cast<int>(i), first), "an entry inside the table refused");
    Expect(first.flashPageCount >= -999 && first.flashPageCount <= 9999 && first.eepromPageCount >= -999 &&
               first.eepromPageCount <= 9999,
           "a page count longer than its four characters");

    // A geometry the transfers accept must fit the image buffers.
    Expect(FlashGeometryProblem(first) != GeometryProblem::None ||
               (first.FlashPageBytes() > 0 && first.flashPageCount >= 0 &&
                first.FlashSize() <= kFlashBufferBytes),
           "an accepted FLASH geometry outside the buffer");
    Expect(EepromGeometryProblem(first) != GeometryProblem::None ||
               (first.eepromPageBytes > 0 && first.eepromPageCount >= 0 &&
                first.EepromSize() <= kEepromBufferBytes),
           "an accepted EEPROM geometry outside the buffer");
  }

  const ChipGeometry before{7, 7, 7, 7};
  ChipGeometry geometry = before;
  Expect(!SelectChip(catalogue, static_cast<int>(catalogue.recordCount), geometry) && geometry == before,
         "an index past the table changed the geometry");
  Expect(!SelectChip(catalogue, -1, geometry) && geometry == before, "a negative index changed the geometry");
  return 0;
}
