#include "chips/ChipBooks.h"

namespace kestrel::chips {

const ChipFacts* ChipBooks::FactsOf(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= catalogue.chips.size()) return nullptr;
  return facts.Find(catalogue.chips[static_cast<std::size_t>(index)].displayName);
}

ChipBooks LoadChipBooks(const std::vector<std::string>& cataloguePaths) {
  ChipBooks books;
  books.load = LoadChipCatalogue(cataloguePaths, books.catalogue);
  if (books.load.loaded) LoadChipFacts(ChipFactsSearchPaths({books.load.path}), books.facts);
  return books;
}

}  // namespace kestrel::chips
