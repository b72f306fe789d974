#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileRead.h"
#include "chips/ChipGeometry.h"

namespace kestrel::chips {

// One catalogue entry as raw text in fixed slots, no terminators of their own: a text
// shorter than its slot is followed by a zero byte, a full one runs into the next slot.
struct ChipRecord {
  char name[15];
  char flashPageCountText[5];
  char flashPageWordsText[4];
  char eepromPageCountText[5];
  char eepromPageBytesText[4];
};
static_assert(sizeof(ChipRecord) == 33);

inline constexpr std::uint32_t kCatalogueCapacity = 200;

// What the parser had to cut or drop of its input.
struct CatalogueCuts {
  std::uint32_t namesCut = 0;        // names longer than 14 bytes
  std::uint32_t numbersCut = 0;      // numeric fields longer than their slot
  std::uint32_t recordsDropped = 0;  // records past the capacity
  std::size_t partialBytes = 0;      // a trailing record without its end

  bool operator==(const CatalogueCuts&) const = default;
};

// A catalogue entry as the program uses it, decoded from its record once, when it is parsed.
struct Chip {
  std::string rawName;      // as stored: GBK bytes up to the first zero
  std::string displayName;  // the same as UTF-8, for the chip list, messages and the facts
  // What picking the entry sets: the last byte of each numeric slot is dropped, then each text
  // is converted as atoi does (page sizes keep their low 8 bits).
  ChipGeometry geometry;
};

struct ChipCatalogue {
  std::array<ChipRecord, kCatalogueCapacity> records{};  // as read; unused slots zero-filled
  std::uint32_t recordCount = 0;
  std::vector<Chip> chips;  // the first recordCount records, decoded, in file order
  CatalogueCuts cuts;
};

// Parses "chip.txt" bytes: records of five fields ended by '|', ':', '|', ':', '<'. No byte
// is skipped or trimmed, so a line break after '<' starts the next name. Fields longer than
// their slot are cut (a name to 14 bytes, so it stays terminated); records past 200 and a
// trailing partial record are dropped; each counted in `cuts`. Each record kept is also
// decoded into `chips`.
ChipCatalogue ParseChipCatalogue(std::string_view bytes);

// Where "chip.txt" is looked for: the working directory, the installed data folder, then
// beside the executable, with fallbacks for a relocated install and for a build tree.
std::vector<std::string> CatalogueSearchPaths(const std::string& executableDir);

using CatalogueLoad = FileLoad;

// Reads the first readable file of `paths` into `catalogue`.
CatalogueLoad LoadChipCatalogue(const std::vector<std::string>& paths, ChipCatalogue& catalogue);

// Sets `geometry` from entry `index`, as a pick in the chip list does (see Chip::geometry).
// An index outside the catalogue changes nothing and returns false.
bool SelectChip(const ChipCatalogue& catalogue, int index, ChipGeometry& geometry);

// Whether two texts name the same chip: compared without the white space around either and
// with ASCII letters case-blind, so that "atmega8 " names ATmega8 but GBK bytes stay exact.
bool SameChipName(std::string_view a, std::string_view b);

// The first entry whose display or raw name is the same chip name as `name`; -1 when none is.
int FindChip(const ChipCatalogue& catalogue, std::string_view name);

}  // namespace kestrel::chips
