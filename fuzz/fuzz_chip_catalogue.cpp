// Feeds arbitrary "chip.txt" bytes to the catalogue loader, then picks every entry as the chip
// list would, and one index on each side of the table.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07u;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3Fu);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ChipCatalogue catalogue = ParseChipCatalogue(bytes);
  Expect(catalogue.recordCount <= kCatalogueCapacity, "more records than the table holds");
  Expect(size > 0 || catalogue.recordCount == 0, "records from no bytes");

  const ChipCatalogue again = ParseChipCatalogue(bytes);
  Expect(again.recordCount == catalogue.recordCount &&
             std::memcmp(again.records.data(), catalogue.records.data(),
                         sizeof(ChipRecord) * kCatalogueCapacity) == 0,
         "the same bytes parsed twice differ");

  for (std::uint32_t i = 0; i < catalogue.recordCount; ++i) {
    const ChipRecord& record = catalogue.records[i];
    Expect(RawChipName(record).size() < sizeof record.name, "a name without its terminator");
    Expect(IsUtf8(DisplayChipName(record)), "a display name that is not UTF-8");

    ChipGeometry first;
    Expect(SelectChip(catalogue, static_cast<int>(i), first), "an entry inside the table refused");
    ChipGeometry second{1, 1, 1, 1};
    Expect(SelectChip(catalogue, static_cast<int>(i), second) && second == first,
           "picking the same entry twice gives another geometry");
    Expect(first.flashPageCount >= -999 && first.flashPageCount <= 9999 && first.eepromPageCount >= -999 &&
               first.eepromPageCount <= 9999,
           "a page count longer than its four characters");

    // A geometry the transfers accept must fit the image buffers.
    if (FlashGeometryProblem(first) == GeometryProblem::None) {
      Expect(
          first.FlashPageBytes() > 0 && first.flashPageCount >= 0 && first.FlashSize() <= kFlashBufferBytes,
          "an accepted FLASH geometry outside the buffer");
    }
    if (EepromGeometryProblem(first) == GeometryProblem::None) {
      Expect(
          first.eepromPageBytes > 0 && first.eepromPageCount >= 0 && first.EepromSize() <= kEepromBufferBytes,
          "an accepted EEPROM geometry outside the buffer");
    }
  }

  const ChipGeometry before{7, 7, 7, 7};
  ChipGeometry geometry = before;
  Expect(!SelectChip(catalogue, static_cast<int>(catalogue.recordCount), geometry) && geometry == before,
         "an index past the table changed the geometry");
  Expect(!SelectChip(catalogue, -1, geometry) && geometry == before, "a negative index changed the geometry");
  return 0;
}
